#pragma once
// "study.nc": a study's summaries as one NetCDF-4 hypercube (CF-1.8 conventions). Every
// quantity of the points' summary.csv (named as its column without the rheology, as in
// results.nc) is a variable over (axis 1, ..., axis n, rheology, viscosity), the first axis
// varying slowest as the points do, so that xarray's ds.sel(<axis>=value) picks a point.
// The viscosities are every point's swept ones together and the rheologies every point's
// models together: a value a point did not compute is NaN. A study whose points come from a
// table has one axis, "point", and its keys as variables over it.
#include <span>
#include <string>
#include <vector>

#include "files/results_netcdf.hpp"
#include "files/tables.hpp"

namespace tidal {

struct StudyAxis {
    std::string name;    // of the dimension and its coordinate: the key with '_' for '.'
    std::string key;     // the body key, dotted
    std::string units;   // UDUNITS; "1" for a ratio or count
    std::string comment; // what the body file says of the key
    // The values, in order: numbers when every value is one, else their texts.
    std::vector<double> numbers;
    std::vector<std::string> texts;
    std::size_t size() const { return numbers.empty() ? texts.size() : numbers.size(); }
};

// One point's summary rows (ascending viscosity), with its rheologies in column order.
struct StudyPointRows {
    std::vector<std::string> rheologies;
    std::vector<SummaryRow> rows;
};

struct StudyContent {
    // The hypercube's axes, slowest first; the product of their sizes is the number of points.
    // For a points table: the one axis "point" (numbered from 1) and `table_keys` over it.
    std::vector<StudyAxis> axes;
    std::vector<StudyAxis> table_keys;
    std::span<const StudyPointRows> points; // study order
    std::vector<FileAttribute> attributes;
    std::string source;
};

// Writes the file at `path` (created anew). Throws OutputError (also for axes whose sizes do
// not multiply to the number of points); the caller removes a file whose writing failed.
void write_study_netcdf(const std::string& path, const StudyContent& content);

} // namespace tidal
