// The batched time integrations against the plain one-viscosity version, which keeps every
// strain column and every dissipation sample, solves with the general band substitution and
// averages the power from the full history. The batched versions keep only what the results
// read and step many viscosities at once; the numbers must agree to the bit.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "body/presets.hpp"
#include "discretisation/assembly.hpp"
#include "linalg/band_lu.hpp"
#include "loads/boundary_loads.hpp"
#include "loads/diagnostics.hpp"
#include "model/forcing.hpp"
#include "timestep/reference_run.hpp"
#include "timestep/run.hpp"
#include "same_records.hpp"

namespace tidal {
namespace {

// Every field, the series only where both runs kept it; the comparison walks the time record
// into the period record it holds. Fails when the batched path drops a field of its period
// (tried: the layers' heating left unset in LaneBatch::finish, caught as period.layer_heating).
void expect_same(const RunRecords& got, const RunRecords& want, bool with_series = true) {
    if (with_series)
        expect_same_record(got, want);
    else
        expect_same_record(got, want, {"ursurf"});
}

class ShortRuns : public ::testing::TestWithParam<int> {};

TEST_P(ShortRuns, MatchThePlainPathBitForBit) {
    const int choice = GetParam();
    const ShellModel model = make_shell_model(*preset_body(choice), RunConstants{2.0, 40, 400});
    RunWorkspace ws(model);
    const int k0 = static_cast<int>(20 * preset(choice).body_spec.log10_viscosity_min);
    for (double eta : {sweep_viscosity(k0), sweep_viscosity(k0 + 71), 1e20}) {
        for (const RheologyNames& r : kRheologies) {
            SCOPED_TRACE(r.name);
            expect_same(run_one(r.id, model, eta, ws), run_reference(model, eta, r.id));
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Bodies, ShortRuns, ::testing::Values(1, 3, 5, 8));

// Whole runs of one batch whose viscosities span the sweep, so that the lanes pivot
// differently; only the last run of the batch keeps its series, as in a sweep.
class FullRuns : public ::testing::TestWithParam<int> {};

TEST_P(FullRuns, BatchMatchesThePlainVersionBitForBit) {
    const ShellModel model = make_shell_model(*preset_body(GetParam()));
    RunWorkspace ws(model);
    const Body& body_spec = preset(GetParam()).body_spec;
    const int k0 = static_cast<int>(20 * body_spec.log10_viscosity_min);
    const int k1 = static_cast<int>(20 * body_spec.log10_viscosity_max);
    const std::vector<double> etas = {sweep_viscosity(k0), sweep_viscosity((k0 + k1) / 2),
                                      sweep_viscosity(k1)};
    for (const RheologyNames& r : kRheologies) {
        SCOPED_TRACE(r.name);
        const std::vector<RunRecords> got =
            run_batch(r.id, model, etas, ws, 1u << (etas.size() - 1));
        ASSERT_EQ(got.size(), etas.size());
        for (std::size_t i = 0; i < etas.size(); ++i) {
            SCOPED_TRACE(etas[i]);
            const bool last = i + 1 == etas.size();
            EXPECT_EQ(got[i].ursurf.empty(), !last);
            expect_same(got[i], run_reference(model, etas[i], r.id), last);
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Bodies, FullRuns, ::testing::Values(1, 8));

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

TEST(Forcing, FirstStepOfChoiceOne) {
    const ShellModel model = make_shell_model(*preset_body(1));
    const double dt = time_step(model);
    EXPECT_NEAR(dt, 59.1934176, 1e-7);
    const TidalForcing forcing(model, dt);
    const StepForcing f = forcing.at(1);
    EXPECT_NEAR(f.amp_order0, -1551.690, 5e-4);
    EXPECT_NEAR(f.amp_cosine, 1900.425, 5e-4);
    EXPECT_NEAR(f.amp_sine, -7.960507, 5e-7);
    std::vector<double> b0(122), bnc(122), bc(122);
    forcing.load(1, vec1(b0), vec1(bnc), vec1(bc));
    EXPECT_NEAR(b0[6], 0.02216709, 5e-9);
    EXPECT_NEAR(bnc[6], -0.02714903, 5e-9);
    EXPECT_NEAR(bc[6], 0.0001137220, 5e-11);
}

} // namespace
} // namespace tidal
