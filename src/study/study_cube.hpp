#pragma once
// "study.nc" of a study (files/study_netcdf.hpp), from the summary.csv of every published
// point: each field read back is the double the CSV's shortest round-trip text was written
// from, so the hypercube holds the same numbers as the points' tables and study_sweep.csv.
#include <span>
#include <string>
#include <string_view>

#include "files/study_netcdf.hpp"
#include "study/csv_fields.hpp"
#include "study/study_directory.hpp"
#include "study/study_file.hpp"

namespace tidal {

inline constexpr std::string_view kStudyNetcdfName = "study.nc";

// The rows of a published point's summary.csv (`summary`, read; `label` names it in
// messages) for `rheologies` (its models, column order). Throws OutputError if the table lacks
// one of their columns.
StudyPointRows point_rows(const CsvFields& summary, const std::string& label,
                          const std::vector<std::string>& rheologies);
// The same from the summary rows the table was written from (files/result_tables.hpp), without
// its text: every value the table holds, as it reads back (a NaN as its text parses), the
// body layers' powers included, and nothing it does not hold (the heating profile).
StudyPointRows rows_as_read_back(std::span<const SummaryRow> rows,
                                 const std::vector<std::string>& rheologies);
// The rheologies of point `point` of the study, as its tables name them (column order).
std::vector<std::string> point_rheologies(const Study& study, std::size_t point);

// The axes of `study`: its [axes] keys, or the one axis "point" of a points table (whose keys
// are then `table_keys`).
void study_axes(const Study& study, StudyShape& shape);

// The shape of study.nc: the axes, every point's rheologies (its tables' names) and swept
// viscosities together, the program and the method.
StudyShape study_shape(const Study& study);

} // namespace tidal
