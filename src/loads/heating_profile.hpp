#pragma once
// Method: docs/method.md §8 (heating profile).
// Where in depth the heat goes: the power's radial quadrature, layer by layer.
//
// The dissipated power is P = integral over the shell of q r^2 dr dOmega, with q the period-
// mean dissipation per unit volume (W/m^3). The power is computed by the trapezoidal rule on
// the layer mid-radii rho_i (the first at the outer radius, the last at the inner one):
//   P = sum_i w_i Q_i rho_i^2 d_i,  Q_i = integral of q over the sphere of radius rho_i,
// d_i = r(i) - r(i+1) the layer's thickness and w_i = 1/2 for the outermost and the innermost
// layer, else 1. On a body solid to the centre the innermost cell [0, r(N)] lies wholly in the
// solid, with its mid-radius half a spacing above the centre: its w_N is 1 (the midpoint rule
// on that cell). Layer i's share of the power is its term of that sum; its cell is the part of
// the shell nearer to rho_i than to the neighbouring mid-radii, and Q_i / (4 pi) is its mean
// volumetric heating.
#include <vector>

#include "discretisation/grid.hpp"
#include "linalg/views.hpp"

namespace tidal {

struct ProfileLayer {
    double outer_radius = 0.0; // m, of the layer's quadrature cell
    double inner_radius = 0.0; // m
    double heating = 0.0;      // mean volumetric heating over the sphere at rho_i, W/m^3
    double power = 0.0;        // the layer's share of the shell's power, W
};

// The layer mid-radius rho_i (m), thickness d_i (m) and trapezoid end factor w_i of layer i
// (1..N) of the grid.
struct RadialCell {
    double mid, thickness, end_factor;
};
// (Inline: the power's radial sum takes it for every cell of every state it reduces.)
inline RadialCell radial_cell(int i, const RadialGrid& grid) {
    const auto r = vec1(grid.r);
    const int N = grid.N;
    const double mid = (r(i) + r(i + 1)) / 2.0;
    const double thickness = r(i) - r(i + 1);
    const int ocean = grid.liquid_layer;
    if (ocean > 0) {
        // Over and under an ocean: the shell's base and the core's top lie on mid-radii, so
        // the cells there are halves; the ocean's inert layer dissipates nothing.
        if (i == ocean) return {mid, thickness, 0.0};
        // (And the inner region's base over a liquid core.)
        const bool face = i == 1 || i == ocean - 1 || i == ocean + 1 || (i == N && !grid.centre);
        return {mid, thickness, face ? 0.5 : 1.0};
    }
    const bool half = i == 1 || (i == N && !grid.centre);
    return {mid, thickness, half ? 0.5 : 1.0};
}

// Per-layer means over a window of `nperiod` steps of dt seconds of the time integrals
// `integrals` (any unit times s).
std::vector<double> period_means(const std::vector<double>& integrals, int nperiod, double dt);

// The profile of a run from Q_i (`sphere_heating`, N values, W/m^3, outermost first) on the
// grid.
std::vector<ProfileLayer> heating_profile(const std::vector<double>& sphere_heating,
                                          const RadialGrid& grid);

} // namespace tidal
