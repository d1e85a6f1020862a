// The complex band factorisation of all lanes against bandecdp / banbksdp lane by lane, to the
// bit: random matrices whose lanes pivot differently, zero pivots, real and imaginary
// entries (a zero ratio in the division), entries small and large enough for the division's
// scaling, and a lane that overflows beside lanes that do not.
#include <gtest/gtest.h>

#include <cfloat>
#include <array>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "linalg/band_lu.hpp"
#include "linalg/complex_band_lanes.hpp"

namespace tidal {
namespace {

using Complex = std::complex<double>;
// More right-hand sides than the back substitution takes together, in two groups (fails when
// a group after the first reads the first group's solutions).
constexpr int kRhs = 7;

// One lane's band (n x 15), its entries drawn by `entry`, inside the matrix only.
template <class Entry> std::vector<Complex> band(int n, Entry entry) {
    std::vector<Complex> a(static_cast<std::size_t>(n) * kBandWidth, Complex(0.0));
    auto m = mat1(a, n, kBandWidth);
    for (int i = 1; i <= n; ++i)
        for (int c = 1; c <= kBandWidth; ++c) {
            const int col = i + c - kBandLower - 1;
            if (col >= 1 && col <= n) m(i, c) = entry(i, col);
        }
    return a;
}

// The same value to the bit; an exact zero may carry either sign (skipped zero products).
bool same_value(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0 || (x == 0.0 && y == 0.0); }

// Every lane's band, for set_lanes.
std::array<const Complex*, kLanes> pointers(const std::vector<std::vector<Complex>>& bands) {
    std::array<const Complex*, kLanes> p{};
    for (int lane = 0; lane < kLanes; ++lane)
        p[static_cast<std::size_t>(lane)] = bands[static_cast<std::size_t>(lane)].data();
    return p;
}

// Solves every lane both ways and compares each part of each solution's bits; returns the
// lanes found unreliable (an infinity or NaN met). With `before`, the lanes are first set
// (set_lanes) to those bands and factorised, and then set to `bands` by set_lanes, as a sweep
// reuses its lanes from one viscosity to the next.
std::vector<bool> lanes_match_scalar(LaneKernels kernels,
                                     const std::vector<std::vector<Complex>>& bands,
                                     const std::vector<std::vector<Complex>>& rhs,
                                     const std::vector<std::vector<Complex>>* before) {
    const int n = static_cast<int>(bands[0].size() / kBandWidth);
    ComplexLaneBand lanes(n);
    lanes.use_kernels(kernels);
    if (before) {
        lanes.set_lanes(pointers(*before));
        lanes.factorise(nullptr, 0);
        lanes.set_lanes(pointers(bands));
    } else {
        for (int lane = 0; lane < kLanes; ++lane)
            lanes.set_lane(lane, mat1(bands[static_cast<std::size_t>(lane)], n, kBandWidth));
    }
    std::vector<double> b(ComplexLaneBand::storage(n, kRhs));
    for (int lane = 0; lane < kLanes; ++lane)
        for (int r = 0; r < kRhs; ++r)
            for (int i = 0; i < n; ++i) {
                const Complex v = rhs[static_cast<std::size_t>(r)][static_cast<std::size_t>(i)] *
                                  static_cast<double>(lane + 1);
                b[ComplexLaneBand::index(kRhs, i, r, 0, lane)] = v.real();
                b[ComplexLaneBand::index(kRhs, i, r, 1, lane)] = v.imag();
            }
    lanes.factorise(b.data(), kRhs);
    lanes.back_substitute(b.data(), kRhs);
    std::vector<bool> nan(kLanes);
    const std::array<bool, kLanes> reliable = lanes.reliable();
    for (int lane = 0; lane < kLanes; ++lane) {
        nan[static_cast<std::size_t>(lane)] = !reliable[static_cast<std::size_t>(lane)];
        if (nan[static_cast<std::size_t>(lane)]) continue;
        std::vector<Complex> a = bands[static_cast<std::size_t>(lane)];
        std::vector<Complex> al(static_cast<std::size_t>(n) * kBandLower);
        std::vector<int> indx(static_cast<std::size_t>(n));
        double d = 0.0;
        bandecdp(mat1(a, n, kBandWidth), n, kBandLower, kBandUpper, mat1(al, n, kBandLower),
                 vec1(indx), d);
        for (int r = 0; r < kRhs; ++r) {
            std::vector<Complex> x = rhs[static_cast<std::size_t>(r)];
            for (Complex& v : x)
                v *= static_cast<double>(lane + 1);
            banbksdp<Complex>(mat1(std::as_const(a), n, kBandWidth), n, kBandLower, kBandUpper,
                              mat1(std::as_const(al), n, kBandLower), vec1(std::as_const(indx)),
                              vec1(x));
            for (int i = 0; i < n; ++i) {
                const Complex y = x[static_cast<std::size_t>(i)];
                EXPECT_TRUE(same_value(y.real(), b[ComplexLaneBand::index(kRhs, i, r, 0, lane)]) &&
                            same_value(y.imag(), b[ComplexLaneBand::index(kRhs, i, r, 1, lane)]))
                    << "lane " << lane << " rhs " << r << " row " << i << ": scalar " << y;
                if (::testing::Test::HasFailure()) return nan;
            }
        }
    }
    return nan;
}

// The same with each kernel: the processor's best, and the halves and the whole vector
// compiled for the baseline (so that both vector types are checked on every machine); all
// must find the same lanes unreliable.
std::vector<bool> expect_lanes_match_scalar(const std::vector<std::vector<Complex>>& bands,
                                            const std::vector<std::vector<Complex>>& rhs,
                                            const std::vector<std::vector<Complex>>* before = nullptr) {
    const std::vector<bool> best = lanes_match_scalar(LaneKernels::Best, bands, rhs, before);
    for (const LaneKernels k : {LaneKernels::Halves, LaneKernels::Whole}) {
        SCOPED_TRACE(k == LaneKernels::Halves ? "halves of four lanes" : "all lanes in one vector");
        EXPECT_EQ(lanes_match_scalar(k, bands, rhs, before), best);
    }
    return best;
}

std::vector<std::vector<Complex>> random_rhs(int n, std::mt19937_64& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<std::vector<Complex>> rhs(kRhs, std::vector<Complex>(static_cast<std::size_t>(n)));
    for (auto& v : rhs)
        for (Complex& x : v)
            x = {u(rng), u(rng)};
    return rhs;
}

TEST(ComplexBandLanes, RandomLanesPivotingDifferentlyMatchTheScalarCode) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int n = 62;
    std::vector<std::vector<Complex>> bands;
    for (int lane = 0; lane < kLanes; ++lane)
        // Lanes 0..3 diagonally dominant (no interchange), the others pivot at random rows.
        bands.push_back(band(n, [&](int i, int c) {
            return Complex(u(rng), u(rng)) + (lane < 4 && i == c ? Complex(30.0, 1.0) : 0.0);
        }));
    EXPECT_EQ(expect_lanes_match_scalar(bands, random_rhs(n, rng)), std::vector<bool>(kLanes, false));
    // The same lanes set again after other full bands were factorised in them, whose fill-in
    // is left behind in the rows (fails when the factorisation reads a slot its row's mask
    // does not hold). Caught: the fill-in of a row not added to its mask.
    std::vector<std::vector<Complex>> other;
    for (int lane = 0; lane < kLanes; ++lane)
        other.push_back(band(n, [&](int, int) { return Complex(u(rng), u(rng)); }));
    EXPECT_EQ(expect_lanes_match_scalar(bands, random_rhs(n, rng), &other), std::vector<bool>(kLanes, false));
}

TEST(ComplexBandLanes, LanesInterchangingTheSameRowsMatch) {
    // Every lane's largest entry of column j sits in row j + 1 (a dominant first
    // sub-diagonal), so that at each step all lanes interchange the same two rows, the
    // interchange done once for every lane; the lanes' other entries differ. Caught: the
    // right-hand sides after the first left out of that common interchange.
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int n = 44;
    std::vector<std::vector<Complex>> bands;
    for (int lane = 0; lane < kLanes; ++lane)
        bands.push_back(band(n, [&](int i, int c) {
            return Complex(u(rng), u(rng)) + (i == c + 1 ? Complex(40.0 + lane, -3.0) : 0.0);
        }));
    const auto nan = expect_lanes_match_scalar(bands, random_rhs(n, rng));
    for (const bool b : nan)
        EXPECT_FALSE(b);
}

TEST(ComplexBandLanes, ZeroPivotsTiesAndPurelyRealOrImaginaryEntriesMatch) {
    // Sparse lanes: entries zero, purely real or purely imaginary (a zero ratio in the
    // division); in lane 5 a zero first column (ties of zeros, then the tiny pivot); in lane 7
    // entries of equal |re| + |im| (ties keep the earlier row).
    std::mt19937_64 rng(11);
    std::uniform_int_distribution<int> kind(0, 3), sign(0, 1);
    std::uniform_real_distribution<double> u(-2.0, 2.0);
    const int n = 40;
    std::vector<std::vector<Complex>> bands;
    for (int lane = 0; lane < kLanes; ++lane)
        bands.push_back(band(n, [&](int i, int c) {
            if (lane == 5 && c == 1) return Complex(0.0);
            if (lane == 7) {
                const double s = sign(rng) ? 1.0 : -1.0;
                return kind(rng) < 2 ? Complex(s, 0.0) : Complex(0.0, s);
            }
            const Complex diagonal = i == c ? Complex(3.0) : Complex(0.0);
            switch (kind(rng)) {
            case 0: return diagonal;
            case 1: return Complex(u(rng), 0.0) + diagonal;
            case 2: return Complex(0.0, u(rng)) + diagonal;
            default: return Complex(u(rng), u(rng)) + diagonal;
            }
        }));
    EXPECT_EQ(expect_lanes_match_scalar(bands, random_rhs(n, rng)), std::vector<bool>(kLanes, false));
}

TEST(ComplexBandLanes, EntriesAtTheEndsOfTheRangeMatchTheScaledDivision) {
    // Magnitudes from 1e-300 to 1e300 (with subnormal products and scaled divisors) and
    // entries near DBL_MAX / 2, where the division halves its operands first.
    std::mt19937_64 rng(13);
    std::uniform_real_distribution<double> u(-1.0, 1.0), e(-300.0, 300.0);
    const int n = 30;
    std::vector<std::vector<Complex>> bands;
    for (int lane = 0; lane < kLanes; ++lane)
        bands.push_back(band(n, [&](int i, int c) {
            if (lane == 3 && i == c) return Complex(0.9 * DBL_MAX, u(rng) * 1e300);
            if (lane == 4 && i == c) return Complex(u(rng) * 1e-200, 1e-310);
            const double s = std::pow(10.0, lane < 2 ? e(rng) : 0.3 * e(rng));
            return Complex(u(rng) * s, u(rng) * s * (lane == 6 ? 1e-17 : 1.0));
        }));
    expect_lanes_match_scalar(bands, random_rhs(n, rng));
}

TEST(ComplexBandLanes, ALaneThatOverflowsIsFoundAndTheOthersStillMatch) {
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int n = 30;
    std::vector<std::vector<Complex>> bands;
    for (int lane = 0; lane < kLanes; ++lane)
        bands.push_back(band(n, [&](int i, int c) {
            // Lane 2: products of entries near DBL_MAX overflow to inf - inf.
            if (lane == 2) return Complex(DBL_MAX * u(rng), DBL_MAX * u(rng));
            // Lane 6: upper triangular (no multipliers) with tiny diagonals, whose factors stay
            // finite while the substitution overflows (fails when only the factorisation's
            // multipliers are checked, not the solutions).
            if (lane == 6) return i == c ? Complex(1e-300, 0.0) : c < i ? Complex(0.0) : Complex(u(rng), u(rng));
            return Complex(u(rng), u(rng)) + (i == c ? Complex(10.0) : Complex(0.0));
        }));
    const auto nan = expect_lanes_match_scalar(bands, random_rhs(n, rng));
    for (int lane = 0; lane < kLanes; ++lane)
        EXPECT_EQ(nan[static_cast<std::size_t>(lane)], lane == 2 || lane == 6) << "lane " << lane;
}

// Loads given to the factorisation (the same in every lane, set row by row as the elimination
// reaches them) and solutions stored by the back substitution straight into each lane's
// vector: the same bits as loads written into every lane of b beforehand and the solutions
// read out of b. Orders below, at and above the elimination's window of 8 rows, lanes that
// pivot differently. Caught: the rows of b filled one short of the window.
TEST(ComplexBandLanes, LoadsSetAsTheEliminationReachesThemAndSolutionsStoredPerLaneAreTheSame) {
    std::mt19937_64 rng(19);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (const int n : {1, 5, 8, 9, 47}) {
        SCOPED_TRACE("order " + std::to_string(n));
        std::vector<std::vector<Complex>> bands;
        for (int lane = 0; lane < kLanes; ++lane)
            bands.push_back(band(n, [&](int i, int c) {
                return Complex(u(rng), u(rng)) + (lane % 2 == 0 && i == c ? Complex(20.0) : 0.0);
            }));
        std::vector<Complex> loads(static_cast<std::size_t>(n) * kRhs); // [row][rhs]
        for (Complex& v : loads)
            v = {u(rng), u(rng)};
        for (const LaneKernels k : {LaneKernels::Best, LaneKernels::Halves, LaneKernels::Whole}) {
            ComplexLaneBand before(n), fused(n);
            before.use_kernels(k);
            fused.use_kernels(k);
            before.set_lanes(pointers(bands));
            fused.set_lanes(pointers(bands));
            std::vector<double> b(ComplexLaneBand::storage(n, kRhs));
            for (int i = 0; i < n; ++i)
                for (int r = 0; r < kRhs; ++r)
                    for (int lane = 0; lane < kLanes; ++lane) {
                        const Complex v = loads[static_cast<std::size_t>(i * kRhs + r)];
                        b[ComplexLaneBand::index(kRhs, i, r, 0, lane)] = v.real();
                        b[ComplexLaneBand::index(kRhs, i, r, 1, lane)] = v.imag();
                    }
            before.factorise(b.data(), kRhs);
            before.back_substitute(b.data(), kRhs);
            // b2 starts as NaN: a row the factorisation did not set from the loads shows.
            std::vector<double> b2(b.size(), std::nan(""));
            // Right-hand sides 1, 2 and 5 stored per lane, the others in b2 only.
            std::vector<std::vector<Complex>> stored(kRhs * kLanes,
                                                     std::vector<Complex>(static_cast<std::size_t>(n), Complex(-7.0)));
            std::vector<double*> out(kRhs * kLanes, nullptr);
            for (const int r : {1, 2, 5})
                for (int lane = 0; lane < kLanes; ++lane)
                    out[static_cast<std::size_t>(r * kLanes + lane)] =
                        reinterpret_cast<double*>(stored[static_cast<std::size_t>(r * kLanes + lane)].data());
            fused.factorise(b2.data(), kRhs, loads.data());
            fused.back_substitute(b2.data(), kRhs, out.data());
            ASSERT_EQ(std::memcmp(b.data(), b2.data(), b.size() * sizeof(double)), 0);
            for (int r = 0; r < kRhs; ++r)
                for (int lane = 0; lane < kLanes; ++lane)
                    for (int i = 0; i < n; ++i) {
                        const Complex got = stored[static_cast<std::size_t>(r * kLanes + lane)][static_cast<std::size_t>(i)];
                        const bool kept = r == 1 || r == 2 || r == 5;
                        const Complex want = kept ? Complex(b[ComplexLaneBand::index(kRhs, i, r, 0, lane)],
                                                            b[ComplexLaneBand::index(kRhs, i, r, 1, lane)])
                                                  : Complex(-7.0);
                        ASSERT_TRUE(same_value(got.real(), want.real()) && same_value(got.imag(), want.imag()))
                            << "rhs " << r << " lane " << lane << " row " << i << ": " << got << " for " << want;
                    }
        }
    }
}

} // namespace
} // namespace tidal
