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

// `known`: the point's rows if in hand, else read back here; null when study.nc takes its
// rows elsewhere.
PointResults point_results(const Study& study, const StudyDirectory& dir, std::size_t p,
                           std::optional<StudyPointRows>* known) {
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
        if (known && *known) {
            out.rows = std::move(**known);
            known->reset();
        } else if (known) {
            out.rows = point_rows(summary, summary_label, point_rheologies(study, p));
        }
    } catch (...) {
        out.failure = std::current_exception();
    }
    return out;
}

// Fills `block` with the results of points first, first + 1, ... on up to `threads` threads.
// Runs task(0), task(1), ... task(count - 1) on up to `threads` threads, this one among them.
void on_threads(std::size_t count, int threads, const std::function<void(std::size_t)>& task) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            task(i);
    };
    std::vector<std::jthread> helpers;
    for (int t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no more threads: this one reads the rest
        }
    }
    work();
}

// Fills `block` with the results of points first, first + 1, ... on up to `threads` threads;
// with their rows for study.nc unless `summaries` is null.
void read_block(const Study& study, const StudyDirectory& dir, std::size_t first,
                std::vector<PointResults>& block, int threads,
                std::vector<std::optional<StudyPointRows>>* summaries) {
    on_threads(block.size(), threads, [&](std::size_t i) {
        block[i] =
            point_results(study, dir, first + i, summaries ? &(*summaries)[first + i] : nullptr);
    });
}

// Reads back the rows of the points whose rows are not in hand (published by an earlier run),
// on up to `threads` threads; true when every point's rows are then in hand. A point that
// cannot be read is left without rows: reading its tables again reports it in study order.
bool read_missing_rows(const Study& study, const StudyDirectory& dir,
                       std::vector<std::optional<StudyPointRows>>& summaries, int threads) {
    std::vector<std::size_t> missing;
    for (std::size_t p = 0; p < summaries.size(); ++p)
        if (!summaries[p]) missing.push_back(p);
    std::atomic<bool> all{true};
    on_threads(missing.size(), threads, [&](std::size_t i) {
        const std::size_t p = missing[i];
        const int n = static_cast<int>(p);
        try {
            const std::string label = dir.point_label(n, "summary.csv");
            summaries[p] = point_rows(CsvFields(dir.point_text(n, "summary.csv"), label), label,
                                      point_rheologies(study, p));
        } catch (...) {
            all = false;
        }
    });
    return all;
}

// Writes study_sweep.csv and study.csv from every point's tables, read a block at a time, and
// fills `peaks` (and, unless `summaries` is null, `rows`) in study order.
void write_tables(const Study& study, const StudyDirectory& dir, int threads, ResultFile& table,
                  ResultFile& sweep, std::vector<std::optional<StudyPointRows>>* summaries,
                  std::vector<PointPeaks>& peaks, std::vector<StudyPointRows>& rows) {
    const std::size_t total = study.points.size();
    // A block holds a few points per thread: their parsed tables are large (a summary of 241
    // viscosities and three rheologies is some 70 000 fields).
    const std::size_t block_size = static_cast<std::size_t>(std::max(1, threads)) * 8;
    peaks.reserve(total);
    std::vector<std::string> columns;
    for (std::size_t first = 0; first < total; first += block_size) {
        std::vector<PointResults> block(std::min(block_size, total - first));
        read_block(study, dir, first, block, threads, summaries);
        for (std::size_t i = 0; i < block.size(); ++i) {
            PointResults& r = block[i];
            if (r.failure) std::rethrow_exception(r.failure);
            const std::size_t p = first + i;
            if (p == 0) {
                columns = r.columns;
                sweep.write(study_sweep_header(study, columns));
            } else if (r.columns != columns) {
                throw OutputError("the summary of " +
                                  StudyDirectory::point_name(static_cast<int>(p)) +
                                  " has other columns than that of the first point");
            }
            sweep.write(r.sweep);
            sweep.flush();
            peaks.push_back(std::move(r.peaks));
            if (summaries) rows.push_back(std::move(r.rows));
        }
    }
    table.rewrite(study_table(study, peaks));
}

} // namespace

std::vector<PointPeaks> write_study_results(const Study& study, StudyDirectory& dir, int threads,
                                            std::vector<std::optional<StudyPointRows>>& summaries) {
    // Opened in the order their publication renames them: study.csv, then study_sweep.csv,
    // then study.nc.
    ResultFile& table = dir.open_file("study.csv");
    ResultFile& sweep = dir.open_file("study_sweep.csv");
    const std::size_t total = study.points.size();
    summaries.resize(total);
    // With every point's rows in hand (those of points written now are; those of points
    // published before are read back first), study.nc is written on a thread of its own while
    // study_sweep.csv and study.csv are. Otherwise a point cannot be read: the tables below
    // report the first such point in study order, as they would have without that thread.
    std::vector<PointPeaks> peaks;
    std::vector<StudyPointRows> rows;
    rows.reserve(total);
    std::string cube_path;
    std::exception_ptr cube_failure;
    std::jthread cube;
    if (read_missing_rows(study, dir, summaries, threads)) {
        for (std::optional<StudyPointRows>& s : summaries) {
            rows.push_back(std::move(*s));
            s.reset();
        }
        cube_path = dir.reserve_file(std::string(kStudyNetcdfName));
        cube = std::jthread([&] {
            try {
                write_study_nc_at(cube_path, study, rows);
            } catch (...) {
                cube_failure = std::current_exception();
            }
        });
    }
    try {
        write_tables(study, dir, threads, table, sweep, cube.joinable() ? nullptr : &summaries,
                     peaks, rows);
        // Made durable now, while study.nc is still being built: the disk takes the tables'
        // hundreds of megabytes meanwhile instead of after it (their publication closes them
        // again, which then does nothing).
        table.close();
        sweep.close();
    } catch (...) {
        if (cube.joinable()) {
            cube.join();
            ::unlink(cube_path.c_str());
        }
        throw;
    }
    if (cube.joinable()) {
        cube.join();
        if (cube_failure) std::rethrow_exception(cube_failure);
    } else {
        write_study_nc(dir, study, rows);
    }
    return peaks;
}

} // namespace tidal
