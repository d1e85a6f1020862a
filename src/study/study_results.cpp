#include "study/study_results.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include <unistd.h>

#include "files/result_file.hpp"
#include "study/csv_fields.hpp"
#include "study/study_cube.hpp"

namespace tidal {

namespace {

// What the study's files take from one point: its study.csv fields, its lines of
// study_sweep.csv and its summary's columns and rows for study.nc.
struct PointResults {
    PointPeaks peaks;
    std::vector<std::string> columns; // the header row of its summary.csv
    std::string sweep;                // its lines of study_sweep.csv
    StudyPointRows rows;
    std::exception_ptr failure;       // set instead of the rest when the point cannot be read
};

// `known`: the point's rows if in hand (moved out), else they are read back here.
PointResults point_results(const Study& study, const StudyDirectory& dir, std::size_t p,
                           std::optional<StudyPointRows>& known) {
    PointResults out;
    try {
        const int n = static_cast<int>(p);
        const std::string peaks_label = dir.point_label(n, "peaks.csv");
        const std::string summary_label = dir.point_label(n, "summary.csv");
        const CsvFields peaks(dir.point_text(n, "peaks.csv"), peaks_label);
        const CsvFields summary(dir.point_text(n, "summary.csv"), summary_label);
        out.peaks = point_peaks(peaks, peaks_label, summary, summary_label);
        out.sweep = study_sweep_rows(study, p, summary, summary_label);
        out.columns.assign(summary[0].begin(), summary[0].end());
        if (known) {
            out.rows = std::move(*known);
            known.reset();
        } else {
            out.rows = point_rows(summary, summary_label, point_rheologies(study, p));
        }
    } catch (...) {
        out.failure = std::current_exception();
    }
    return out;
}

// Runs task(0), task(1), ... task(count - 1) on up to `threads` threads (no more than tasks),
// this one among them.
void on_threads(std::size_t count, int threads, const std::function<void(std::size_t)>& task) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            task(i);
    };
    std::vector<std::jthread> helpers;
    for (int t = 1; t < threads && static_cast<std::size_t>(t) < count; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no more threads: this one reads the rest
        }
    }
    work();
}

// Fills `block` with the results of points first, first + 1, ... on up to `threads` threads,
// known[i] holding the rows of point first + i if in hand.
void read_block(const Study& study, const StudyDirectory& dir, std::size_t first,
                std::vector<PointResults>& block, int threads,
                std::vector<std::optional<StudyPointRows>>& known) {
    on_threads(block.size(), threads, [&](std::size_t i) {
        block[i] = point_results(study, dir, first + i, known[i]);
    });
}

} // namespace

StudyResults::StudyResults(const Study& study, StudyDirectory& dir, int threads,
                           std::size_t most_held_rows)
    : study_(study), dir_(dir), threads_(std::max(1, threads)),
      // Opened in the order their publication renames them: study.csv, then study_sweep.csv,
      // then study.nc.
      table_(dir.open_file("study.csv")), sweep_(dir.open_file("study_sweep.csv")),
      ready_(study.points.size(), 0), rows_(study.points.size()),
      most_held_rows_(std::max<std::size_t>(1, most_held_rows)) {
    cube_path_ = dir.reserve_file(std::string(kStudyNetcdfName));
    cube_.emplace(cube_path_, study_shape(study));
    for (std::size_t p = 0; p < study.points.size(); ++p)
        ready_[p] = dir.published(static_cast<int>(p)) ? 1 : 0;
    peaks_.reserve(study.points.size());
    try {
        taker_ = std::jthread([this] { take_points(); });
    } catch (const std::system_error&) {
        // No thread to spare: finish() takes every point itself.
    }
}

StudyResults::~StudyResults() {
    if (taker_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            abandoned_ = true;
        }
        changed_.notify_all();
        taker_.join();
    }
}

void StudyResults::published(int point, std::optional<StudyPointRows> rows) {
    {
        std::unique_lock lock(mutex_);
        const std::size_t p = static_cast<std::size_t>(point);
        // Waiting is safe only while the taking thread can go on: the rows held are then
        // taken (or dropped, should it fail) whatever else is published.
        if (rows && taker_.joinable())
            changed_.wait(lock, [&] {
                return held_rows_ < most_held_rows_ || stopped_ || abandoned_ ||
                       next_ >= ready_.size() || !ready_[next_];
            });
        ready_[p] = 1;
        if (!stopped_ && rows) { // kept only while they will be taken
            held_rows_ += rows->rows.size();
            peak_held_rows_ = std::max(peak_held_rows_, held_rows_);
            rows_[p] = std::move(rows);
        }
    }
    changed_.notify_all();
}

void StudyResults::hold_taking(bool hold) {
    {
        const std::lock_guard lock(mutex_);
        taking_paused_ = hold;
    }
    changed_.notify_all();
}

std::size_t StudyResults::peak_held_rows() {
    const std::lock_guard lock(mutex_);
    return peak_held_rows_;
}

void StudyResults::take_points() {
    const std::size_t total = study_.points.size();
    // A block holds a few points per thread: their parsed tables are large (a summary of 241
    // viscosities and three rheologies is some 70 000 fields).
    const std::size_t most = static_cast<std::size_t>(threads_) * 8;
    try {
        for (std::size_t first = 0; first < total;) {
            std::vector<std::optional<StudyPointRows>> known;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] {
                    return (!taking_paused_ && (ready_[first] || finishing_)) || abandoned_;
                });
                if (abandoned_) return;
                if (!ready_[first])
                    throw OutputError("point " + std::to_string(first + 1) +
                                      " of the study was never published");
                // The points published from here on, in order.
                std::size_t end = first;
                while (end < total && end - first < most && ready_[end])
                    ++end;
                for (std::size_t p = first; p < end; ++p) {
                    if (rows_[p]) held_rows_ -= rows_[p]->rows.size();
                    known.push_back(std::move(rows_[p]));
                    rows_[p].reset();
                }
                next_ = end;
            }
            changed_.notify_all(); // a publisher may wait for the rows taken
            std::vector<PointResults> block(known.size());
            read_block(study_, dir_, first, block, threads_, known);
            for (std::size_t i = 0; i < block.size(); ++i) {
                PointResults& r = block[i];
                if (r.failure) std::rethrow_exception(r.failure);
                const std::size_t p = first + i;
                if (p == 0) {
                    columns_ = r.columns;
                    sweep_.write(study_sweep_header(study_, columns_));
                } else if (r.columns != columns_) {
                    throw OutputError("the summary of " +
                                      StudyDirectory::point_name(static_cast<int>(p)) +
                                      " has other columns than that of the first point");
                }
                sweep_.write(r.sweep);
                sweep_.flush();
                peaks_.push_back(std::move(r.peaks));
                cube_->add(std::move(r.rows));
            }
            first += block.size();
        }
    } catch (...) {
        failure_ = std::current_exception();
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        failed_.store(true, std::memory_order_release);
        for (std::optional<StudyPointRows>& r : rows_)
            r.reset();
        held_rows_ = 0;
    }
    changed_.notify_all();
}

std::vector<PointPeaks> StudyResults::finish() {
    {
        const std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    changed_.notify_all();
    if (taker_.joinable()) taker_.join();
    else take_points();
    if (failure_) {
        cube_.reset(); // nothing of it was written
        std::rethrow_exception(failure_);
    }
    // study.nc's image is completed and written on a thread of its own while the tables are
    // made durable: the disk takes both at once.
    std::exception_ptr cube_failure;
    const auto close_cube = [&] {
        try {
            cube_->close();
        } catch (...) {
            cube_failure = std::current_exception();
        }
    };
    std::jthread closing;
    try {
        closing = std::jthread(close_cube);
    } catch (const std::system_error&) {
        close_cube(); // no thread: here, first
    }
    try {
        table_.rewrite(study_table(study_, peaks_));
        table_.close();
        sweep_.close();
    } catch (...) {
        if (closing.joinable()) closing.join();
        ::unlink(cube_path_.c_str());
        throw;
    }
    if (closing.joinable()) closing.join();
    if (cube_failure) {
        ::unlink(cube_path_.c_str());
        std::rethrow_exception(cube_failure);
    }
    return std::move(peaks_);
}

} // namespace tidal
