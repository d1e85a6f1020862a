#pragma once
// Method: docs/method.md §4 (the staggered grid) and §6 (the periodic steady state).
// The error of the radial grid, estimated from the periodic state of the same body on twice
// the cells. The staggered differences err as h^2 (h the node spacing), so two grids give
// Richardson's estimate of the coarse value's error and an extrapolated value of fourth
// order where the solution is smooth.
#include <complex>
#include <optional>

#include "description/body.hpp"
#include "steady/period_reduction.hpp"

namespace tidal {

// The body on twice the cells: every layer's cell count doubled, each cell's rigidity and
// viscosity factor carried by both of its halves. Everything else stays.
Body refined(const Body& body);

// h_N / h_2N for a grid of N cells and its refinement: the layer mid-radii of N cells span
// the shell with N - 1 spacings, so the ratio is (2N - 1) / (N - 1), a little above 2; a
// body solid to the centre spans its radius with N - 1/2 (docs/method.md §4.1), so there it
// is (4N - 1) / (2N - 1), a little below 2.
double refinement_ratio(int layers, bool centre = false);

// Richardson's limit of a second-order quantity from its values on N cells (`coarse`) and on
// the refined grid (`fine`), `ratio` = h_N / h_2N:  fine + (fine - coarse) / (ratio^2 - 1).
template <class T> T richardson_limit(const T& coarse, const T& fine, double ratio) {
    return fine + (fine - coarse) / (ratio * ratio - 1.0);
}

// The grid error of N-cell results, each against the Richardson limit of N and 2N cells:
// the power's signed relative error P_N / P_limit - 1 (signed as the transient and the step
// error), and for h2, k2 and l2 the modulus of the complex relative error |X_N / X_limit - 1|.
struct GridError {
    double power = 0.0;
    double h2 = 0.0;
    double k2 = 0.0;
    double l2 = 0.0;
};
GridError grid_error(const PeriodRecord& coarse, const PeriodRecord& fine, int layers,
                     bool centre = false);
// The same for a grid whose spacings shrink by `ratio` (RadialGrid::refinement_ratio).
GridError grid_error_at_ratio(const PeriodRecord& coarse, const PeriodRecord& fine,
                              double ratio);

// The Richardson limits themselves, from N cells (`coarse`) and twice N (`fine`): the power
// (W), the phase lag of the surface displacement (degrees), h2, k2 and l2. The h^2 term of the
// error cancels; what remains falls as h^4 where the solution is smooth and as h^3 where the
// shell reaches down near the centre (docs/method.md, the grid error).
struct Extrapolated {
    double power = 0.0;
    double phase_lag_deg = 0.0;
    std::complex<double> h2, k2, l2;
};
Extrapolated extrapolated(const PeriodRecord& coarse, const PeriodRecord& fine, int layers,
                          bool centre = false);
Extrapolated extrapolated_at_ratio(const PeriodRecord& coarse, const PeriodRecord& fine,
                                   double ratio);

} // namespace tidal
