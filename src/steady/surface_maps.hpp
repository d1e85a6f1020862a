#pragma once
// The surface heat-flux maps of a body at one viscosity: every rheology's periodic state,
// reduced to its layers' period-mean products and spread over a latitude-longitude grid.
#include <vector>

#include "loads/heating_map.hpp"
#include "steady/periodic_state.hpp"

namespace tidal {

// The maps of the body's rheologies (its models, in list order) at the swept viscosity `eta`
// (Pa s; each layer's is eta times its factor), from the periodic state of `flavour`: exact in
// time (the steady method), or the time integration's own, whose last period a run approaches
// to its `transient`.
std::vector<HeatingMap> surface_maps(const ShellModel& model, double eta, Flavour flavour,
                                     const MapGrid& grid);

} // namespace tidal
