// Method: docs/method.md §8 (the power of a periodic state).
#include "steady/term_mean_squares.hpp"

#include <cstring>

#include "linalg/complex_lanes.hpp"

namespace tidal {

TIDAL_LANE_CLONES bool term_mean_squares(const double* g, int terms, const double* x,
                                         int harmonics, double* out) {
    using lanes::Half;
    using lanes::HalfMask;
    constexpr int kRows = 3 * 3; // the three components' three stress rows, [c][k]
    const std::size_t T = static_cast<std::size_t>(terms);
    HalfMask unfinished = {0, 0, 0, 0};
    for (std::size_t t0 = 0; t0 < T; t0 += kTermLanes) {
        // Per component and stress row, the sum over the harmonics of the squared parts.
        Half m[kRows];
        for (Half& v : m)
            v = Half{0.0, 0.0, 0.0, 0.0};
        for (std::size_t h = 0; h < static_cast<std::size_t>(harmonics); ++h) {
            Half gr, gi;
            std::memcpy(&gr, g + (2 * h) * T + t0, sizeof gr);
            std::memcpy(&gi, g + (2 * h + 1) * T + t0, sizeof gi);
            const double* v = x + h * kRows * 2;
            for (int ck = 0; ck < kRows; ++ck) {
                const double xr = v[2 * ck], xi = v[2 * ck + 1];
                const Half ar = gr * xr - gi * xi;
                const Half ai = gr * xi + gi * xr;
                m[ck] += ar * ar;
                m[ck] += ai * ai;
            }
        }
        for (int c = 0; c < 3; ++c) {
            Half sum = {0.0, 0.0, 0.0, 0.0};
            for (int k = 0; k < 3; ++k)
                sum += m[3 * c + k] / 2.0;
            // A product whose parts are both NaN leaves a NaN mean (so may another NaN).
            unfinished |= sum != sum;
            std::memcpy(out + static_cast<std::size_t>(c) * T + t0, &sum, sizeof sum);
        }
    }
    for (int i = 0; i < kTermLanes; ++i)
        if (unfinished[i] != 0) return false;
    return true;
}

} // namespace tidal
