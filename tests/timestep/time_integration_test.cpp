// The batched time integrations against the plain one-viscosity version, which keeps every
// strain column and every dissipation sample, solves with the general band substitution and
// averages the power from the full history. The batched versions keep only what the results
// read and step many viscosities at once; the numbers must agree to the bit.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "body/presets.hpp"
#include "timestep/reference_run.hpp"
#include "timestep/run.hpp"
#include "same_records.hpp"

namespace tidal {
namespace {

class ShortRuns : public ::testing::TestWithParam<int> {};

// Every field; the comparison walks the time record into the period record it holds. Fails
// when the batched path drops a field of its period (tried: the layers' heating left unset in
// LaneBatch::finish, caught as period.layer_heating).
TEST_P(ShortRuns, MatchThePlainPathBitForBit) {
    const int choice = GetParam();
    const ShellModel model = make_shell_model(*preset_body(choice), RunConstants{2.0, 40, 400});
    RunWorkspace ws(model);
    const int k0 = static_cast<int>(20 * preset(choice).body_spec.log10_viscosity_min);
    for (double eta : {sweep_viscosity(k0), sweep_viscosity(k0 + 71), 1e20}) {
        for (const RheologyNames& r : kRheologies) {
            SCOPED_TRACE(r.name);
            expect_same_record(run_one(r.id, model, eta, ws), run_reference(model, eta, r.id));
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Bodies, ShortRuns, ::testing::Values(1, 3, 5, 8));

TEST(ShortRuns, PhaseOfTheMinimumIsAFractionOfThePeriod) {
    // The comparison above must see runs that record a new minimum, or it would only ever
    // compare the carried phase.
    const ShellModel model = make_shell_model(*preset_body(1), RunConstants{2.0, 40, 400});
    RunWorkspace ws(model);
    for (const RheologyNames& rheology : kRheologies) {
        const RunRecords r = run_one(rheology.id, model, 1e10, ws);
        ASSERT_TRUE(r.period.tn.has_value());
        EXPECT_GE(*r.period.tn, 0.0);
        EXPECT_LT(*r.period.tn, 1.0);
        EXPECT_EQ(std::fmod(*r.period.tn * 40, 1.0), 0.0); // a whole number of steps into the period
        EXPECT_LT(r.period.urmin, 0.0);
        EXPECT_GT(r.period.urthmax, 0.0);
    }
}

} // namespace
} // namespace tidal
