#pragma once
// The 40 coupling coefficients K1..K40 of the degree-j equations (tensor-harmonic
// gradient, divergence and rheology couplings); dimensionless.
#include <vector>

#include "linalg/views.hpp"

namespace tidal {

inline constexpr int kCoefficientCount = 40;

// Fills K(1..40) for degree j, each coefficient by its own formula, in order; the multiples
// (K6, K8, ..., K32) are formed from the already stored earlier coefficient.
void naplnitkonstanty(double j, Vec1View<double> K);

// Convenience: the 40 coefficients in a new vector (K1 at index 0).
std::vector<double> coupling_coefficients(double j);

} // namespace tidal
