#pragma once
// "study.csv": one row per point, its values of the varied keys, then every rheology's heating
// peak as the point's peaks.csv gives it and its worst transient from summary.csv (the same
// texts, so the same numbers). CSV records end in a line feed.
#include <string>
#include <vector>

#include "files/result_file.hpp"
#include "study/csv_fields.hpp"
#include "study/study_directory.hpp"
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

// Reads the peaks.csv and summary.csv of published point `point` of `dir`. Throws OutputError
// if one cannot be read or is not such a table.
PointPeaks read_point_peaks(const StudyDirectory& dir, int point);
// The same from the point's tables already read: its peaks.csv and its summary.csv, and the
// labels that name them in messages.
PointPeaks point_peaks(const CsvFields& peaks, const std::string& peaks_label,
                       const CsvFields& summary, const std::string& summary_label);

// The whole study.csv. Throws OutputError if the points' peaks have different columns.
std::string study_table(const Study& study, const std::vector<PointPeaks>& peaks);

// "study_sweep.csv", the study's whole map in one table: one row per point and swept viscosity,
// the point's directory name, its values of the varied keys, then the columns of its
// summary.csv (the same texts, so the same numbers), points in study order; every point's
// summary has the first point's columns. Its header line, from those columns; and the lines
// of point `point` (counted from 0) from the rows of its summary.csv, header row first
// (`label` names the table in messages; throws OutputError if it is not a summary table).
std::string study_sweep_header(const Study& study, const std::vector<std::string>& columns);
std::string study_sweep_rows(const Study& study, std::size_t point, const CsvFields& summary,
                             const std::string& label);

} // namespace tidal
