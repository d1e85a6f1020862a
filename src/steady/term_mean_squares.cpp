// Method: docs/method.md §8 (the power of a periodic state).
#include "steady/term_mean_squares.hpp"

#include <cstring>

#include "linalg/complex_lanes.hpp"

namespace tidal {

TIDAL_LANE_CLONES bool term_mean_squares(const double* g, int terms, const double* x,
                                         int harmonics, double* out) {
    using lanes::Half;
    using lanes::HalfMask;
    // The three components' three stress rows, [c][k], in three vectors of four lanes (the
    // last three lanes hold zeros).
    constexpr int kRows = 3 * 3, kGroups = 3, kWidth = 4;
    const std::size_t T = static_cast<std::size_t>(terms);
    const std::size_t H = static_cast<std::size_t>(harmonics);
    HalfMask unfinished = {0, 0, 0, 0};
    for (std::size_t t = 0; t < T; ++t) {
        // Per component and stress row, the sum over the harmonics of the squared parts.
        Half m[kGroups];
        for (Half& v : m)
            v = Half{0.0, 0.0, 0.0, 0.0};
        for (std::size_t h = 0; h < H; ++h) {
            const double gr = g[2 * h * T + t], gi = g[(2 * h + 1) * T + t];
            const double* v = x + h * kRows * 2;
            for (int q = 0; q < kGroups; ++q) {
                Half xr = {0.0, 0.0, 0.0, 0.0}, xi = xr;
                for (int i = 0; i < kWidth && q * kWidth + i < kRows; ++i) {
                    xr[i] = v[2 * (q * kWidth + i)];
                    xi[i] = v[2 * (q * kWidth + i) + 1];
                }
                const Half ar = gr * xr - gi * xi;
                const Half ai = gr * xi + gi * xr;
                m[q] += ar * ar;
                m[q] += ai * ai;
            }
        }
        double half[kGroups * kWidth];
        for (int q = 0; q < kGroups; ++q) {
            const Half d = m[q] / 2.0;
            // A product whose parts are both NaN leaves a NaN mean (so may another NaN).
            unfinished |= d != d;
            std::memcpy(half + q * kWidth, &d, sizeof d);
        }
        for (int c = 0; c < 3; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k)
                sum += half[3 * c + k];
            out[static_cast<std::size_t>(c) * T + t] = sum;
        }
    }
    for (int i = 0; i < kWidth; ++i)
        if (unfinished[i] != 0) return false;
    return true;
}

} // namespace tidal
