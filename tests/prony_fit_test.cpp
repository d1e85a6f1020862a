// Non-negative least squares against its optimality (Karush-Kuhn-Tucker) conditions and
// against the normal equations where no bound is active; the Prony fit of s^(-alpha) against
// the power law on a grid of its own, its convergence in the number of elements, its
// dissipation sign and its invariance under a shift of the band.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <stdexcept>
#include <vector>

#include "linalg/nnls.hpp"
#include "rheology/prony_fit.hpp"

namespace tidal {
namespace {

struct Problem {
    int rows, cols;
    std::vector<double> a, b; // a column by column
    double operator()(int i, int j) const { return a[static_cast<std::size_t>(j) * rows + i]; }
};

Problem random_problem(std::mt19937& gen, int rows, int cols) {
    std::normal_distribution<double> normal;
    Problem p{rows, cols, std::vector<double>(static_cast<std::size_t>(rows) * cols),
              std::vector<double>(rows)};
    for (double& v : p.a)
        v = normal(gen);
    for (double& v : p.b)
        v = normal(gen);
    return p;
}

// A^T (A x - b), the gradient of half the squared residual.
std::vector<double> gradient(const Problem& p, const std::vector<double>& x) {
    std::vector<double> r(p.b);
    for (int j = 0; j < p.cols; ++j)
        for (int i = 0; i < p.rows; ++i)
            r[i] -= p(i, j) * x[j];
    std::vector<double> g(p.cols, 0.0);
    for (int j = 0; j < p.cols; ++j)
        for (int i = 0; i < p.rows; ++i)
            g[j] -= p(i, j) * r[i];
    return g;
}

TEST(Nnls, SatisfiesOptimalityConditions) {
    std::mt19937 gen(14);
    int bound = 0, free = 0;
    for (auto [rows, cols] : {std::pair{20, 5}, {60, 18}, {8, 12}, {200, 40}}) {
        for (int trial = 0; trial < 5; ++trial) {
            Problem p = random_problem(gen, rows, cols);
            if (trial == 0) // an exact copy of a column: the passive set must refuse it
                std::copy_n(p.a.begin(), rows, p.a.begin() + static_cast<std::ptrdiff_t>(rows));
            const NnlsResult r = nnls(p.a, rows, cols, p.b);
            ASSERT_TRUE(r.converged);
            const std::vector<double> g = gradient(p, r.x);
            const double tol = 1e-12; // rounding leaves about 1e-14 here
            for (int j = 0; j < cols; ++j) {
                ASSERT_GE(r.x[j], 0.0);
                if (r.x[j] > 0.0) {
                    EXPECT_NEAR(g[j], 0.0, tol) << rows << "x" << cols << " column " << j;
                    ++free;
                } else {
                    EXPECT_GE(g[j], -tol) << rows << "x" << cols << " column " << j;
                    ++bound;
                }
            }
        }
    }
    EXPECT_GT(bound, 50); // both kinds of condition were exercised
    EXPECT_GT(free, 50);
}

TEST(Nnls, EqualsLeastSquaresWhenNoBoundIsActive) {
    std::mt19937 gen(3);
    const int rows = 30, cols = 6;
    Problem p = random_problem(gen, rows, cols);
    for (int i = 0; i < rows; ++i) { // b = A (1.5, ..., 1.5) + noise: the minimiser is positive
        p.b[i] *= 0.1;
        for (int j = 0; j < cols; ++j)
            p.b[i] += 1.5 * p(i, j);
    }
    // The normal equations A^T A x = A^T b, by Gaussian elimination (well conditioned here).
    std::vector<std::vector<double>> m(cols, std::vector<double>(cols + 1, 0.0));
    for (int r = 0; r < cols; ++r)
        for (int i = 0; i < rows; ++i) {
            for (int c = 0; c < cols; ++c)
                m[r][c] += p(i, r) * p(i, c);
            m[r][cols] += p(i, r) * p.b[i];
        }
    for (int k = 0; k < cols; ++k)
        for (int r = k + 1; r < cols; ++r)
            for (int c = cols; c >= k; --c)
                m[r][c] -= m[r][k] / m[k][k] * m[k][c];
    std::vector<double> x(cols);
    for (int r = cols - 1; r >= 0; --r) {
        double s = m[r][cols];
        for (int c = r + 1; c < cols; ++c)
            s -= m[r][c] * x[c];
        x[r] = s / m[r][r];
    }
    const NnlsResult r = nnls(p.a, rows, cols, p.b);
    for (int j = 0; j < cols; ++j) {
        ASSERT_GT(x[j], 0.5);
        EXPECT_NEAR(r.x[j], x[j], 1e-12);
    }
}

using Complex = std::complex<double>;

// Worst relative error of the series against (i w)^(-alpha) on `per_decade` log-spaced points
// per decade, shifted half a step from the band's ends.
double worst_error_on(const PronySeries& s, double alpha, double per_decade) {
    const double decades = std::log10(s.band_high / s.band_low);
    const int n = static_cast<int>(per_decade * decades);
    double worst = 0.0;
    for (int k = 0; k < n; ++k) {
        const double w = s.band_low * std::pow(10.0, (k + 0.5) * decades / n);
        const Complex exact = std::pow(Complex(0.0, w), -alpha);
        worst = std::max(worst, std::abs(evaluate(s, Complex(0.0, w)) - exact) / std::abs(exact));
    }
    return worst;
}

TEST(PronyFit, ApproximatesThePowerLawWithAPositiveSpectrum) {
    const double low = 2.0e-7, high = low * std::pow(10.0, 4.3);
    for (double alpha : {0.1, 0.3, 0.5, 0.7}) {
        SCOPED_TRACE(alpha);
        const PronySeries s = fit_power_law(alpha, low, high, 16);
        EXPECT_LT(s.worst_error, 1e-3);
        EXPECT_LE(worst_error_on(s, alpha, 173.0), 1.1 * s.worst_error);
        EXPECT_GE(s.spring, 0.0);
        EXPECT_GE(s.dashpot, 0.0);
        ASSERT_EQ(s.weight.size(), s.time.size());
        ASSERT_LE(s.weight.size(), 16u);
        for (std::size_t i = 0; i < s.weight.size(); ++i) {
            EXPECT_GT(s.weight[i], 0.0);
            if (i > 0) {
                EXPECT_GT(s.time[i], s.time[i - 1]);
            }
        }
        // A positive retardation spectrum dissipates: the loss part is negative at every
        // frequency, inside the band and three decades beyond it either side.
        for (double w = low * 1e-3; w < high * 1e3; w *= 1.5)
            EXPECT_LT(evaluate(s, Complex(0.0, w)).imag(), 0.0) << w;
    }
}

TEST(PronyFit, ErrorFallsAsElementsAreAdded) {
    double previous = 1.0;
    for (int elements : {8, 12, 16, 20}) {
        const double error = fit_power_law(0.3, 1.0, std::pow(10.0, 4.3), elements).worst_error;
        EXPECT_LT(error, previous / 4.0) << elements;
        previous = error;
    }
}

TEST(PronyFit, IsScaleFreeInFrequency) {
    const double alpha = 0.3, low = 3.0e-6, high = low * std::pow(10.0, 4.3);
    const PronySeries s = fit_power_law(alpha, low, high, 16);
    const PronySeries t = fit_power_law(alpha, 10.0 * low, 10.0 * high, 16);
    // The coefficients scale exactly but for rounding; the error, a difference of terms of
    // order one, carries their rounding (1e-16) relative to its own size (1e-4 here).
    EXPECT_NEAR(t.worst_error, s.worst_error, 1e-10 * s.worst_error);
    const double f = std::pow(10.0, -alpha); // s^(-alpha) scales by 10^(-alpha)
    const double tol = 1e-14;
    EXPECT_NEAR(t.spring, f * s.spring, tol * f * s.spring);
    EXPECT_NEAR(t.dashpot, 10.0 * f * s.dashpot, tol * 10.0 * f * s.dashpot);
    ASSERT_EQ(t.time.size(), s.time.size());
    for (std::size_t i = 0; i < s.time.size(); ++i) {
        EXPECT_NEAR(t.time[i], s.time[i] / 10.0, tol * s.time[i] / 10.0);
        EXPECT_NEAR(t.weight[i], f * s.weight[i], tol * f * s.weight[i]);
    }
}

TEST(PronyFit, RefusesInvalidArguments) {
    EXPECT_THROW(fit_power_law(0.0, 1.0, 10.0, 8), std::invalid_argument);
    EXPECT_THROW(fit_power_law(1.0, 1.0, 10.0, 8), std::invalid_argument);
    EXPECT_THROW(fit_power_law(0.3, 10.0, 10.0, 8), std::invalid_argument);
    EXPECT_THROW(fit_power_law(0.3, 0.0, 10.0, 8), std::invalid_argument);
    EXPECT_THROW(fit_power_law(0.3, 1.0, 10.0, 0), std::invalid_argument);
}

} // namespace
} // namespace tidal
