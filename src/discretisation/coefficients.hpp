#pragma once
// Method: docs/method.md §3 (equations and unknowns).
// The 40 coupling coefficients K1..K40 of the degree-j equations; dimensionless. The
// gradient, divergence and strain of fields f(r) Y^lambda_jm (vector and tensor harmonics of
// orbital index lambda) reduce to combinations of df/dr and f/r whose factors depend on j alone
// (Clebsch-Gordan algebra of the harmonics):
//   K1-K4    incompressibility, div(u_{j-1} Y^{j-1} + u_{j+1} Y^{j+1}) = 0;
//   K5-K16   the components j-2, j, j+2 of the strain (grad u + grad u^T)/2, which the
//            constitutive rows equate to the rheology's tau/(2 mu) and memory;
//   K17-K32  the components j-1, j+1 of div tau - grad p, the momentum rows
//            (div tau - grad p + rho grad W = 0);
//   K33-K40  the components j-1, j+1 of the traction tau.e_r - p e_r, the boundary rows.
// Ten of the forty enter none of the rows the shell's system, its loads and its maps are
// built from, and are not computed: K7, K8, K13, K14, K23-K26, K39 and K40 (their places are
// kept, so that every other coefficient keeps its name).
#include <vector>

#include "linalg/views.hpp"

namespace tidal {

inline constexpr int kCoefficientCount = 40;

// Fills the thirty coefficients of K(1..40) that the rows use, for degree j, each by its own
// formula, in order, leaving the other ten places as they are; the multiples (K6, K10, ...,
// K32) are formed from the already stored earlier coefficient.
void naplnitkonstanty(double j, Vec1View<double> K);

// The coefficients in a new vector of 40 (K1 at index 0), the ten unused ones NaN.
std::vector<double> coupling_coefficients(double j);

} // namespace tidal
