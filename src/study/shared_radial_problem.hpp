#pragma once
// Method: docs/method.md §6 (the periodic steady state).
// The orbit's eccentricity enters the periodic problem only through the tide's loads (the
// right-hand sides, steady/harmonic_forcing.hpp): the banded matrix of every harmonic depends
// on the shell, the rheologies, the viscosities and the harmonic's frequency factor. Bodies
// that differ in nothing else share every factorisation, and their loads can be solved as
// further right-hand sides of one system (steady/periodic_lanes.hpp).
#include "description/body.hpp"

namespace tidal {

// Whether the periodic states of the checked bodies `a` and `b` can be solved as one radial
// problem: equal in every key of their body files except orbit.eccentricity, both eccentric or
// both circular, with as many tide harmonics, and not oblique (an oblique body's order-1 pair
// of models is solved per body).
bool share_radial_problem(const Body& a, const Body& b);

} // namespace tidal
