#include "study/study_results.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>
#include <system_error>
#include <thread>

#include "files/result_file.hpp"
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

// Fills `block` with the results of points first, first + 1, ... on up to `threads` threads.
void read_block(const Study& study, const StudyDirectory& dir, std::size_t first,
                std::vector<PointResults>& block, int threads,
                std::vector<std::optional<StudyPointRows>>& summaries) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < block.size(); i = next++)
            block[i] = point_results(study, dir, first + i, summaries[first + i]);
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

} // namespace

std::vector<PointPeaks> write_study_results(const Study& study, StudyDirectory& dir, int threads,
                                            std::vector<std::optional<StudyPointRows>>& summaries) {
    // Opened in the order their publication renames them: study.csv, then study_sweep.csv.
    ResultFile& table = dir.open_file("study.csv");
    ResultFile& sweep = dir.open_file("study_sweep.csv");
    const std::size_t total = study.points.size();
    summaries.resize(total);
    // A block holds a few points per thread: their parsed tables are large (a summary of 241
    // viscosities and three rheologies is some 70 000 fields).
    const std::size_t block_size = static_cast<std::size_t>(std::max(1, threads)) * 8;
    std::vector<PointPeaks> peaks;
    std::vector<StudyPointRows> rows;
    peaks.reserve(total);
    rows.reserve(total);
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
            rows.push_back(std::move(r.rows));
        }
    }
    table.rewrite(study_table(study, peaks));
    write_study_nc(dir, study, rows);
    return peaks;
}

} // namespace tidal
