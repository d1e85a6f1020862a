#include "linalg/band_lu.hpp"

#include <cmath>
#include <utility>

namespace tidal {

void bandecdp(Mat1View<double> a, int n, int m1, int m2, Mat1View<double> al, Vec1View<int> indx,
              double& d) {
    const int mm = m1 + m2 + 1;

    // Shift the first m1 rows left so that every row starts with its first in-band element.
    int l = m1;
    for (int i = 1; i <= m1; ++i) {
        for (int c = m1 + 2 - i; c <= mm; ++c)
            a(i, c - l) = a(i, c);
        --l;
        for (int c = mm - l; c <= mm; ++c)
            a(i, c) = 0.0;
    }

    d = 1.0;
    l = m1;
    for (int k = 1; k <= n; ++k) {
        if (l < n) ++l;
        double pivot = a(k, 1);
        int chosen = k;
        for (int r = k + 1; r <= l; ++r) {
            if (std::fabs(a(r, 1)) > std::fabs(pivot)) {
                pivot = a(r, 1);
                chosen = r;
            }
        }
        indx(k) = chosen;
        if (pivot == 0.0) a(k, 1) = kTinyPivot;
        if (chosen != k) {
            d = -d;
            for (int c = 1; c <= mm; ++c)
                std::swap(a(k, c), a(chosen, c));
        }
        for (int r = k + 1; r <= l; ++r) {
            const double q = a(r, 1) / a(k, 1);
            al(k, r - k) = q;
            for (int c = 2; c <= mm; ++c)
                a(r, c - 1) = a(r, c) - q * a(k, c);
            a(r, mm) = 0.0;
        }
    }
}

void banbksdp(Mat1View<const double> a, int n, int m1, int m2, Mat1View<const double> al,
              Vec1View<const int> indx, Vec1View<double> b) {
    const int mm = m1 + m2 + 1;

    // Forward pass: apply the interchanges and the stored multipliers.
    int l = m1;
    for (int k = 1; k <= n; ++k) {
        const int i = indx(k);
        if (i != k) std::swap(b(k), b(i));
        if (l < n) ++l;
        for (int r = k + 1; r <= l; ++r)
            b(r) = b(r) - al(k, r - k) * b(k);
    }

    // Back pass with the left-aligned upper factor.
    l = 1;
    for (int i = n; i >= 1; --i) {
        double s = b(i);
        for (int t = 2; t <= l; ++t)
            s = s - a(i, t) * b(i + t - 1);
        b(i) = s / a(i, 1);
        if (l < mm) ++l;
    }
}

} // namespace tidal
