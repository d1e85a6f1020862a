#pragma once
// Substitution with a factorised band matrix of 7 sub- and 7 super-diagonals, repacked row by
// row so that one time step can solve its three right-hand sides in one sweep over the factors.
// Every right-hand side sees exactly the operations of banbksdp in the same order, so the
// solutions are bit-identical to three separate banbksdp calls.
#include <vector>

#include "linalg/views.hpp"

namespace tidal {

inline constexpr int kBandLower = 7;
inline constexpr int kBandUpper = 7;
inline constexpr int kBandWidth = kBandLower + kBandUpper + 1;

struct PackedBandFactors {
    int n = 0;
    std::vector<double> upper;  // n x kBandWidth, row by row; upper[i*15] is the pivot of row i
    std::vector<double> lower;  // n x kBandLower, row by row: the multipliers of step i
    std::vector<int> pivot_row; // 0-based row interchanged with row i at step i
};

// Copies the factors left by bandecdp (called with m1 = m2 = 7) into row-major storage.
void pack_band_factors(Mat1View<const double> a, Mat1View<const double> al,
                       Vec1View<const int> indx, int n, PackedBandFactors& out);

// Solves the factorised system for three right-hand sides at once, each overwritten in place
// by its solution (length n, 0-based storage).
void solve_packed3(const PackedBandFactors& f, double* b0, double* b1, double* b2);

} // namespace tidal
