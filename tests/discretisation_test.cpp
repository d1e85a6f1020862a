// Grid, coupling coefficients and the three system matrices. The matrices are checked by
// applying them to random vectors and comparing with the difference forms the rows stand for
// (which catches a wrong value, column or sign of any entry), and at the quoted values.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <vector>

#include "body/make_body.hpp"
#include "body/presets.hpp"
#include "discretisation/assembly.hpp"
#include "discretisation/coefficients.hpp"
#include "discretisation/grid.hpp"
#include "timestep/shell_model.hpp"

namespace tidal {
namespace {

// The static elastic matrix, beside the rheologies.
constexpr std::optional<Rheology> kElastic;

TEST(CouplingCoefficients, DegreeTwoValues) {
    const double expected[40] = {
        1.4142135623730950,   -1.4142135623730950,  -1.7320508075688773,  -6.9282032302755092,
        -1.1547005383792515,  -2.3094010767585031,  -0.63245553203367587, -1.8973665961010276,
        0.96609178307929590,  -0.96609178307929590, -0.33806170189140663, -1.3522468075656265,
        1.2649110640673517,   -2.5298221281347035,  1.5118578920369089,   -4.5355736761107267,
        -0.36514837167011074, -1.0954451150103322,  0.57735026918962576,  0.0,
        -0.48304589153964795, -1.4491376746189439,  -0.31622776601683793, 0.31622776601683793,
        -0.63245553203367587, -2.5298221281347035,  0.44721359549995794,  -0.89442719099991588,
        0.16903085094570332,  -0.33806170189140663, -0.75592894601845445, -3.7796447300922723,
        -0.36514837167011074, 0.57735026918962576,  -0.48304589153964795, 0.44721359549995794,
        0.16903085094570332,  -0.75592894601845445, 0.31622776601683793,  -0.63245553203367587};
    const std::vector<double> K = coupling_coefficients(2.0);
    ASSERT_EQ(K.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        // Within one unit in the last place of the exact value.
        const double ulp =
            std::nextafter(std::fabs(expected[i]), INFINITY) - std::fabs(expected[i]);
        EXPECT_NEAR(K[i], expected[i], ulp) << "K" << i + 1;
    }
}

TEST(CouplingCoefficients, DegreeOneZeroesTheFactorsJMinusOne) {
    const std::vector<double> K = coupling_coefficients(1.0);
    for (int i : {2, 5, 6, 7, 8, 10, 19, 20, 23, 24, 34, 39})
        EXPECT_EQ(K[i - 1], 0.0) << "K" << i;
    for (int i : {1, 3, 4, 9, 11, 13, 15, 17, 21, 25, 27, 29, 31, 33, 35, 36, 37, 38, 40})
        EXPECT_NE(K[i - 1], 0.0) << "K" << i;
}

class Assembly : public ::testing::Test {
  protected:
    Assembly() : model(make_shell_model(*preset_body(1))), in(model.assembly_inputs()) {
        dt = time_step(model);
    }
    // The matrix of a rheology, or (no rheology) the static elastic one.
    std::vector<double> assemble(std::optional<Rheology> rh, double eta_value) {
        std::vector<double> eta(20, eta_value);
        std::vector<double> a(122 * 15, 99.0); // stale content must be cleared
        if (rh)
            assemble_system<double>(mat1(a, 122, 15), *rh, in, vec1(std::as_const(eta)), dt);
        else
            assemble_a(mat1(a, 122, 15), in);
        return a;
    }

    // Applies the band matrix to x (0-based full vectors); `scale` gets the sum of the
    // magnitudes of each row's terms, the yardstick for rounding.
    static std::vector<double> apply(const std::vector<double>& band, const std::vector<double>& x,
                                     std::vector<double>& scale) {
        const auto a = mat1(band, 122, 15);
        std::vector<double> y(122, 0.0);
        scale.assign(122, 0.0);
        for (int i = 1; i <= 122; ++i)
            for (int c = 1; c <= 15; ++c) {
                const int col = i + c - 8;
                if (col >= 1 && col <= 122) {
                    y[i - 1] += a(i, c) * x[col - 1];
                    scale[i - 1] += std::fabs(a(i, c) * x[col - 1]);
                } else {
                    EXPECT_EQ(a(i, c), 0.0) << "outside position " << i << "," << c;
                }
            }
        return y;
    }

    // The rows written as difference forms of the unknowns (1-based row numbers).
    std::vector<double> forms(std::optional<Rheology> rh, double eta,
                              const std::vector<double>& xv) const {
        const auto x = vec1(xv);
        const auto K = vec1(model.K);
        const auto& g = model.grid;
        const double j = 2.0;
        const double s1 = std::sqrt(j / (2 * j + 1)), s2 = std::sqrt((j + 1) / (2 * j + 1));
        const auto ujm1 = [&](int k) { return x(6 * k - 5); };
        const auto ujp1 = [&](int k) { return x(6 * k - 4); };
        const auto tjm2 = [&](int l) { return x(6 * l - 3); };
        const auto tjj = [&](int l) { return x(6 * l - 2); };
        const auto pres = [&](int l) { return x(6 * l - 1); };
        const auto tjp2 = [&](int l) { return x(6 * l); };
        std::vector<double> y(122);
        auto row = [&](int i) -> double& { return y[i - 1]; };
        for (int l = 1; l <= 20; ++l) {
            const double H = g.rhat[l - 1], T = g.rtilde[l - 1];
            double M = g.mu[l - 1], stress = 1.0;
            if (rh == Rheology::Maxwell) stress = 1.0 + dt * M / (2.0 * eta);
            if (rh == Rheology::KelvinVoigt) M += eta / dt;
            const auto D = [&](auto f) { return f(l + 1) - f(l); };
            const auto S = [&](auto f) { return f(l) + f(l + 1); };
            row(6 * l - 3) =
                H * (K(1) * D(ujm1) + K(3) * D(ujp1)) + T * (K(2) * S(ujm1) + K(4) * S(ujp1));
            row(6 * l - 2) = stress * tjm2(l) + M * (K(5) * D(ujm1) / T + K(6) * S(ujm1) / H);
            row(6 * l - 1) = stress * tjj(l) + M * (K(9) * D(ujm1) / T + K(10) * S(ujm1) / H +
                                                    K(11) * D(ujp1) / T + K(12) * S(ujp1) / H);
            row(6 * l) = stress * tjp2(l) + M * (K(15) * D(ujp1) / T + K(16) * S(ujp1) / H);
            if (l == 20) continue;
            const double Hd = g.rhatd[l - 1], Td = g.rtilded[l - 1];
            const double scale = rh == kElastic ? 1.0 : Hd * Td;
            const auto Dn = [&](auto f) { return f(l + 1) - f(l); };
            const auto Sn = [&](auto f) { return f(l) + f(l + 1); };
            row(6 * l + 1) = (Hd * (K(19) * Dn(tjm2) + K(21) * Dn(tjj) + K(17) * Dn(pres)) +
                              Td * (K(20) * Sn(tjm2) + K(22) * Sn(tjj) + K(18) * Sn(pres))) /
                             scale;
            row(6 * l + 2) = (Hd * (K(29) * Dn(tjj) + K(27) * Dn(pres) + K(31) * Dn(tjp2)) +
                              Td * (K(30) * Sn(tjj) + K(28) * Sn(pres) + K(32) * Sn(tjp2))) /
                             scale;
        }
        const auto ur = [&](int k) { return s1 * ujm1(k) - s2 * ujp1(k); };
        const double Go = 925.0 * 0.11, Gi = 82.0 * 0.13;
        const double ur_o = (ur(1) + ur(2)) / 2, ur_i = (ur(20) + ur(21)) / 2;
        row(1) = K(34) * tjm2(1) + K(35) * tjj(1) + K(33) * pres(1) + Go * s1 * ur_o;
        row(2) = K(37) * tjj(1) + K(36) * pres(1) + K(38) * tjp2(1) - Go * s2 * ur_o;
        row(121) = K(34) * tjm2(20) + K(35) * tjj(20) + K(33) * pres(20) - Gi * s1 * ur_i;
        row(122) = K(37) * tjj(20) + K(36) * pres(20) + K(38) * tjp2(20) + Gi * s2 * ur_i;
        return y;
    }

    ShellModel model;
    AssemblyInputs in;
    double dt = 0.0;
};

TEST_F(Assembly, EveryRowMatchesItsDifferenceForm) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (const std::optional<Rheology> rh :
         {kElastic, std::optional(Rheology::Maxwell), std::optional(Rheology::KelvinVoigt)}) {
        for (double eta : {1e10, 1e16}) {
            const auto band = assemble(rh, eta);
            // Probe each unknown kind separately so that small terms are not swamped.
            for (int kind = 0; kind < 6; ++kind) {
                std::vector<double> x(122, 0.0);
                for (int i = kind; i < 122; i += 6)
                    x[i] = u(rng);
                std::vector<double> scale;
                const auto got = apply(band, x, scale);
                const auto want = forms(rh, eta, x);
                for (int i = 0; i < 122; ++i)
                    EXPECT_NEAR(got[i], want[i], 1e-13 * scale[i] + 1e-300)
                        << "rheology " << (rh ? static_cast<int>(*rh) : -1) << " row " << i + 1
                        << " kind " << kind;
            }
        }
    }
}

TEST_F(Assembly, BoundaryRowsOfChoiceOne) {
    const auto band = assemble(kElastic, 0.0);
    const auto a = mat1(band, 122, 15);
    EXPECT_NEAR(a(1, 8), 20.35, 1e-12);
    EXPECT_NEAR(a(1, 14), 20.35, 1e-12);
    EXPECT_NEAR(a(1, 9), -24.9236, 1e-4);
    EXPECT_NEAR(a(1, 15), -24.9236, 1e-4);
    EXPECT_NEAR(a(2, 7), -24.9236, 1e-4);
    EXPECT_NEAR(a(2, 8), 30.525, 1e-12);
    EXPECT_NEAR(a(2, 14), 30.525, 1e-12);
    EXPECT_NEAR(a(121, 2), -2.132, 1e-12);
    EXPECT_NEAR(a(121, 3), 2.61116, 1e-5);
    EXPECT_NEAR(a(122, 1), 2.61116, 1e-5);
    EXPECT_NEAR(a(122, 2), -3.198, 1e-12);
    EXPECT_NEAR(a(122, 8), -3.198, 1e-12);
    // Positions that stay empty.
    for (int c : {1, 2, 3, 4, 5, 6, 7, 13})
        EXPECT_EQ(a(1, c), 0.0) << c;
    for (int c : {1, 2, 3, 4, 5, 6, 9, 15})
        EXPECT_EQ(a(2, c), 0.0) << c;
    for (int c : {1, 7, 10, 11, 12, 13, 14, 15})
        EXPECT_EQ(a(121, c), 0.0) << c;
    for (int c : {3, 9, 10, 11, 12, 13, 14, 15})
        EXPECT_EQ(a(122, c), 0.0) << c;
    // K20 = 0: the first equilibrium row holds -K19*Hd and K19*Hd.
    const auto K = vec1(model.K);
    EXPECT_EQ(a(7, 4), -K(19) * model.grid.rhatd[0]);
    EXPECT_EQ(a(7, 10), K(19) * model.grid.rhatd[0]);
}

TEST_F(Assembly, StressCoefficientsOfTheThreeRheologies) {
    const auto elastic = assemble(kElastic, 0.0);
    const auto kelvin = assemble(Rheology::KelvinVoigt, 1e10);
    const auto maxwell = assemble(Rheology::Maxwell, 1e10);
    const auto stiff = assemble(Rheology::Maxwell, 1e22);
    for (int l = 1; l <= 20; ++l) {
        for (auto [row, col] : {std::pair{6 * l - 2, 7}, {6 * l - 1, 7}, {6 * l, 8}}) {
            EXPECT_EQ(mat1(elastic, 122, 15)(row, col), 1.0);
            EXPECT_EQ(mat1(kelvin, 122, 15)(row, col), 1.0);
            EXPECT_NEAR(mat1(maxwell, 122, 15)(row, col), 10.766913904, 1e-9);
            EXPECT_NEAR(mat1(stiff, 122, 15)(row, col), 1.0, 1e-10);
        }
    }
}

TEST_F(Assembly, ReassemblyIsBitIdentical) {
    const auto first = assemble(Rheology::Maxwell, 3e15);
    (void)assemble(Rheology::KelvinVoigt, 1e12);
    EXPECT_EQ(assemble(Rheology::Maxwell, 3e15), first);
}

} // namespace
} // namespace tidal
