#include "linalg/band_solve_fast.hpp"

#include <algorithm>
#include <utility>

namespace tidal {

void pack_band_factors(Mat1View<const double> a, Mat1View<const double> al,
                       Vec1View<const int> indx, int n, PackedBandFactors& out) {
    out.n = n;
    out.upper.assign(static_cast<std::size_t>(n) * kBandWidth, 0.0);
    out.lower.assign(static_cast<std::size_t>(n) * kBandLower, 0.0);
    out.pivot_row.assign(static_cast<std::size_t>(n), 0);
    for (int i = 1; i <= n; ++i) {
        const std::size_t row = static_cast<std::size_t>(i - 1);
        for (int c = 1; c <= kBandWidth; ++c) out.upper[row * kBandWidth + (c - 1)] = a(i, c);
        for (int t = 1; t <= kBandLower; ++t) out.lower[row * kBandLower + (t - 1)] = al(i, t);
        out.pivot_row[row] = indx(i) - 1;
    }
}

void solve_packed3(const PackedBandFactors& f, double* b0, double* b1, double* b2) {
    const int n = f.n;
    const double* lo = f.lower.data();
    const double* up = f.upper.data();

    // Forward pass: interchanges and multipliers, rows k+1 .. min(k+7, n).
    for (int k = 0; k < n; ++k) {
        const int p = f.pivot_row[static_cast<std::size_t>(k)];
        if (p != k) {
            std::swap(b0[k], b0[p]);
            std::swap(b1[k], b1[p]);
            std::swap(b2[k], b2[p]);
        }
        const double x0 = b0[k], x1 = b1[k], x2 = b2[k];
        const double* m = lo + static_cast<std::size_t>(k) * kBandLower;
        const int count = std::min(kBandLower, n - 1 - k);
        for (int t = 0; t < count; ++t) {
            const int r = k + 1 + t;
            b0[r] = b0[r] - m[t] * x0;
            b1[r] = b1[r] - m[t] * x1;
            b2[r] = b2[r] - m[t] * x2;
        }
    }

    // Back pass: each row subtracts its super-diagonal terms left to right, then divides.
    for (int i = n - 1; i >= 0; --i) {
        const double* u = up + static_cast<std::size_t>(i) * kBandWidth;
        double s0 = b0[i], s1 = b1[i], s2 = b2[i];
        const int terms = std::min(kBandWidth, n - i) - 1;
        if (terms == kBandWidth - 1) {
            for (int t = 1; t < kBandWidth; ++t) {
                s0 = s0 - u[t] * b0[i + t];
                s1 = s1 - u[t] * b1[i + t];
                s2 = s2 - u[t] * b2[i + t];
            }
        } else {
            for (int t = 1; t <= terms; ++t) {
                s0 = s0 - u[t] * b0[i + t];
                s1 = s1 - u[t] * b1[i + t];
                s2 = s2 - u[t] * b2[i + t];
            }
        }
        b0[i] = s0 / u[0];
        b1[i] = s1 / u[0];
        b2[i] = s2 / u[0];
    }
}

} // namespace tidal
