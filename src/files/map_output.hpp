#pragma once
// The surface heat-flux maps a run was asked for (--map): "map-<viscosity>.csv" each.
#include <vector>

#include "engine/sweep_maps.hpp"
#include "files/result_directory.hpp"
#include "model/shell_model.hpp"

namespace tidal {

// Writes "map-<viscosity>.csv" of each map into `dir`. Publishing is the caller's.
void write_maps(ResultDirectory& dir, const ShellModel& model, const std::vector<SweepMap>& maps);

} // namespace tidal
