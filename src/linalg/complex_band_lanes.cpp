// Method: docs/method.md §4 (the banded solve).
#include "linalg/complex_band_lanes.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "linalg/band_lu.hpp"
#include "linalg/complex_lanes.hpp"

namespace tidal {

namespace {

using lanes::CVec;
using lanes::load_c;
using lanes::Mask;
using lanes::store_c;
using lanes::Vec;
constexpr int L = kLanes;
constexpr int M1 = kBandLower, MM = kBandWidth;
constexpr std::size_t kC = 2 * L; // doubles per complex entry of all lanes
// Slots per row of the lane layout. Row r keeps the band's 15 columns in slots 0..14 (slot s
// holding the matrix column r - M1 + s) and 7 slots more for the fill-in of its elimination:
// where bandecdp moves the rows under the pivot one column left at every step, this layout
// leaves each row in place, so that at step k the band column c of row r (bandecdp's a(r, c)
// at that step) sits in slot k - r + M1 + c - 1, and the finished row k's in slot M1 + c - 1.
constexpr int W = MM + M1;
// Right-hand sides whose back substitution runs together (the tide's three loads and the two
// unit boundary loads).
constexpr int kRhsTogether = 5;
static_assert(L == lanes::kWidth);

// Whether some lane's value is not exactly zero (NaN counts as nonzero).
[[gnu::always_inline]] inline bool nonzero(CVec v) {
    return lanes::any(lanes::ne(v.re, lanes::splat(0.0)) | lanes::ne(v.im, lanes::splat(0.0)));
}

} // namespace

// The kernels, compiled for the baseline, AVX2 and AVX-512 (external linkage for the clones).
namespace lane_kernels {

// bandecdp on every lane: a is [row][column][part][lane] (n x 15), al [row][7][part][lane].
TIDAL_LANE_CLONES void factorise(double* a_, double* al_, int* pivot, int* common, int n,
                                 int* lower_terms, int* lower_count, int* upper_terms,
                                 int* upper_count, bool* failed) {
    Mask unreliable = {};
    // Row r's band column c at step k (bandecdp's a(r, c) after its shifts).
    const auto S = [&](int k, int r, int c) {
        return a_ + (static_cast<std::size_t>(r - 1) * W + static_cast<std::size_t>(k - r + M1 + c - 1)) * kC;
    };
    const auto AL = [&](int k, int t) {
        return al_ + (static_cast<std::size_t>(k - 1) * M1 + static_cast<std::size_t>(t - 1)) * kC;
    };
    const auto copy = [](double* to, const double* from) { store_c(to, load_c(from)); };
    const CVec zero = {lanes::splat(0.0), lanes::splat(0.0)};

    int l;
    l = M1;
    for (int k = 1; k <= n; ++k) {
        if (l < n) ++l;
        const auto A = [&](int r, int c) { return S(k, r, c); };
        // The candidate of largest |re| + |im| per lane; ties keep the earlier row.
        CVec pivot_value = load_c(A(k, 1));
        Vec size = lanes::abs(pivot_value.re) + lanes::abs(pivot_value.im);
        Vec chosen = lanes::splat(static_cast<double>(k));
        for (int r = k + 1; r <= l; ++r) {
            const CVec v = load_c(A(r, 1));
            const Vec candidate = lanes::abs(v.re) + lanes::abs(v.im);
            const Mask larger = lanes::gt(candidate, size);
            if (!lanes::any(larger)) continue; // most candidates are zero in every lane
            pivot_value.re = lanes::select(larger, v.re, pivot_value.re);
            pivot_value.im = lanes::select(larger, v.im, pivot_value.im);
            size = lanes::select(larger, candidate, size);
            chosen = lanes::select(larger, lanes::splat(static_cast<double>(r)), chosen);
        }
        int* row_pivot = pivot + static_cast<std::size_t>(k - 1) * L;
        bool same = true;
        for (int lane = 0; lane < L; ++lane) {
            row_pivot[lane] = static_cast<int>(chosen[lane]);
            same = same && row_pivot[lane] == row_pivot[0];
        }
        // A zero pivot (its lane interchanges nothing) becomes kTinyPivot.
        const Mask zero_pivot = lanes::eq(pivot_value.re, lanes::splat(0.0)) & lanes::eq(pivot_value.im, lanes::splat(0.0));
        if (lanes::any(zero_pivot)) {
            CVec d = load_c(A(k, 1));
            d.re = lanes::select(zero_pivot, lanes::splat(kTinyPivot), d.re);
            d.im = lanes::select(zero_pivot, lanes::splat(0.0), d.im);
            store_c(A(k, 1), d);
        }
        if (same) {
            const int p = row_pivot[0];
            common[k - 1] = p;
            if (p != k)
                for (int c = 1; c <= MM; ++c) {
                    const CVec t = load_c(A(k, c));
                    copy(A(k, c), A(p, c));
                    store_c(A(p, c), t);
                }
        } else {
            common[k - 1] = -1;
            for (int r = k + 1; r <= l; ++r) {
                const Mask here = lanes::eq(chosen, lanes::splat(static_cast<double>(r)));
                if (!lanes::any(here)) continue;
                for (int c = 1; c <= MM; ++c) {
                    const CVec t = load_c(A(k, c)), s = load_c(A(r, c));
                    store_c(A(k, c), {lanes::select(here, s.re, t.re), lanes::select(here, s.im, t.im)});
                    store_c(A(r, c), {lanes::select(here, t.re, s.re), lanes::select(here, t.im, s.im)});
                }
            }
        }
        const CVec pk = load_c(A(k, 1));
        // Most entries of these bands are exactly zero in every lane: a product with a zero
        // multiplier or a zero entry of the pivot row subtracts nothing, and is skipped. The
        // pivot row's columns that are nonzero in some lane:
        CVec y[MM + 1];
        int live[MM], live_count = 0;
        for (int c = 2; c <= MM; ++c) {
            y[c] = load_c(A(k, c));
            if (nonzero(y[c])) live[live_count++] = c;
        }
        // A finite pivot (nonzero: a zero one is kTinyPivot by now) divides an exact zero into
        // an exact zero, which needs no division.
        const bool finite_pivot = !lanes::any(~lanes::le(lanes::abs(pk.re), lanes::splat(DBL_MAX)) |
                                              ~lanes::le(lanes::abs(pk.im), lanes::splat(DBL_MAX)));
        for (int r = k + 1; r <= l; ++r) {
            const CVec below = load_c(A(r, 1));
            const bool q_live = !finite_pivot || nonzero(below);
            if (q_live) {
                const CVec q = lanes::div(below, pk);
                store_c(AL(k, r - k), q);
                // An infinite or NaN multiplier's products are not all skipped: such a lane is
                // reported, for its caller to solve with the scalar code.
                unreliable |= ~lanes::le(lanes::abs(q.re), lanes::splat(DBL_MAX)) |
                              ~lanes::le(lanes::abs(q.im), lanes::splat(DBL_MAX));
                // Updated in place: the row's next step reads it one slot further on.
                if (nonzero(q))
                    for (int j = 0; j < live_count; ++j) {
                        const int c = live[j];
                        store_c(A(r, c), lanes::sub(load_c(A(r, c)), lanes::mul(q, y[c])));
                    }
            } else {
                store_c(AL(k, r - k), zero);
            }
        }
    }
    for (int lane = 0; lane < L; ++lane)
        failed[lane] = unreliable[lane] != 0;
    // The terms of the substitution that are nonzero in some lane, per row, ascending.
    for (int k = 1; k <= n; ++k) {
        int count = 0;
        for (int t = 1; t <= std::min(M1, n - k); ++t)
            if (nonzero(load_c(AL(k, t)))) lower_terms[(k - 1) * M1 + count++] = t;
        lower_count[k - 1] = count;
        count = 0;
        for (int t = 2; t <= std::min(MM, n - k + 1); ++t)
            if (nonzero(load_c(S(k, k, t)))) upper_terms[(k - 1) * MM + count++] = t;
        upper_count[k - 1] = count;
    }
}

// banbksdp on every lane and right-hand side of b ([row][rhs][part][lane]).
TIDAL_LANE_CLONES void solve(const double* a_, const double* al_, const int* pivot,
                             const int* common, int n, const int* lower_terms,
                             const int* lower_count, const int* upper_terms,
                             const int* upper_count, double* b_, int rhs) {
    const auto A = [&](int i, int c) {
        return a_ + (static_cast<std::size_t>(i - 1) * W + static_cast<std::size_t>(M1 + c - 1)) * kC;
    };
    const auto AL = [&](int k, int t) {
        return al_ + (static_cast<std::size_t>(k - 1) * M1 + static_cast<std::size_t>(t - 1)) * kC;
    };
    const auto B = [&](int i, int j) {
        return b_ + (static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(rhs) +
                     static_cast<std::size_t>(j)) * kC;
    };
    // Forward pass: the interchanges and the stored multipliers.
    for (int k = 1; k <= n; ++k) {
        const int p = common[k - 1];
        if (p >= 0) {
            if (p != k)
                for (int j = 0; j < rhs; ++j) {
                    const CVec t = load_c(B(k, j));
                    store_c(B(k, j), load_c(B(p, j)));
                    store_c(B(p, j), t);
                }
        } else {
            const int* row_pivot = pivot + static_cast<std::size_t>(k - 1) * L;
            for (int lane = 0; lane < L; ++lane) {
                const int i = row_pivot[lane];
                if (i == k) continue;
                for (int j = 0; j < rhs; ++j)
                    for (int part = 0; part < 2; ++part)
                        std::swap(B(k, j)[part * L + lane], B(i, j)[part * L + lane]);
            }
        }
        for (int q = 0; q < lower_count[k - 1]; ++q) {
            const int t = lower_terms[(k - 1) * M1 + q];
            const CVec m = load_c(AL(k, t));
            for (int j = 0; j < rhs; ++j)
                store_c(B(k + t, j),
                        lanes::sub(load_c(B(k + t, j)), lanes::mul(m, load_c(B(k, j)))));
        }
    }
    // Back pass with the left-aligned upper factor.
    for (int i = n; i >= 1; --i) {
        const int* terms = upper_terms + static_cast<std::size_t>(i - 1) * MM;
        const int count = upper_count[i - 1];
        // Up to kRhsTogether right-hand sides' sums at once, each entry of the row loaded once
        // per group; each sum still takes its terms in ascending order.
        for (int j0 = 0; j0 < rhs; j0 += kRhsTogether) {
            const int m = std::min(kRhsTogether, rhs - j0);
            CVec s[kRhsTogether];
            for (int j = 0; j < m; ++j)
                s[j] = load_c(B(i, j0 + j));
            for (int q = 0; q < count; ++q) {
                const int t = terms[q];
                const CVec a = load_c(A(i, t));
                const double* x = B(i + t - 1, j0);
                for (int j = 0; j < m; ++j)
                    s[j] = lanes::sub(s[j], lanes::mul(a, load_c(x + static_cast<std::size_t>(j) * kC)));
            }
            const CVec d = load_c(A(i, 1));
            for (int j = 0; j < m; ++j)
                store_c(B(i, j0 + j), lanes::div(s[j], d));
        }
    }
}

// Per lane, whether every one of its `count` entries of b ([entry][lane]) is finite.
TIDAL_LANE_CLONES void finite_lanes(const double* b, std::size_t count, bool* finite) {
    Mask bad = {};
    for (std::size_t e = 0; e < count; ++e)
        bad |= ~lanes::le(lanes::abs(lanes::load(b + e * L)), lanes::splat(DBL_MAX));
    for (int lane = 0; lane < L; ++lane)
        finite[lane] = bad[lane] == 0;
}

} // namespace lane_kernels

ComplexLaneBand::ComplexLaneBand(int order)
    : n_(order), upper_(static_cast<std::size_t>(order) * W * kC),
      lower_(static_cast<std::size_t>(order) * M1 * kC),
      pivot_(static_cast<std::size_t>(order) * L), common_(static_cast<std::size_t>(order)),
      lower_terms_(static_cast<std::size_t>(order) * M1), upper_terms_(static_cast<std::size_t>(order) * MM),
      lower_count_(static_cast<std::size_t>(order)), upper_count_(static_cast<std::size_t>(order)) {}

void ComplexLaneBand::set_lane(int lane, Mat1View<const std::complex<double>> a) {
    for (int i = 1; i <= n_; ++i)
        for (int c = 1; c <= W; ++c) {
            double* e = upper_.data() +
                        (static_cast<std::size_t>(i - 1) * W + static_cast<std::size_t>(c - 1)) * kC;
            e[lane] = c <= MM ? a(i, c).real() : 0.0;
            e[L + lane] = c <= MM ? a(i, c).imag() : 0.0;
        }
}

void ComplexLaneBand::set_lanes(const std::array<const std::complex<double>*, kLanes>& bands) {
    const std::size_t n = static_cast<std::size_t>(n_);
    double* e = upper_.data();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t c = 0; c < static_cast<std::size_t>(MM); ++c, e += kC) {
            const std::size_t at = c * n + i;
            for (int lane = 0; lane < L; ++lane) {
                const std::complex<double> v = bands[static_cast<std::size_t>(lane)][at];
                e[lane] = v.real();
                e[L + lane] = v.imag();
            }
        }
        // The fill-in slots start cleared (bandecdp's zeros shifted in from the right).
        std::fill(e, e + static_cast<std::size_t>(M1) * kC, 0.0);
        e += static_cast<std::size_t>(M1) * kC;
    }
}

void ComplexLaneBand::factorise() {
    lane_kernels::factorise(upper_.data(), lower_.data(), pivot_.data(), common_.data(), n_,
                            lower_terms_.data(), lower_count_.data(), upper_terms_.data(),
                            upper_count_.data(), failed_.data());
}

void ComplexLaneBand::solve(double* b, int rhs) const {
    lane_kernels::solve(upper_.data(), lower_.data(), pivot_.data(), common_.data(), n_,
                        lower_terms_.data(), lower_count_.data(), upper_terms_.data(),
                        upper_count_.data(), b, rhs);
}

std::array<bool, kLanes> ComplexLaneBand::reliable(const double* b, int rhs) const {
    std::array<bool, kLanes> finite{};
    lane_kernels::finite_lanes(b, storage(n_, rhs) / kLanes, finite.data());
    for (int lane = 0; lane < L; ++lane)
        finite[static_cast<std::size_t>(lane)] =
            finite[static_cast<std::size_t>(lane)] && !failed_[static_cast<std::size_t>(lane)];
    return finite;
}

} // namespace tidal
