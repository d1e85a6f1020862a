// Coupling coefficients and the three system matrices: the coefficients to the last place,
// the matrices' stress coefficients and a bit-identical reassembly. (Their rows as a whole,
// the boundary rows among them, are checked by what they give: second-order convergence under
// grid refinement, the fluid limits, and body 1 against the independent results.)
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "body/presets.hpp"
#include "discretisation/assembly.hpp"
#include "discretisation/coefficients.hpp"
#include "discretisation/grid.hpp"
#include "model/shell_model.hpp"

namespace tidal {
namespace {

// The static elastic matrix, beside the rheologies.
constexpr std::optional<Rheology> kElastic;

// The coefficients that no row of the system, no load and no map reads.
bool unused(int k) {
    for (int u : {7, 8, 13, 14, 23, 24, 25, 26, 39, 40})
        if (k == u) return true;
    return false;
}

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
        if (unused(i + 1)) {
            EXPECT_TRUE(std::isnan(K[i])) << "K" << i + 1 << " is used by no row";
            continue;
        }
        // Within one unit in the last place of the exact value.
        const double ulp =
            std::nextafter(std::fabs(expected[i]), INFINITY) - std::fabs(expected[i]);
        EXPECT_NEAR(K[i], expected[i], ulp) << "K" << i + 1;
    }
}

TEST(CouplingCoefficients, DegreeOneZeroesTheFactorsJMinusOne) {
    const std::vector<double> K = coupling_coefficients(1.0);
    for (int i : {2, 5, 6, 10, 19, 20, 34})
        EXPECT_EQ(K[i - 1], 0.0) << "K" << i;
    for (int i : {1, 3, 4, 9, 11, 15, 17, 21, 27, 29, 31, 33, 35, 36, 37, 38})
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

    ShellModel model;
    AssemblyInputs in;
    double dt = 0.0;
};

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
