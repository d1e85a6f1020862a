#pragma once
// Method: docs/method.md §2 (the radial displacement U = s1 u_{j-1} - s2 u_{j+1}, the
// tangential one V = u_{j-1} / sqrt(j(2j+1)) + u_{j+1} / sqrt((j+1)(2j+1))) and §8 (the
// power: the trapezoidal rule over the layer mid-radii of the sphere-integrated dissipation
// times r^2, and over the window in time).
// Diagnostics of a solution: radial displacement per node and the dissipated power of a run.
#include <cmath>
#include <functional>

#include "description/body.hpp"
#include "discretisation/grid.hpp"
#include "linalg/views.hpp"
#include "loads/boundary_loads.hpp"

namespace tidal {

// Radial displacement (m) of a node from its two displacement unknowns: s1*u_jm1 - s2*u_jp1
// (real values, or the complex amplitudes of a periodic state).
template <class V> V radial_displacement(const DegreeFactors& f, V u_jm1, V u_jp1) {
    return f.s1 * u_jm1 - f.s2 * u_jp1;
}

// Tangential displacement (m) of a node from its two displacement unknowns: the coefficient V
// of the displacement's part V grad_1 Y_jm (grad_1 the gradient on the unit sphere), from
// the tangential parts of the vector harmonics Y^{j-1}_jm = (j Y e_r + grad_1 Y) / sqrt(j(2j+1))
// and Y^{j+1}_jm = (-(j+1) Y e_r + grad_1 Y) / sqrt((j+1)(2j+1)) (docs/method.md §2).
template <class V> V tangential_displacement(double j, V u_jm1, V u_jp1) {
    return u_jm1 / std::sqrt(j * (2.0 * j + 1.0)) + u_jp1 / std::sqrt((j + 1.0) * (2.0 * j + 1.0));
}

// The degree-2 surface harmonics of order 0 and 2 at colatitude pi/2, longitude 0.
struct EquatorHarmonics {
    double p20, p22;
};
EquatorHarmonics equator_harmonics();

// Radial displacement (m) at the equator, longitude 0, from the order-0 surface displacement
// (the mean of the two outermost nodes) and the sum of the two outermost nodes' order-2
// displacements of the cosine component: the sum, not the mean, gives the order-2 part twice
// the weight, as in the dissipation sums.
template <class V> V equator_displacement(const EquatorHarmonics& h, V ursurf, V ur22_sum) {
    return h.p20 * (ursurf / 4.0) + h.p22 * (ur22_sum / 4.0);
}

// Heat flux (W/m^2) of a power (W) leaving through the outer surface of radius rout (m),
// 4 pi rout^2.
inline double surface_heat_flux(double power, double rout) {
    return power / (4.0 * kPi * (rout * rout));
}

// Fills ur(1..N+1) with the radial displacement of every node of x.
void vypocitejur(int N, double j, Vec1View<const double> x, Vec1View<double> ur);

// Time integral of one layer's dissipation samples over the window by the trapezoidal rule,
// from their plain sum (oldest first) and the two end samples (V: double, or the lane vector
// of the steady reduction's batches).
template <class V> V window_integral(V sum, V first, V last, double dt) {
    return dt * sum - dt * first / 2.0 - dt * last / 2.0;
}

// Mean dissipated power (W) of the shell from the layers' dissipation integrals: those times
// rho^2 (rho the layer mid-radius) integrated over radius by the trapezoidal rule on the layer
// mid-points of the grid (the midpoint rule on the innermost cell of a body solid to the
// centre, loads/heating_profile.hpp), divided by the window length nperiod*dt.
double shell_power(int N, int nperiod, double dt, Vec1View<const double> layer_power,
                   const RadialGrid& grid);

// Mean dissipated power (W) over the last forcing period of a run.
//
// `window` (N x (nperiod+1)) holds the dissipation samples of the steps nsteps-nperiod ..
// nsteps, oldest first. Each layer's samples are integrated in time by the trapezoidal rule
// and turned into its dissipation by `dissipation`(i, integral) (the rheology's power
// factor), written to layer_power(i); those values times rho^2 (rho the layer mid-radius) are
// integrated over radius by the trapezoidal rule on the layer mid-points of the grid, and
// the result is divided by the window length nperiod*dt.
double vypocitejpcelk(int N, int nperiod, Mat1View<const double> window, double dt,
                      const std::function<double(int, double)>& dissipation,
                      const RadialGrid& grid, Vec1View<double> layer_power);

} // namespace tidal
