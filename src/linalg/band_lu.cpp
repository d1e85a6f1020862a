// Method: docs/method.md §4 (the banded solve).
#include "linalg/band_lu.hpp"

#include <cmath>
#include <complex>
#include <utility>

namespace tidal {

namespace {

// Size of a pivot candidate. For complex entries |re| + |im| (as complex LU solvers usually
// pivot): within a factor sqrt(2) of the modulus, so just as stable, and without a square root.
inline double pivot_size(double v) {
    return std::fabs(v);
}
inline double pivot_size(const std::complex<double>& v) {
    return std::fabs(v.real()) + std::fabs(v.imag());
}

} // namespace

template <class T>
void bandecdp(Mat1View<T> a, int n, int m1, int m2, std::type_identity_t<Mat1View<T>> al,
              Vec1View<int> indx, double& d) {
    const int mm = m1 + m2 + 1;

    // Shift the first m1 rows left so that every row starts with its first in-band element.
    int l = m1;
    for (int i = 1; i <= m1; ++i) {
        for (int c = m1 + 2 - i; c <= mm; ++c)
            a(i, c - l) = a(i, c);
        --l;
        for (int c = mm - l; c <= mm; ++c)
            a(i, c) = T(0.0);
    }

    d = 1.0;
    l = m1;
    for (int k = 1; k <= n; ++k) {
        if (l < n) ++l;
        T pivot = a(k, 1);
        double size = pivot_size(pivot);
        int chosen = k;
        for (int r = k + 1; r <= l; ++r) {
            const double candidate = pivot_size(a(r, 1));
            if (candidate > size) {
                pivot = a(r, 1);
                size = candidate;
                chosen = r;
            }
        }
        indx(k) = chosen;
        if (pivot == T(0.0)) a(k, 1) = T(kTinyPivot);
        if (chosen != k) {
            d = -d;
            for (int c = 1; c <= mm; ++c)
                std::swap(a(k, c), a(chosen, c));
        }
        for (int r = k + 1; r <= l; ++r) {
            const T q = a(r, 1) / a(k, 1);
            al(k, r - k) = q;
            for (int c = 2; c <= mm; ++c)
                a(r, c - 1) = a(r, c) - q * a(k, c);
            a(r, mm) = T(0.0);
        }
    }
}

template <class T>
void banbksdp(std::type_identity_t<Mat1View<const T>> a, int n, int m1, int m2,
              std::type_identity_t<Mat1View<const T>> al, Vec1View<const int> indx, Vec1View<T> b) {
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
        T s = b(i);
        for (int t = 2; t <= l; ++t)
            s = s - a(i, t) * b(i + t - 1);
        b(i) = s / a(i, 1);
        if (l < mm) ++l;
    }
}

template void bandecdp<double>(Mat1View<double>, int, int, int, Mat1View<double>, Vec1View<int>,
                               double&);
template void bandecdp<std::complex<double>>(Mat1View<std::complex<double>>, int, int, int,
                                             Mat1View<std::complex<double>>, Vec1View<int>,
                                             double&);
template void banbksdp<double>(Mat1View<const double>, int, int, int, Mat1View<const double>,
                               Vec1View<const int>, Vec1View<double>);
template void banbksdp<std::complex<double>>(Mat1View<const std::complex<double>>, int, int, int,
                                             Mat1View<const std::complex<double>>,
                                             Vec1View<const int>, Vec1View<std::complex<double>>);

} // namespace tidal
