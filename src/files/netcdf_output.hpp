#pragma once
// "results.nc" of a run (files/results_netcdf.hpp): written whole once the sweep and its
// maps are complete, as "results.nc.partial" in the run's directory, and published with the
// CSV tables. A write that fails removes its partial file, so no reader ever meets a
// half-written NetCDF file under either name.
#include <span>
#include <string_view>
#include <vector>

#include "files/map_output.hpp"
#include "files/result_directory.hpp"
#include "files/tables.hpp"
#include "model/shell_model.hpp"

namespace tidal {

inline constexpr std::string_view kResultsNetcdfName = "results.nc";

// Writes the file of `model`'s sweep: its summary rows (ascending viscosity) and maps.
// `method` ("time" or "steady") becomes an attribute. Throws OutputError.
void write_results_nc(ResultDirectory& dir, const ShellModel& model,
                      std::span<const SummaryRow> rows, const std::vector<SweepMap>& maps,
                      std::string_view method);

} // namespace tidal
