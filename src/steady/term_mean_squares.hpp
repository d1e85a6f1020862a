#pragma once
// Method: docs/method.md §8 (the power of a periodic state).
// The period means of the squared dissipation terms of one layer of a continuous periodic
// state, the layer's nine stress amplitudes (three load components, three stress rows) side
// by side in vector lanes: what PeriodReduction sums per term and load component before
// weighting the terms, with the same operations in the same order for each amplitude, so
// that every mean has the scalar loop's bits.
#include <cstddef>

namespace tidal {

// For term t (0 .. terms - 1) and load component c (0..2):
// out[c terms + t] = sum over the layer's three stress rows k, in order, of
// (sum over harmonics h, ascending, of Re(a)^2 then Im(a)^2) / 2, a = g_{t,h} x_{h,c,k},
// the mean over the period of the squared term (its harmonics' cross terms average out).
// g is [h][re, im][t] (terms per part), x is [h][c][k][re, im]. The product is the inline
// complex formula (ac - bd) + i(ad + bc) that g++ emits for std::complex<double>; the
// compiler's library would recover infinities from a product whose parts both come out NaN,
// so where a mean is NaN the function returns false and the caller forms the means with
// std::complex.
bool term_mean_squares(const double* g, int terms, const double* x, int harmonics, double* out);

} // namespace tidal
