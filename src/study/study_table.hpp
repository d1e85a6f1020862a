#pragma once
// "study.csv": one row per point, its values of the varied keys, then every rheology's heating
// peak as the point's peaks.csv gives it (the same text, so the same numbers). CSV records end
// in CRLF.
#include <string>
#include <vector>

#include "study/study_file.hpp"

namespace tidal {

// The fields of a point's peaks.csv, one column per rheology and field:
// "<rheology>_peak_<field>", e.g. maxwell_peak_power_W.
struct PointPeaks {
    std::vector<std::string> columns;
    std::vector<std::string> values;
};

// Reads the peaks.csv of a published point. Throws OutputError if it cannot be read or is not
// a table of peaks.
PointPeaks read_point_peaks(const std::string& point_dir);

// The whole study.csv. Throws OutputError if the points' peaks have different columns.
std::string study_table(const Study& study, const std::vector<PointPeaks>& peaks);

} // namespace tidal
