// Banded LU against a dense LU with partial pivoting written here, on hand-made and random
// band matrices, real and complex; the repacked three-vector substitution against the plain
// one.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <tuple>
#include <type_traits>
#include <vector>

#include "linalg/band_lu.hpp"
#include "linalg/band_solve_fast.hpp"

namespace tidal {
namespace {

using Complex = std::complex<double>;
template <class T> using DenseOf = std::vector<std::vector<T>>; // row-major, 0-based
using Dense = DenseOf<double>;

// Band storage of a dense matrix (positions outside the matrix zero).
template <class T> std::vector<T> to_band(const DenseOf<T>& A, int m1, int m2) {
    const int n = static_cast<int>(A.size());
    const int mm = m1 + m2 + 1;
    std::vector<T> band(static_cast<std::size_t>(n) * mm, T(0.0));
    auto a = mat1(band, n, mm);
    for (int i = 1; i <= n; ++i)
        for (int c = std::max(1, i - m1); c <= std::min(n, i + m2); ++c)
            a(i, c - i + m1 + 1) = A[i - 1][c - 1];
    return band;
}

// Dense Gaussian elimination with partial pivoting on the modulus.
template <class T> std::vector<T> dense_solve(DenseOf<T> A, std::vector<T> b) {
    const int n = static_cast<int>(A.size());
    for (int k = 0; k < n; ++k) {
        int p = k;
        for (int r = k + 1; r < n; ++r)
            if (std::abs(A[r][k]) > std::abs(A[p][k])) p = r;
        std::swap(A[k], A[p]);
        std::swap(b[k], b[p]);
        for (int r = k + 1; r < n; ++r) {
            const T q = A[r][k] / A[k][k];
            for (int c = k; c < n; ++c)
                A[r][c] -= q * A[k][c];
            b[r] -= q * b[k];
        }
    }
    for (int i = n - 1; i >= 0; --i) {
        T s = b[i];
        for (int c = i + 1; c < n; ++c)
            s -= A[i][c] * b[c];
        b[i] = s / A[i][i];
    }
    return b;
}

template <class T> struct FactorisedOf {
    int n, m1, m2;
    std::vector<T> a, al;
    std::vector<int> indx;
    double d = 0.0;

    FactorisedOf(const DenseOf<T>& A, int m1_, int m2_)
        : n(static_cast<int>(A.size())), m1(m1_), m2(m2_), a(to_band(A, m1_, m2_)),
          al(static_cast<std::size_t>(n) * std::max(m1_, 1), T(0.0)),
          indx(static_cast<std::size_t>(n)) {
        bandecdp(mat1(a, n, m1 + m2 + 1), n, m1, m2, mat1(al, n, std::max(m1, 1)), vec1(indx), d);
    }
    std::vector<T> solve(std::vector<T> b) const {
        banbksdp<T>(mat1(a, n, m1 + m2 + 1), n, m1, m2, mat1(al, n, std::max(m1, 1)), vec1(indx),
                    vec1(b));
        return b;
    }
};
using Factorised = FactorisedOf<double>;

template <class T> T random_value(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    if constexpr (std::is_same_v<T, Complex>) {
        const double re = u(rng);
        return {re, u(rng)};
    } else {
        return u(rng);
    }
}

template <class T = double>
DenseOf<T> random_band(int n, int m1, int m2, std::mt19937_64& rng, bool dominant) {
    DenseOf<T> A(n, std::vector<T>(n, T(0.0)));
    for (int i = 0; i < n; ++i)
        for (int c = std::max(0, i - m1); c <= std::min(n - 1, i + m2); ++c)
            A[i][c] = random_value<T>(rng);
    if (dominant)
        for (int i = 0; i < n; ++i)
            A[i][i] = 20.0 + random_value<T>(rng);
    return A;
}

template <class T> void expect_close(const std::vector<T>& x, const std::vector<T>& y, double tol) {
    ASSERT_EQ(x.size(), y.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        EXPECT_LT(std::abs(x[i] - y[i]), tol) << "entry " << i;
}

// The interchanges and their sign, and the solve against the dense one: a diagonally dominant
// matrix needs none; only the first step interchanges (rows 1 and 3, the largest first-column
// entry), the later pivots dominating; rows 1 and 2 tie in |first column| and the earlier is
// kept (row 2 would win a >= comparison); an order equal to the lower bandwidth (interchanges
// not checked: an empty list).
TEST(BandLu, InterchangesAndSolvesOfSmallMatrices) {
    struct Case {
        Dense A;
        int m1, m2;
        std::vector<int> indx;
        double d, tol;
    };
    std::mt19937_64 rng(1), rng7(7);
    const Case cases[] = {
        {random_band(12, 2, 3, rng, true), 2, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 1.0, 1e-14},
        {{{1, 0, 0, 0, 0}, {0.5, 10, 1, 0, 0}, {5, 1, 10, 1, 0}, {0, 1, 1, 10, 1}, {0, 0, 1, 1, 10}}, 2, 2, {3, 2, 3, 4, 5}, -1.0, 1e-13},
        {{{-2, 1, 0}, {2, 3, 1}, {0, 1, 4}}, 1, 1, {1, 2, 3}, 1.0, 1e-14},
        {random_band(4, 4, 2, rng7, false), 4, 2, {}, 0.0, 1e-12},
    };
    for (const Case& c : cases) {
        const Factorised f(c.A, c.m1, c.m2);
        if (!c.indx.empty()) {
            EXPECT_EQ(std::tuple(f.indx, f.d), std::tuple(c.indx, c.d));
        }
        std::vector<double> b(c.A.size());
        for (std::size_t i = 0; i < b.size(); ++i) b[i] = 1.0 - 0.75 * static_cast<double>(i % 3);
        expect_close(f.solve(b), dense_solve(c.A, b), c.tol);
    }
}

TEST(BandLu, ZeroColumnGetsTinyPivot) {
    const Dense A = {{0, 1, 0}, {0, 2, 1}, {0, 1, 3}};
    Factorised f(A, 1, 1);
    EXPECT_EQ(f.a[0], kTinyPivot); // a(1, 1) after factorisation
    EXPECT_EQ(f.indx[0], 1);
    std::vector<double> b = {1e-20, 0, 0}; // only the singular column is excited
    const auto x = f.solve(b);
    EXPECT_DOUBLE_EQ(x[0], 1.0);
    for (double v : x)
        EXPECT_TRUE(std::isfinite(v));
}

template <class T> class BandLuRandom : public ::testing::Test {};
using Scalars = ::testing::Types<double, Complex>;
TYPED_TEST_SUITE(BandLuRandom, Scalars);

TYPED_TEST(BandLuRandom, Order122WithSeveralRightHandSides) {
    // Real and complex: the same elimination, pivoting on |x| or |re| + |im|.
    using T = TypeParam;
    std::mt19937_64 rng(42);
    for (int trial = 0; trial < 5; ++trial) {
        const DenseOf<T> A = random_band<T>(122, 7, 7, rng, trial % 2 == 0);
        const FactorisedOf<T> f(A, 7, 7);
        bool interchanged = false;
        for (int k = 1; k <= 122; ++k)
            interchanged |= f.indx[k - 1] != k;
        if (trial % 2 == 1) {
            EXPECT_TRUE(interchanged);
        }
        for (int rhs = 0; rhs < 3; ++rhs) {
            std::vector<T> b(122);
            for (T& v : b)
                v = random_value<T>(rng);
            expect_close(f.solve(b), dense_solve(A, b), 1e-9);
        }
    }
}

// Packs one factorised matrix per lane, solves three random right-hand sides per lane with the
// lane substitution and compares every value with the plain substitution's. Returns the number
// of band terms the lane substitution computes per right-hand side.
int expect_lanes_match_plain(const std::vector<Factorised>& lanes, std::mt19937_64& rng,
                             bool by_rows) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    LaneBandFactors<kLanes> packed(122);
    for (int lane = 0; lane < kLanes; ++lane)
        pack_band_factors(mat1(lanes[lane].a, 122, 15), mat1(lanes[lane].al, 122, 7),
                          vec1(lanes[lane].indx), lane, packed);
    finish_lane_factors(packed);
    EXPECT_EQ(packed.by_rows, by_rows);
    int terms = 0;
    for (int k = 0; k < 122; ++k)
        terms += packed.upper_count[k] + packed.lower_count[k];
    std::vector<double> storage(LaneVectors<kLanes>::storage(122)), scratch(storage.size());
    const LaneVectors<kLanes> x(storage.data(), 122);
    std::vector<double> b[kLanes][3];
    for (int lane = 0; lane < kLanes; ++lane)
        for (int r = 0; r < 3; ++r) {
            b[lane][r].resize(122);
            for (int i = 1; i <= 122; ++i)
                x(i, r, lane) = b[lane][r][i - 1] = u(rng);
        }
    solve_lanes(packed, x, LaneVectors<kLanes>(scratch.data(), 122));
    for (int lane = 0; lane < kLanes; ++lane)
        for (int r = 0; r < 3; ++r) {
            const auto expected = lanes[lane].solve(b[lane][r]);
            for (int i = 1; i <= 122; ++i)
                EXPECT_EQ(x(i, r, lane), expected[i - 1]) << lane << ":" << r << ":" << i;
        }
    return terms;
}

TEST(BandLu, LaneSubstitutionIsBitIdenticalToThePlainOne) {
    // Every lane its own matrix, and so its own interchanges: the forward pass goes column by
    // column with the interchanges of each lane.
    std::mt19937_64 rng(5);
    std::vector<Factorised> lanes;
    for (int lane = 0; lane < kLanes; ++lane)
        lanes.emplace_back(random_band(122, 7, 7, rng, lane == 1), 7, 7);
    EXPECT_GT(expect_lanes_match_plain(lanes, rng, false), 2000);
}

TEST(BandLu, LaneSubstitutionRowByRowWithSparseBands) {
    // Lanes that interchange alike, with most band entries zero (as in the shell's matrices):
    // the forward pass goes row by row, and the terms that are zero in every lane are skipped.
    std::mt19937_64 rng(6);
    Dense A = random_band(122, 7, 7, rng, false);
    std::bernoulli_distribution keep(0.3);
    for (int i = 0; i < 122; ++i)
        for (int c = 0; c < 122; ++c)
            if (i != c && !keep(rng)) A[i][c] = 0.0;
    std::vector<Factorised> lanes;
    for (int lane = 0; lane < kLanes; ++lane) {
        Dense scaled = A; // the same pattern, other values: the same interchanges
        for (auto& r : scaled)
            for (double& v : r)
                v *= 1.0 + 1e-9 * lane;
        lanes.emplace_back(scaled, 7, 7);
    }
    bool interchanged = false;
    for (int k = 1; k <= 122; ++k)
        interchanged |= lanes[0].indx[k - 1] != k;
    EXPECT_TRUE(interchanged);
    const int full = 122 * 21 - 7 * 8 - 14 * 15 / 2; // the band, cut off at the last row
    EXPECT_LT(expect_lanes_match_plain(lanes, rng, true), full * 3 / 4);
}

} // namespace
} // namespace tidal
