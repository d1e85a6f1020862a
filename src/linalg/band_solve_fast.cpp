#include "linalg/band_solve_fast.hpp"
#include "linalg/lane_vec.hpp"

#include <algorithm>
#include <utility>

namespace tidal {

namespace {

// Follows the elimination symbolically (which content sits in which row, and which update it
// receives at which step) to find, for every result row, its source row and its updates.
template <int L> void schedule_by_rows(LaneBandFactors<L>& f) {
    const int n = f.n;
    f.by_rows =
        std::all_of(f.common_pivot.begin(), f.common_pivot.end(), [](int p) { return p >= 0; });
    if (!f.by_rows) return;
    std::vector<int> content(static_cast<std::size_t>(n)); // content[row]: original row there
    for (int i = 0; i < n; ++i)
        content[static_cast<std::size_t>(i)] = i;
    std::vector<std::vector<std::pair<int, int>>> updates(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        std::swap(content[static_cast<std::size_t>(k)],
                  content[static_cast<std::size_t>(f.common_pivot[static_cast<std::size_t>(k)])]);
        for (int q = 0; q < f.lower_count[static_cast<std::size_t>(k)]; ++q) {
            const int t = f.lower_terms[static_cast<std::size_t>(k) * kBandLower + q];
            updates[static_cast<std::size_t>(content[static_cast<std::size_t>(k + 1 + t)])]
                .emplace_back(k, k * kBandLower + t);
        }
    }
    f.source.assign(content.begin(), content.end());
    f.update_begin.assign(1, 0);
    f.update_row.clear();
    f.update_multiplier.clear();
    for (int k = 0; k < n; ++k) {
        for (const auto& [row, multiplier] :
             updates[static_cast<std::size_t>(content[static_cast<std::size_t>(k)])]) {
            f.update_row.push_back(row);
            f.update_multiplier.push_back(multiplier);
        }
        f.update_begin.push_back(static_cast<int>(f.update_row.size()));
    }
}

} // namespace

template <int L>
void pack_band_factors(Mat1View<const double> a, Mat1View<const double> al,
                       Vec1View<const int> indx, int lane, LaneBandFactors<L>& out) {
    const int n = out.n;
    for (int i = 1; i <= n; ++i) {
        const std::size_t row = static_cast<std::size_t>(i - 1);
        for (int c = 1; c <= kBandWidth; ++c)
            out.upper[(row * kBandWidth + (c - 1)) * L + lane] = a(i, c);
        for (int t = 1; t <= kBandLower; ++t)
            out.lower[(row * kBandLower + (t - 1)) * L + lane] = al(i, t);
        out.pivot_row[static_cast<std::size_t>(lane) * n + row] = indx(i) - 1;
    }
}

template <int L> void finish_lane_factors(LaneBandFactors<L>& out) {
    const int n = out.n;
    for (int k = 0; k < n; ++k) {
        const int p = out.pivot_row[static_cast<std::size_t>(k)];
        bool common = true;
        for (int other = 1; other < L; ++other)
            common = common && out.pivot_row[static_cast<std::size_t>(other) * n + k] == p;
        out.common_pivot[static_cast<std::size_t>(k)] = common ? p : -1;
    }
    // Terms that reach past the last row are never used: the band is cut off there.
    const auto nonzero = [](const double* lanes) {
        for (int lane = 0; lane < L; ++lane)
            if (lanes[lane] != 0.0) return true;
        return false;
    };
    for (int k = 0; k < n; ++k) {
        const std::size_t row = static_cast<std::size_t>(k);
        int count = 0;
        for (int t = 0; t < std::min(kBandLower, n - 1 - k); ++t)
            if (nonzero(&out.lower[(row * kBandLower + t) * L]))
                out.lower_terms[row * kBandLower + count++] = static_cast<std::uint8_t>(t);
        out.lower_count[row] = static_cast<std::uint8_t>(count);
        count = 0;
        for (int t = 1; t <= std::min(kBandWidth, n - k) - 1; ++t)
            if (nonzero(&out.upper[(row * kBandWidth + t) * L]))
                out.upper_terms[row * (kBandWidth - 1) + count++] = static_cast<std::uint8_t>(t);
        out.upper_count[row] = static_cast<std::uint8_t>(count);
    }
    schedule_by_rows(out);
}

namespace {

constexpr int kRow = kRightHandSides; // values per row and lane

using lanes::kWidth;
using lanes::load;
using lanes::store;
using lanes::Vec;
static_assert(kLanes % kWidth == 0);
// Vectors per row: the three right-hand sides of every group of four lanes. They are
// independent, which keeps several dependency chains in flight in the back pass.
constexpr int kVecs = kRow * kLanes / kWidth;

// Both passes for all lanes; every value is combined exactly as in banbksdp, except that the
// products of factors that are zero in every lane are not subtracted: x - 0*y is x for any
// finite y (the sign of an exactly zero x aside, which reaches no result; the tests compare
// every result file with the plain substitution's to the bit).
[[gnu::always_inline]] inline void solve_kernel(const LaneBandFactors<kLanes>& f, double* b,
                                                double* scratch) {
    constexpr int L = kLanes;
    const int n = f.n;
    const double* lo = f.lower.data();
    const double* up = f.upper.data();
    const auto at = [](double* base, int i) {
        return base + static_cast<std::size_t>(i) * kRow * L;
    };
    const auto row = [&](int i) { return at(b, i); };

    // Forward pass. y: its result.
    const double* y = b;
    if (f.by_rows) {
        // Row by row: each result row is its source row minus its updates, in order.
        for (int k = 0; k < n; ++k) {
            const double* src = row(f.source[static_cast<std::size_t>(k)]);
            Vec acc[kVecs];
            for (int v = 0; v < kVecs; ++v)
                acc[v] = load(src + v * kWidth);
            const int end = f.update_begin[static_cast<std::size_t>(k) + 1];
            for (int q = f.update_begin[static_cast<std::size_t>(k)]; q < end; ++q) {
                const double* yj = at(scratch, f.update_row[static_cast<std::size_t>(q)]);
                const double* m =
                    lo +
                    static_cast<std::size_t>(f.update_multiplier[static_cast<std::size_t>(q)]) * L;
                for (int v = 0; v < kVecs; ++v)
                    acc[v] = acc[v] - load(m + (v * kWidth) % L) * load(yj + v * kWidth);
            }
            double* yk = at(scratch, k);
            for (int v = 0; v < kVecs; ++v)
                store(yk + v * kWidth, acc[v]);
        }
        y = scratch;
    } else {
        // Column by column, in place: interchanges (per lane) and multipliers.
        for (int k = 0; k < n; ++k) {
            const int common = f.common_pivot[static_cast<std::size_t>(k)];
            if (common >= 0) {
                if (common != k)
                    for (int v = 0; v < kVecs; ++v) {
                        const Vec a = load(row(k) + v * kWidth), c = load(row(common) + v * kWidth);
                        store(row(k) + v * kWidth, c);
                        store(row(common) + v * kWidth, a);
                    }
            } else {
                for (int lane = 0; lane < L; ++lane) {
                    const int p = f.pivot_row[static_cast<std::size_t>(lane) * n + k];
                    if (p != k)
                        for (int r = 0; r < kRow; ++r)
                            std::swap(row(k)[r * L + lane], row(p)[r * L + lane]);
                }
            }
            const double* xk = row(k);
            Vec xv[kVecs];
            for (int v = 0; v < kVecs; ++v)
                xv[v] = load(xk + v * kWidth);
            const double* m = lo + static_cast<std::size_t>(k) * kBandLower * L;
            const std::uint8_t* terms = &f.lower_terms[static_cast<std::size_t>(k) * kBandLower];
            const int count = f.lower_count[static_cast<std::size_t>(k)];
            for (int q = 0; q < count; ++q) {
                const int t = terms[q];
                double* xr = row(k + 1 + t);
                for (int v = 0; v < kVecs; ++v) {
                    const Vec mt = load(m + t * L + (v * kWidth) % L);
                    store(xr + v * kWidth, load(xr + v * kWidth) - mt * xv[v]);
                }
            }
        }
    }

    // Back pass: each row subtracts its super-diagonal terms left to right, then divides.
    for (int i = n - 1; i >= 0; --i) {
        const double* u = up + static_cast<std::size_t>(i) * kBandWidth * L;
        const double* yi = y + static_cast<std::size_t>(i) * kRow * L;
        Vec s[kVecs];
        for (int v = 0; v < kVecs; ++v)
            s[v] = load(yi + v * kWidth);
        const std::uint8_t* terms = &f.upper_terms[static_cast<std::size_t>(i) * (kBandWidth - 1)];
        const int count = f.upper_count[static_cast<std::size_t>(i)];
        for (int q = 0; q < count; ++q) {
            const int t = terms[q];
            const double* xt = row(i + t);
            for (int v = 0; v < kVecs; ++v)
                s[v] = s[v] - load(u + t * L + (v * kWidth) % L) * load(xt + v * kWidth);
        }
        double* xi = row(i);
        for (int v = 0; v < kVecs; ++v)
            store(xi + v * kWidth, s[v] / load(u + (v * kWidth) % L));
    }
}

} // namespace

// Wider vectors where the processor has them; the results are the same either way.
template <>
TIDAL_LANE_CLONES void solve_lanes<kLanes>(const LaneBandFactors<kLanes>& f, LaneVectors<kLanes> b,
                                           LaneVectors<kLanes> scratch) {
    solve_kernel(f, b.data(), scratch.data());
}

template void pack_band_factors<kLanes>(Mat1View<const double>, Mat1View<const double>,
                                        Vec1View<const int>, int, LaneBandFactors<kLanes>&);
template void finish_lane_factors<kLanes>(LaneBandFactors<kLanes>&);

} // namespace tidal
