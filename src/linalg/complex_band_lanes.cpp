// Method: docs/method.md §4 (the banded solve).
#include "linalg/complex_band_lanes.hpp"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <type_traits>

#include "linalg/band_lu.hpp"
#include "linalg/complex_lanes.hpp"

namespace tidal {

namespace {

using lanes::load_c;
using lanes::store_c;
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
static_assert(kRhsTogether <= 5); // the back pass groups the rest by 4, 3, 2 or 1
// The 15 band columns of a row as bits.
constexpr std::uint32_t kColumns = (1u << MM) - 1;
static_assert(W <= 32);

} // namespace

// The kernels: their bodies on either vector type of the lanes, then one function per
// instruction set.
namespace lane_kernels {

// bandecdp on every lane, a being [row][slot][part][lane] (n x W), with the forward pass of
// banbksdp on the `rhs` right-hand sides of b ([row][rhs][part][lane]) done step by step as
// the multipliers are formed: at step k each lane's rows k and p of b are interchanged, then
// each row r under the pivot loses its multiplier times row k, in ascending r (banbksdp's
// operations in its order, per lane: no later step touches row k or a multiplier of step k,
// so the multipliers are used where they are formed and never stored).
// mask[r - 1] holds the slots of row r that may be nonzero in some lane (set from the band's
// pattern; the other slots are read as zeros, whatever they hold), and follows the fill-in:
// a product is formed where both its factors may be nonzero, as bandecdp forms it, and left
// out where one of them is zero in every lane (docs/method.md §4, the banded solve).
// With `loads` ([row][rhs], the same value in every lane), each row of b is set from them
// when the elimination first reaches it (the window of step k ends at row k + 7), rather
// than in a pass of its own over all of b before: the row is written where it is used next.
// V: the lanes' vector type (lanes::Split or, compiled for AVX-512, lanes::Whole). Every
// lambda that takes or returns a vector is always inlined: no vector crosses a call into code
// compiled for another instruction set.
template <class V>
[[gnu::always_inline]] inline void factorise_lanes(double* a_, int n, std::uint32_t* mask,
                                                   const std::uint32_t* pattern, int* upper_terms,
                                                   int* upper_count, bool* failed, double* b_, int rhs,
                                                   const std::complex<double>* loads) {
    using CVec = lanes::Complexes<V>;
    using Mask = lanes::MaskOf<V>;
    // Row r's band column c at step k (bandecdp's a(r, c) after its shifts).
    const auto S = [&](int k, int r, int c) {
        return a_ + (static_cast<std::size_t>(r - 1) * W + static_cast<std::size_t>(k - r + M1 + c - 1)) * kC;
    };
    const auto B = [&](int i, int j) {
        return b_ + (static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(rhs) +
                     static_cast<std::size_t>(j)) * kC;
    };
    const CVec zero = {lanes::splat<V>(0.0), lanes::splat<V>(0.0)};
    // Whether band column c of row r is among its possibly nonzero slots at step k.
    const auto in = [&](int k, int r, int c) { return (mask[r - 1] >> (k - r + M1 + c - 1) & 1u) != 0; };
    const auto read = [&](int k, int r, int c) __attribute__((always_inline)) {
        return in(k, r, c) ? load_c<V>(S(k, r, c)) : zero;
    };
    // Row r's band columns 1..15 at step k as bits 0..14.
    const auto columns = [&](int k, int r) { return mask[r - 1] >> (k - r + M1) & kColumns; };
    // 0 times every pivot, entry of the pivot rows and multiplier: zero while they are
    // finite, NaN in a lane once one is not (then a left-out product of a zero factor with it
    // would not have been zero: that lane is reported).
    V unfinite = lanes::splat<V>(0.0);
    const auto watch = [&](CVec v) __attribute__((always_inline)) {
        unfinite = unfinite + v.re * lanes::splat<V>(0.0);
        unfinite = unfinite + v.im * lanes::splat<V>(0.0);
    };
    std::copy(pattern, pattern + n, mask);
    int filled = 0; // rows of b set from `loads` so far
    const auto fill_to = [&](int last) {
        for (; filled < last; ++filled) {
            const std::complex<double>* v = loads + static_cast<std::size_t>(filled) * static_cast<std::size_t>(rhs);
            double* row = B(filled + 1, 0);
            // Lane by lane: the compiler makes each loop one broadcast and store in the
            // function it is inlined into (a vector built by a helper would be assembled
            // lane by lane where the helper is compiled for the baseline).
            for (int j = 0; j < rhs; ++j, row += kC) {
                const double re = v[j].real(), im = v[j].imag();
                for (int lane = 0; lane < L; ++lane)
                    row[lane] = re;
                for (int lane = 0; lane < L; ++lane)
                    row[L + lane] = im;
            }
        }
    };

    for (int k = 1; k <= n; ++k) {
        const int l = std::min(k + M1, n);
        if (loads) fill_to(l); // rows k..l: the pivot's candidates and the rows it updates
        const auto A = [&](int r, int c) { return S(k, r, c); };
        if (!in(k, k, 1)) { // a zero first entry, read as such
            store_c(A(k, 1), zero);
            mask[k - 1] |= 1u << M1;
        }
        // The candidate of largest |re| + |im| per lane; ties keep the earlier row. A row
        // whose first entry is zero in every lane is never larger, and is passed over.
        CVec pivot_value = load_c<V>(A(k, 1));
        V size = lanes::abs(pivot_value.re) + lanes::abs(pivot_value.im);
        V chosen = lanes::splat<V>(static_cast<double>(k));
        for (int r = k + 1; r <= l; ++r) {
            if (!in(k, r, 1)) continue;
            const CVec v = load_c<V>(A(r, 1));
            const V candidate = lanes::abs(v.re) + lanes::abs(v.im);
            const Mask larger = lanes::gt(candidate, size);
            if (!lanes::any(larger)) continue;
            pivot_value.re = lanes::select(larger, v.re, pivot_value.re);
            pivot_value.im = lanes::select(larger, v.im, pivot_value.im);
            size = lanes::select(larger, candidate, size);
            chosen = lanes::select(larger, lanes::splat<V>(static_cast<double>(r)), chosen);
        }
        // A zero pivot (its lane interchanges nothing) becomes kTinyPivot.
        const Mask zero_pivot = lanes::eq(pivot_value.re, lanes::splat<V>(0.0)) & lanes::eq(pivot_value.im, lanes::splat<V>(0.0));
        if (lanes::any(zero_pivot)) {
            CVec d = load_c<V>(A(k, 1));
            d.re = lanes::select(zero_pivot, lanes::splat<V>(kTinyPivot), d.re);
            d.im = lanes::select(zero_pivot, lanes::splat<V>(0.0), d.im);
            store_c(A(k, 1), d);
        }
        const double first = chosen[0];
        if (!lanes::any(lanes::ne(chosen, lanes::splat<V>(first)))) {
            const int p = static_cast<int>(first);
            if (p != k) {
                for (int j = 0; j < rhs; ++j) {
                    const CVec t = load_c<V>(B(k, j));
                    store_c(B(k, j), load_c<V>(B(p, j)));
                    store_c(B(p, j), t);
                }
                // Rows k and p exchange their columns (a column zero in one row is copied).
                const std::uint32_t fk = columns(k, k), fp = columns(k, p);
                for (std::uint32_t bits = fk | fp; bits != 0; bits &= bits - 1) {
                    const int c = std::countr_zero(bits) + 1;
                    const std::uint32_t bit = 1u << (c - 1);
                    if ((fk & bit) && (fp & bit)) {
                        const CVec t = load_c<V>(A(k, c));
                        store_c(A(k, c), load_c<V>(A(p, c)));
                        store_c(A(p, c), t);
                    } else if (fk & bit) {
                        store_c(A(p, c), load_c<V>(A(k, c)));
                    } else {
                        store_c(A(k, c), load_c<V>(A(p, c)));
                    }
                }
                mask[k - 1] = fp << M1;
                mask[p - 1] = fk << (k - p + M1);
            }
        } else {
            // Lanes that interchange different rows: each row's columns where either may be
            // nonzero, exchanged lane by lane.
            for (int r = k + 1; r <= l; ++r) {
                const Mask here = lanes::eq(chosen, lanes::splat<V>(static_cast<double>(r)));
                if (!lanes::any(here)) continue;
                for (int j = 0; j < rhs; ++j) {
                    const CVec t = load_c<V>(B(k, j)), s = load_c<V>(B(r, j));
                    store_c(B(k, j), CVec{lanes::select(here, s.re, t.re), lanes::select(here, s.im, t.im)});
                    store_c(B(r, j), CVec{lanes::select(here, t.re, s.re), lanes::select(here, t.im, s.im)});
                }
                const std::uint32_t both = columns(k, k) | columns(k, r);
                for (std::uint32_t bits = both; bits != 0; bits &= bits - 1) {
                    const int c = std::countr_zero(bits) + 1;
                    const CVec t = read(k, k, c), s = read(k, r, c);
                    store_c(A(k, c), CVec{lanes::select(here, s.re, t.re), lanes::select(here, s.im, t.im)});
                    store_c(A(r, c), CVec{lanes::select(here, t.re, s.re), lanes::select(here, t.im, s.im)});
                }
                mask[k - 1] = both << M1;
                mask[r - 1] = both << (k - r + M1);
            }
        }
        // The pivot row's columns 2..15 that may be nonzero: the row of the upper factor.
        const std::uint32_t live_bits = columns(k, k) & ~1u;
        const CVec pk = load_c<V>(A(k, 1));
        watch(pk);
        CVec y[MM + 1];
        int live[MM], live_count = 0;
        for (std::uint32_t bits = live_bits; bits != 0; bits &= bits - 1) {
            const int c = std::countr_zero(bits) + 1;
            y[c] = load_c<V>(A(k, c));
            watch(y[c]);
            live[live_count] = c;
            upper_terms[(k - 1) * MM + live_count++] = c;
        }
        upper_count[k - 1] = live_count;
        // The rows whose first entry may be nonzero: their multipliers and updates. The
        // others' multipliers are zero (0 / pivot) and change nothing.
        std::optional<lanes::DivisorOf<V>> divisor;
        for (int r = k + 1; r <= l; ++r) {
            if (!in(k, r, 1)) continue;
            if (!divisor) divisor.emplace(pk);
            const CVec q = lanes::div(load_c<V>(A(r, 1)), *divisor);
            watch(q);
            for (int j = 0; j < rhs; ++j)
                store_c(B(r, j), lanes::sub(load_c<V>(B(r, j)), lanes::mul(q, load_c<V>(B(k, j)))));
            // Updated in place: the row's next step reads it one slot further on. An entry
            // zero so far is 0 - q y, as bandecdp forms it.
            // (Two branches: a conditional load would pass the vectors through memory.)
            for (int j = 0; j < live_count; ++j) {
                const int c = live[j];
                double* e = A(r, c);
                if (in(k, r, c)) store_c(e, lanes::sub(load_c<V>(e), lanes::mul(q, y[c])));
                else store_c(e, lanes::sub(zero, lanes::mul(q, y[c])));
            }
            const int first_slot = k - r + M1;
            mask[r - 1] = (mask[r - 1] | live_bits << first_slot) & ~(1u << first_slot);
        }
    }
    for (int lane = 0; lane < L; ++lane)
        failed[lane] = unfinite[lane] != 0.0; // NaN
}

// Row `at` (0-based) of one right-hand side's solution x, all lanes, stored as each lane's
// complex value at to[lane] + 2 at (real, imaginary): four lanes at a time interleaved from
// their real and imaginary parts by two shuffles (one instruction each where the clone has
// 256-bit vectors).
template <class V>
[[gnu::always_inline]] inline void store_to_lanes(lanes::Complexes<V> x, double* const* to, std::size_t at) {
    using I = long long __attribute__((vector_size(32)));
    static_assert(sizeof(lanes::Half) == 4 * sizeof(double));
    const auto four = [&](lanes::Half re, lanes::Half im, double* const* t) __attribute__((always_inline)) {
        const lanes::Half even = __builtin_shuffle(re, im, I{0, 4, 2, 6}); // lanes 0, 2 of the four
        const lanes::Half odd = __builtin_shuffle(re, im, I{1, 5, 3, 7});  // lanes 1, 3
        std::memcpy(t[0] + at, &even, 2 * sizeof(double));
        std::memcpy(t[1] + at, &odd, 2 * sizeof(double));
        std::memcpy(t[2] + at, reinterpret_cast<const double*>(&even) + 2, 2 * sizeof(double));
        std::memcpy(t[3] + at, reinterpret_cast<const double*>(&odd) + 2, 2 * sizeof(double));
    };
    if constexpr (std::is_same_v<V, lanes::Split>) {
        four(x.re.lo, x.im.lo, to);
        four(x.re.hi, x.im.hi, to + 4);
    } else {
        four(lanes::low_half(x.re.v), lanes::low_half(x.im.v), to);
        four(lanes::high_half(x.re.v), lanes::high_half(x.im.v), to + 4);
    }
}

// The back pass of banbksdp on every lane and right-hand side of b ([row][rhs][part][lane]),
// whose forward pass the factorisation did; finite[lane]: whether every one of the lane's
// solutions is finite (checked as the back pass stores them, and it stores every entry of b).
// With `out`, right-hand side j's solution is also stored lane by lane as it is formed, at
// out[j kLanes + lane] (n complex values), where out[j kLanes] is not null.
template <class V>
[[gnu::always_inline]] inline void back_substitute_lanes(const double* a_, int n, const int* upper_terms,
                                                         const int* upper_count, double* b_, int rhs,
                                                         bool* finite, double* const* out) {
    using CVec = lanes::Complexes<V>;
    using Mask = lanes::MaskOf<V>;
    const auto A = [&](int i, int c) {
        return a_ + (static_cast<std::size_t>(i - 1) * W + static_cast<std::size_t>(M1 + c - 1)) * kC;
    };
    const auto B = [&](int i, int j) {
        return b_ + (static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(rhs) +
                     static_cast<std::size_t>(j)) * kC;
    };
    // Back pass with the left-aligned upper factor.
    const V largest = lanes::splat<V>(DBL_MAX);
    Mask bounded = lanes::le(lanes::splat<V>(0.0), largest); // every lane
    for (int i = n; i >= 1; --i) {
        const int* terms = upper_terms + static_cast<std::size_t>(i - 1) * MM;
        const int count = upper_count[i - 1];
        // The pivot prepared once for every right-hand side's quotient (the same operations).
        const lanes::DivisorOf<V> d(load_c<V>(A(i, 1)));
        // The sums of M right-hand sides from j0 at once (up to kRhsTogether), each entry of
        // the row loaded once per group; each sum still takes its terms in ascending order.
        // M is a constant of each call, so that the sums stay in registers; inlined, the
        // group is compiled for the clone's instruction set.
        const auto group = [&]<int M>(std::integral_constant<int, M>,
                                      int j0) __attribute__((always_inline)) {
            CVec s[M];
            for (int j = 0; j < M; ++j)
                s[j] = load_c<V>(B(i, j0 + j));
            for (int q = 0; q < count; ++q) {
                const int t = terms[q];
                const CVec a = load_c<V>(A(i, t));
                const double* x = B(i + t - 1, j0);
                for (int j = 0; j < M; ++j)
                    s[j] = lanes::sub(s[j], lanes::mul(a, load_c<V>(x + static_cast<std::size_t>(j) * kC)));
            }
            for (int j = 0; j < M; ++j) {
                const CVec x = lanes::div(s[j], d);
                store_c(B(i, j0 + j), x);
                if (out) {
                    double* const* to = out + static_cast<std::size_t>(j0 + j) * L;
                    if (to[0]) store_to_lanes(x, to, 2 * static_cast<std::size_t>(i - 1));
                }
                bounded = bounded & lanes::le(lanes::abs(x.re), largest) &
                          lanes::le(lanes::abs(x.im), largest);
            }
        };
        int j0 = 0;
        for (; j0 + kRhsTogether <= rhs; j0 += kRhsTogether)
            group(std::integral_constant<int, kRhsTogether>{}, j0);
        switch (rhs - j0) { // the rest, fewer than kRhsTogether
        case 4: group(std::integral_constant<int, 4>{}, j0); break;
        case 3: group(std::integral_constant<int, 3>{}, j0); break;
        case 2: group(std::integral_constant<int, 2>{}, j0); break;
        case 1: group(std::integral_constant<int, 1>{}, j0); break;
        default: break;
        }
    }
    for (int lane = 0; lane < L; ++lane)
        finite[lane] = bounded[lane] != 0;
}

// Each kernel compiled for the baseline and AVX2 on two halves of four lanes, and for
// AVX-512 on all eight lanes in one register; the processor picks one at load time. Every
// lane performs the same IEEE operations in the same order whatever the vector type, so the
// three give the same bits.
#ifdef TIDAL_BASELINE_ONLY
#define TIDAL_KERNEL(isa) void
#else
#define TIDAL_KERNEL(isa) __attribute__((target(isa))) void
#endif

#define TIDAL_FACTORISE(isa, vector)                                                              \
    TIDAL_KERNEL(isa)                                                                             \
    factorise(double* a, int n, std::uint32_t* mask, const std::uint32_t* pattern,                \
              int* upper_terms, int* upper_count, bool* failed, double* b, int rhs,               \
              const std::complex<double>* loads) {                                                \
        factorise_lanes<vector>(a, n, mask, pattern, upper_terms, upper_count, failed, b, rhs,    \
                                loads);                                                           \
    }
#define TIDAL_BACK_SUBSTITUTE(isa, vector)                                                        \
    TIDAL_KERNEL(isa)                                                                             \
    back_substitute(const double* a, int n, const int* upper_terms, const int* upper_count,       \
                    double* b, int rhs, bool* finite, double* const* out) {                       \
        back_substitute_lanes<vector>(a, n, upper_terms, upper_count, b, rhs, finite, out);      \
    }

TIDAL_FACTORISE("default", lanes::Split)
TIDAL_BACK_SUBSTITUTE("default", lanes::Split)
#ifndef TIDAL_BASELINE_ONLY
TIDAL_FACTORISE("avx2", lanes::Split)
TIDAL_BACK_SUBSTITUTE("avx2", lanes::Split)
TIDAL_FACTORISE("avx512f", lanes::Whole)
TIDAL_BACK_SUBSTITUTE("avx512f", lanes::Whole)
#endif
#undef TIDAL_FACTORISE
#undef TIDAL_BACK_SUBSTITUTE
#undef TIDAL_KERNEL

} // namespace lane_kernels

ComplexLaneBand::ComplexLaneBand(int order)
    : n_(order), upper_(static_cast<std::size_t>(order) * W * kC),
      pattern_(static_cast<std::size_t>(order)), mask_(static_cast<std::size_t>(order)),
      upper_terms_(static_cast<std::size_t>(order) * MM), upper_count_(static_cast<std::size_t>(order)) {
    for (int i = 1; i <= n_; ++i)
        pattern_[static_cast<std::size_t>(i - 1)] = inside(i);
}

std::uint32_t ComplexLaneBand::inside(int i) const {
    // Row i's band column c is the matrix column i - 8 + c: columns max(1, 9 - i) ..
    // min(15, n + 8 - i).
    const int from = std::max(1, M1 + 2 - i), to = std::min(MM, n_ + M1 + 1 - i);
    if (to < from) return 0;
    return ((1u << to) - 1u) & ~((1u << (from - 1)) - 1u);
}

void ComplexLaneBand::set_pattern(std::span<const std::uint32_t> rows) {
    if (rows.size() != pattern_.size())
        throw std::invalid_argument("ComplexLaneBand::set_pattern: one mask per row");
    for (int i = 1; i <= n_; ++i)
        pattern_[static_cast<std::size_t>(i - 1)] = rows[static_cast<std::size_t>(i - 1)] & inside(i);
}

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
    // The pattern's entries only: the factorisation reads no other slot.
    const std::size_t n = static_cast<std::size_t>(n_);
    for (std::size_t i = 0; i < n; ++i)
        for (std::uint32_t bits = pattern_[i]; bits != 0; bits &= bits - 1) {
            const std::size_t c = static_cast<std::size_t>(std::countr_zero(bits));
            double* e = upper_.data() + (i * W + c) * kC;
            const std::size_t at = c * n + i;
            for (int lane = 0; lane < L; ++lane) {
                const std::complex<double> v = bands[static_cast<std::size_t>(lane)][at];
                e[lane] = v.real();
                e[L + lane] = v.imag();
            }
        }
}

void ComplexLaneBand::factorise(double* b, int rhs, const std::complex<double>* loads) {
#define TIDAL_ARGUMENTS upper_.data(), n_, mask_.data(), pattern_.data(), upper_terms_.data(), \
                        upper_count_.data(), failed_.data(), b, rhs, loads
    switch (kernels_) {
    case LaneKernels::Best: lane_kernels::factorise(TIDAL_ARGUMENTS); break;
    case LaneKernels::Halves: lane_kernels::factorise_lanes<lanes::Split>(TIDAL_ARGUMENTS); break;
    case LaneKernels::Whole: lane_kernels::factorise_lanes<lanes::Whole>(TIDAL_ARGUMENTS); break;
    }
#undef TIDAL_ARGUMENTS
}

void ComplexLaneBand::back_substitute(double* b, int rhs, double* const* out) {
#define TIDAL_ARGUMENTS upper_.data(), n_, upper_terms_.data(), upper_count_.data(), b, rhs, \
                        finite_.data(), out
    switch (kernels_) {
    case LaneKernels::Best: lane_kernels::back_substitute(TIDAL_ARGUMENTS); break;
    case LaneKernels::Halves: lane_kernels::back_substitute_lanes<lanes::Split>(TIDAL_ARGUMENTS); break;
    case LaneKernels::Whole: lane_kernels::back_substitute_lanes<lanes::Whole>(TIDAL_ARGUMENTS); break;
    }
#undef TIDAL_ARGUMENTS
}

std::array<bool, kLanes> ComplexLaneBand::reliable() const {
    std::array<bool, kLanes> out{};
    for (std::size_t lane = 0; lane < out.size(); ++lane)
        out[lane] = finite_[lane] && !failed_[lane];
    return out;
}

std::array<bool, kLanes> ComplexLaneBand::reliable(const double* b, int rhs, int first,
                                                   int count) const {
    std::array<bool, kLanes> out{};
    for (std::size_t lane = 0; lane < out.size(); ++lane)
        out[lane] = !failed_[lane];
    for (int row = 0; row < n_; ++row)
        for (int r = first; r < first + count; ++r)
            for (int part = 0; part < 2; ++part) {
                const double* v = b + index(rhs, row, r, part, 0);
                for (std::size_t lane = 0; lane < out.size(); ++lane)
                    out[lane] = out[lane] && std::abs(v[lane]) <= DBL_MAX;
            }
    return out;
}

} // namespace tidal
