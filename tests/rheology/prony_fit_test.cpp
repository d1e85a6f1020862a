// Non-negative least squares against its optimality (Karush-Kuhn-Tucker) conditions on
// random, degenerate and nearly singular problems, and at its iteration cap. The Prony fit of
// s^(-alpha) against the power law on a grid of its own, its convergence in the number of
// elements, its dissipation sign and its invariance under a shift of the band.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>
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

// Positive entries make the columns correlated, so that the unconstrained solutions on the
// passive sets often have negative entries and the method must step back to feasibility.
Problem random_problem(std::mt19937& gen, int rows, int cols) {
    std::uniform_real_distribution<double> uniform;
    std::normal_distribution<double> normal;
    Problem p{rows, cols, std::vector<double>(static_cast<std::size_t>(rows) * cols),
              std::vector<double>(rows)};
    for (double& v : p.a)
        v = uniform(gen);
    for (double& v : p.b)
        v = normal(gen) + 1.0;
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

// Relaxation kernels 1/(1 + (x t)^2) at 40 log-spaced times over 6 decades, sampled at 100
// points over 4: condition number near 1e17, where rounding decides which columns may enter.
Problem kernel_problem() {
    Problem p{100, 40, std::vector<double>(100 * 40), std::vector<double>(100)};
    for (int i = 0; i < p.rows; ++i) {
        const double x = std::pow(10.0, -2.0 + 4.0 * i / (p.rows - 1));
        p.b[i] = std::pow(x, -0.3) - 0.5;
        for (int j = 0; j < p.cols; ++j) {
            const double xt = x * std::pow(10.0, -3.0 + 6.0 * j / (p.cols - 1));
            p.a[static_cast<std::size_t>(j) * p.rows + i] = 1.0 / (1.0 + xt * xt);
        }
    }
    return p;
}

// x >= 0, A^T (A x - b) = 0 where x > 0 and >= 0 where x = 0 characterise the minimiser.
TEST(Nnls, SatisfiesOptimalityConditions) {
    std::mt19937 gen(14);
    std::vector<Problem> problems{kernel_problem()};
    for (auto [rows, cols] : {std::pair{20, 5}, {60, 18}, {8, 12}, {200, 40}})
        for (int trial = 0; trial < 5; ++trial) {
            problems.push_back(random_problem(gen, rows, cols));
            if (trial == 0) // an exact copy of a column: the passive set must refuse it
                std::copy_n(problems.back().a.begin(), rows, problems.back().a.begin() + rows);
        }
    // b = A (1.5, ..., 1.5) + small noise: the unconstrained minimiser is positive, so the
    // result must be it (all x > 0 with zero gradient, the normal equations).
    Problem& unbound = problems.emplace_back(random_problem(gen, 30, 6));
    for (int i = 0; i < 30; ++i) {
        unbound.b[i] *= 0.1;
        for (int j = 0; j < 6; ++j)
            unbound.b[i] += 1.5 * unbound(i, j);
    }
    int bound = 0, free = 0;
    for (const Problem& p : problems) {
        const NnlsResult r = nnls(p.a, p.rows, p.cols, p.b);
        ASSERT_TRUE(r.converged);
        if (&p == &problems.back()) {
            EXPECT_TRUE(std::all_of(r.x.begin(), r.x.end(), [](double v) { return v > 0.5; }));
        }
        const std::vector<double> g = gradient(p, r.x);
        const double tol = 1e-12; // rounding leaves about 1e-14 here
        for (int j = 0; j < p.cols; ++j) {
            ASSERT_GE(r.x[j], 0.0);
            if (r.x[j] > 0.0) {
                EXPECT_NEAR(g[j], 0.0, tol) << p.rows << "x" << p.cols << " column " << j;
                ++free;
            } else {
                EXPECT_GE(g[j], -tol) << p.rows << "x" << p.cols << " column " << j;
                ++bound;
            }
        }
    }
    EXPECT_GT(bound, 50); // both kinds of condition were exercised
    EXPECT_GT(free, 50);
}

TEST(Nnls, StopsAtTheIterationCapWithAFeasibleIterate) {
    std::mt19937 gen(5);
    const Problem p = random_problem(gen, 60, 18);
    const NnlsResult r = nnls(p.a, 60, 18, p.b, 2);
    EXPECT_FALSE(r.converged);
    EXPECT_EQ(r.iterations, 2);
    EXPECT_LE(std::count_if(r.x.begin(), r.x.end(), [](double v) { return v != 0.0; }), 2);
    EXPECT_TRUE(std::all_of(r.x.begin(), r.x.end(), [](double v) { return v >= 0.0; }));
    // Better than x = 0 (residual |b|), worse than the converged solution.
    const double b_norm = std::sqrt(std::inner_product(p.b.begin(), p.b.end(), p.b.begin(), 0.0));
    EXPECT_LT(r.residual_norm, 0.9 * b_norm);
    EXPECT_GT(r.residual_norm, nnls(p.a, 60, 18, p.b).residual_norm);
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
    EXPECT_THROW(fit_power_law(1.0, 1.0, 10.0, 8), std::invalid_argument);
    EXPECT_THROW(fit_power_law(0.3, 10.0, 10.0, 8), std::invalid_argument);
    EXPECT_THROW(fit_power_law(0.3, 1.0, 10.0, 0), std::invalid_argument);
    EXPECT_THROW(fit_power_law(0.3, 1e-16, 1e15, 8), std::invalid_argument); // 31 decades
}

} // namespace
} // namespace tidal
