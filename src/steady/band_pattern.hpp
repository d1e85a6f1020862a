#pragma once
// Method: docs/method.md §4 (the band) and §6 (the periodic steady state).
// Which entries of a body's periodic band the assembly writes: a property of the body alone
// (its grid, ocean and density jumps), never of the viscosities or the harmonic, so that the
// vector lanes can leave every other entry out as a zero (linalg/complex_band_lanes.hpp).
#include <cstdint>
#include <vector>

#include "steady/periodic_state.hpp"

namespace tidal {

// Per row of the periodic band of `rheology` in the given flavour, bit c - 1 set where the
// assembly writes band column c (1..15). Found by assembling harmonic 1 into a band that
// holds a marker value everywhere: an entry written is an entry that lost the marker.
std::vector<std::uint32_t> assembly_pattern(PeriodicSolver& solver, Rheology rheology,
                                            Flavour flavour);

} // namespace tidal
