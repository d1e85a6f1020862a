#pragma once
// The study's own files: study.csv (every point's peaks), study_sweep.csv (every point's
// summary rows) and study.nc (the same rows as a hypercube), built while the study runs. A
// thread of their own takes the points in study order as they are published (by this run, or
// found published by an earlier one): each point's peaks.csv and summary.csv are read and
// split once (a run of points already published, as on resuming, on several threads a block
// at a time), its lines appended to study_sweep.csv and its rows to study.nc, whose chunks are
// compressed as they fill. The files are therefore the same bytes for any number of threads
// and whatever order the points were computed in. The numbers of study.nc are those the
// points written by this run kept in memory (the doubles their summary.csv reads back as) and
// those read back from the points published before.
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "files/study_netcdf.hpp"
#include "study/study_directory.hpp"
#include "study/study_file.hpp"
#include "study/study_table.hpp"

namespace tidal {

class StudyResults {
  public:
    // The summary rows handed over with published() that wait for the taking thread, at
    // most (about a kilobyte each with three rheologies: some 60 MB); past them,
    // published() waits for it.
    static constexpr std::size_t kMostHeldRows = std::size_t{1} << 16;

    // Opens study.csv, study_sweep.csv and study.nc in `dir` (as .partial files, published by
    // dir.publish_files() after finish()) and starts taking the points already published;
    // reads them on up to `threads` threads. Throws OutputError.
    StudyResults(const Study& study, StudyDirectory& dir, int threads,
                 std::size_t most_held_rows = kMostHeldRows);
    // Without finish(): stops taking points and abandons study.nc; the tables stay .partial.
    ~StudyResults();
    StudyResults(const StudyResults&) = delete;
    StudyResults& operator=(const StudyResults&) = delete;

    // Point `point` (of the study, from 0) is published; `rows`, its summary rows if in hand
    // (rows_as_read_back), which study.nc then takes instead of parsing its summary.csv back.
    // Safe from any thread. While the rows handed over and not yet taken number
    // most_held_rows or more and the taking thread can go on (the next point it takes is
    // published), waits for it: a study whose files are written more slowly than its points
    // are computed does not keep every point's rows in memory. (Points published out of
    // order, by several writing threads, may pass the bound while the next one to be taken
    // is still being written: waiting for it could stall the study.)
    void published(int point, std::optional<StudyPointRows> rows = std::nullopt);

    // Tests: holds the taking thread before its next block of points while `hold` (a slow
    // disk, say), and the most rows held at once so far.
    void hold_taking(bool hold);
    std::size_t peak_held_rows();

    // Every point published: completes the three files and returns every point's peaks, in
    // study order. Throws OutputError: a point's table that cannot be read or is not such a
    // table (the first such point in study order), or a summary whose columns differ from
    // the first point's.
    std::vector<PointPeaks> finish();

    // True once the taking thread has met a failure (which finish() reports): the study need
    // compute no further point. Safe from any thread.
    bool failed() const { return failed_.load(std::memory_order_acquire); }

  private:
    void take_points();

    const Study& study_;
    StudyDirectory& dir_;
    int threads_;
    ResultFile& table_;
    ResultFile& sweep_;
    std::optional<StudyNetcdfWriter> cube_;
    std::string cube_path_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<char> ready_;                          // by point: published
    std::vector<std::optional<StudyPointRows>> rows_;  // by point: its rows, if handed over
    bool finishing_ = false, abandoned_ = false, taking_paused_ = false;
    std::size_t most_held_rows_;
    std::size_t held_rows_ = 0, peak_held_rows_ = 0; // in rows_
    std::size_t next_ = 0; // the first point not yet taken
    bool stopped_ = false; // the taking thread met a failure
    std::atomic<bool> failed_{false}; // stopped_, readable without the lock

    // The taking thread's own.
    std::vector<PointPeaks> peaks_;
    std::vector<std::string> columns_; // of the first point's summary
    std::exception_ptr failure_;
    std::jthread taker_;
};

} // namespace tidal
