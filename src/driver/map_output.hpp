#pragma once
// The surface heat-flux maps a run was asked for (--map): "map-<viscosity>.csv" each.
#include <vector>

#include "output/result_directory.hpp"
#include "rheology/constitutive.hpp"
#include "timestep/shell_model.hpp"

namespace tidal {

// Writes the map of every swept viscosity of `etas` (Pa s) into `dir`, on a grid of `step`
// degrees, from the periodic state of `flavour` (the time method's: the scheme's own; the
// steady method's: exact in time). Publishing is the caller's.
void write_maps(ResultDirectory& dir, const ShellModel& model, const std::vector<double>& etas,
                Flavour flavour, double step);

} // namespace tidal
