// Boundary load vectors, radial displacement and the dissipated power.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "discretisation/grid.hpp"
#include "loads/boundary_loads.hpp"
#include "loads/diagnostics.hpp"

namespace tidal {
namespace {

TEST(BoundaryLoads, LoadOnlyTheirNodeAndClearTheRest) {
    std::vector<double> b(122, 7.0);
    zadanislapovehopotencialu(20, 2.0, vec1(b), 1.0);
    EXPECT_DOUBLE_EQ(b[120], -0.63245553203367587);
    EXPECT_DOUBLE_EQ(b[121], 0.77459666924148338);
    for (int i = 0; i < 120; ++i)
        EXPECT_EQ(b[i], 0.0) << i;

    std::fill(b.begin(), b.end(), 7.0);
    zadanisily(20, 2.0, vec1(b), 1.0);
    EXPECT_DOUBLE_EQ(b[0], -0.63245553203367587);
    EXPECT_DOUBLE_EQ(b[1], 0.77459666924148338);
    for (int i = 2; i < 122; ++i)
        EXPECT_EQ(b[i], 0.0) << i;

    zadanisily(20, 2.0, vec1(b), 0.0);
    for (double v : b)
        EXPECT_EQ(v, 0.0);
}

TEST(BoundaryLoads, RadialDisplacementOfALoadedNodeIsMinusTheAmplitude) {
    std::vector<double> b(122), ur(21);
    for (double A : {1.0, -3.5, 1e4}) {
        zadanisily(20, 2.0, vec1(b), A);
        vypocitejur(20, 2.0, vec1(std::as_const(b)), vec1(ur));
        EXPECT_NEAR(ur[0], -A, 1e-15 * std::fabs(A));
        for (int i = 1; i < 21; ++i)
            EXPECT_EQ(ur[i], 0.0);

        zadanislapovehopotencialu(20, 2.0, vec1(b), A);
        vypocitejur(20, 2.0, vec1(std::as_const(b)), vec1(ur));
        EXPECT_NEAR(ur[20], -A, 1e-15 * std::fabs(A));
    }
}

TEST(Diagnostics, RadialDisplacementCombinesTheNodePair) {
    const DegreeFactors f = degree_factors(2.0);
    std::vector<double> x(122, 0.0), ur(21);
    for (int i = 1; i <= 21; ++i) {
        x[6 * i - 6] = f.s1 * i;
        x[6 * i - 5] = -f.s2 * i;
        if (i <= 20) x[6 * i - 3] = 1e6; // stress unknowns do not enter
    }
    vypocitejur(20, 2.0, vec1(std::as_const(x)), vec1(ur));
    for (int i = 1; i <= 21; ++i)
        EXPECT_NEAR(ur[i - 1], i, 1e-14 * i);
}

class Power : public ::testing::Test {
  protected:
    static constexpr int N = 20, m = 2000;
    Power() : grid(make_radial_grid(N, 252100.0, 226100.0, std::vector<double>(N, 3.3e9))) {}
    double power(const std::vector<double>& window, double eta) {
        std::vector<double> layer(N);
        return vypocitejpcelk(
            N, m, mat1(window, N, m + 1), dt,
            [&](int, double integral) { return integral / 2.0 / eta; },
            grid, vec1(layer));
    }
    RadialGrid grid;
    double dt = 59.19341759999999;
};

TEST_F(Power, ConstantSamplesGiveTheShellVolumeIntegral) {
    // Constant c: each layer integrates to m*dt*c; averaged over the period m*dt and divided
    // by 2 eta, times the trapezoidal radial integral of rho^2 over the mid-points.
    const double c = 3.0, eta = 2e14;
    const double h = 26000.0 / 19.0;
    const double radial =
        (std::pow(252100.0, 3) - std::pow(226100.0, 3)) / 3.0 + 26000.0 * h * h / 6.0;
    EXPECT_NEAR(power(std::vector<double>(N * (m + 1), c), eta), c / (2 * eta) * radial,
                1e-12 * c / (2 * eta) * radial);
}

} // namespace
} // namespace tidal
