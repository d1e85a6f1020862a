#pragma once
// What a checked body asks to be run: its sweep of viscosities and its discretised model.
#include "discretisation/body.hpp"
#include "driver/sweep.hpp"
#include "timestep/shell_model.hpp"

namespace tidal {

// The swept viscosities of a checked body: 10^(k/steps_per_decade) Pa s over its range.
ViscositySweep viscosity_sweep(const Body& body_spec);

// The grid, coefficients and time stepping of a checked body, shared read-only by every run.
ShellModel shell_model(const Body& body_spec);

} // namespace tidal
