#pragma once
// "results.nc": a run's results as one self-describing NetCDF-4 file (CF-1.8 conventions),
// beside its CSV tables and holding the same doubles:
//   - every quantity of summary.csv over (rheology, viscosity), named as its column without
//     the rheology ("power_W"), NaN where the CSV field is empty, and those of
//     love_numbers.csv that summary.csv lacks (l2_real, l2_imag, l2_grid_error and their
//     extrapolated limits), likewise;
//   - the heating profile over (rheology, viscosity, cell): cell_heating_W_m3 and
//     cell_power_W, with the cell's mid radius as coordinate "radius" and its outer and inner
//     radius in "radius_bounds";
//   - for a body given by its layers, each solid layer's power over (rheology, viscosity,
//     layer), layer_power_W, with the layer's number (as in summary.csv's column names) and
//     name as coordinates, and the name of the body layer of each cell, body_layer;
//   - the surface maps over (rheology, map_viscosity, lat, lon): map_heat_flux_W_m2,
//     map_top_heating_W_m3 and map_bottom_heating_W_m3 (none without maps);
//   - the body's keys as global attributes, with Conventions, title and source.
#include <functional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "files/netcdf_file.hpp"
#include "files/tables.hpp"

namespace tidal {

// A global attribute: a number, an integer or a text.
struct FileAttribute {
    std::string name;
    std::variant<double, long long, std::string> value;
};

// The maps of one viscosity (Pa s): per rheology (column order) its three map columns, each
// latitudes x longitudes values, latitude-major.
struct ViscosityMaps {
    double eta = 0.0;
    std::vector<MapColumns> rheologies;
};

struct RunContent {
    std::vector<std::string> rheologies; // column order
    std::span<const SummaryRow> rows;    // ascending viscosity, every rheology
    std::vector<double> latitudes, longitudes; // of the maps' grid, degrees
    std::span<const ViscosityMaps> maps;
    // A body given by its layers: the numbers (1 the outermost) and names of the layers whose
    // powers the rows hold (SummaryRow::layer_power), and each cell's body layer; else empty.
    std::vector<int> layer_numbers;
    std::vector<std::string> layer_names;
    std::vector<std::string> cell_layers;
    std::vector<FileAttribute> attributes; // after Conventions, title and source
    std::string source;                    // the program and its version
};

// A quantity of summary.csv as a NetCDF variable: its name (the column's without the
// rheology), its description, and its value for the rheology of column `r` of a row (NaN
// where the CSV field is empty).
struct SummaryVariable {
    std::string_view name, units, long_name;
    std::function<double(const SummaryRow& row, std::size_t r)> value;
};
// Every quantity of a rheology's block of summary.csv, in column order; with `extrapolated`,
// the extrapolated values' too (numerics.extrapolate).
std::vector<SummaryVariable> summary_variables(bool extrapolated = false);
// The quantities of love_numbers.csv that summary.csv lacks (l2 and its grid error; with
// `extrapolated`, its limits), from SummaryRow::surface_love: results.nc's, not a study's.
std::vector<SummaryVariable> surface_love_variables(bool extrapolated = false);

// Writes the file at `path` (created anew). Throws OutputError; the caller removes a file
// whose writing failed.
void write_results_netcdf(const std::string& path, const RunContent& content);

// The body layers of a body given by its layers, as results.nc and study.nc hold them: the
// dimension "layer" (`layers` long), its coordinates "layer" (numbers, 1 the outermost) and
// "layer_name", and "layer_power_W" (W) over `dims` and the layer (compressed if asked).
struct LayerVariables {
    int layer = -1, name = -1, power = -1;
};
LayerVariables define_layer_power(NetcdfFile& nc, std::size_t layers, std::vector<int> dims,
                                  bool compressed);
// Writes the coordinates of the layers, after the definitions.
void put_layer_coordinates(NetcdfFile& nc, const LayerVariables& v, std::span<const int> numbers,
                           std::span<const std::string> names);

// Declares one of the file's attributes.
void put_attribute(NetcdfFile& nc, int var, const FileAttribute& a);

} // namespace tidal
