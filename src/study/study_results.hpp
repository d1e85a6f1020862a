#pragma once
// The study's own files, written once every point is published: study.csv (every point's
// peaks), study_sweep.csv (every point's summary rows) and study.nc (the same rows as a
// hypercube). Each point's peaks.csv and summary.csv are read and split once, by several
// threads a block of points at a time, and the results taken in study order, so that the
// files are the same bytes for any number of threads. The numbers of study.nc are those the
// points written by this run kept in memory (the doubles their summary.csv reads back as) and
// those read back from the points published before; study.nc is written on a thread of its
// own while the two tables are.
#include <optional>
#include <vector>

#include "files/study_netcdf.hpp"
#include "study/study_directory.hpp"
#include "study/study_file.hpp"
#include "study/study_table.hpp"

namespace tidal {

// Writes study.csv, study_sweep.csv and study.nc into `dir` (as .partial files, published by
// dir.publish_files()) from the published points, reading them on `threads` threads; returns
// every point's peaks, in study order. `summaries`, by study point, holds the summary rows of
// points written by this run (rows_as_read_back), which study.nc takes instead of parsing the
// numbers of their summary.csv back (they are moved out); empty for every other point. Throws
// OutputError: a point's table that cannot be read or is not such a table (the first such
// point in study order), or summaries whose columns differ from the first point's.
std::vector<PointPeaks> write_study_results(const Study& study, StudyDirectory& dir, int threads,
                                            std::vector<std::optional<StudyPointRows>>& summaries);

} // namespace tidal
