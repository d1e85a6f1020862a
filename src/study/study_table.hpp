#pragma once
// "study.csv": one row per point, its values of the varied keys, then every rheology's heating
// peak as the point's peaks.csv gives it and its worst transient from summary.csv (the same
// texts, so the same numbers). CSV records end in a line feed.
#include <string>
#include <vector>

#include "study/study_file.hpp"

namespace tidal {

// A point's columns of study.csv: the fields of its peaks.csv, one per rheology and field,
// "<rheology>_peak_<field>" (e.g. maxwell_peak_power_W); then per rheology the transient of
// summary.csv (time-domain power / periodic-state power - 1) largest in magnitude over the
// sweep, "<rheology>_worst_transient"; then per rheology the Love numbers of summary.csv at
// its swept peak viscosity, "<rheology>_peak_h2_real" and so on.
struct PointPeaks {
    std::vector<std::string> columns;
    std::vector<std::string> values;
    double worst_transient = 0.0; // largest |transient| of all rheologies
};

// Reads the peaks.csv and summary.csv of a published point. Throws OutputError if one cannot
// be read or is not such a table.
PointPeaks read_point_peaks(const std::string& point_dir);

// The whole study.csv. Throws OutputError if the points' peaks have different columns.
std::string study_table(const Study& study, const std::vector<PointPeaks>& peaks);

} // namespace tidal
