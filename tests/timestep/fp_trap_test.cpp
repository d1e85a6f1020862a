// The time integrations and the periodic steady states of every preset body with invalid
// operations and division by zero trapped: a NaN or an infinity cannot arise anywhere and be
// hidden by a later operation.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <vector>

#include "body/presets.hpp"
#include "body/presets.hpp"
#include "steady/steady_sweep.hpp"
#include "timestep/reference_run.hpp"
#include "timestep/run.hpp"

namespace tidal {
namespace {

// Traps the two exceptions in this thread while alive.
class TrappedFloatingPoint {
  public:
    TrappedFloatingPoint() {
        std::feclearexcept(FE_ALL_EXCEPT);
        feenableexcept(FE_INVALID | FE_DIVBYZERO);
    }
    ~TrappedFloatingPoint() { fedisableexcept(FE_INVALID | FE_DIVBYZERO); }
};

void expect_finite(const RunRecords& r) {
    EXPECT_TRUE(std::isfinite(r.period.power) && std::isfinite(r.period.urmin) && std::isfinite(r.period.urthmax));
    EXPECT_GT(r.period.power, 0.0);
    for (double v : r.ursurf)
        ASSERT_TRUE(std::isfinite(v));
}

class TrappedRuns : public ::testing::TestWithParam<int> {};

TEST_P(TrappedRuns, NoInvalidOperationOrDivisionByZero) {
    const Body body = *preset_body(GetParam());
    const TrappedFloatingPoint trap;
    const ShellModel model = make_shell_model(body, RunConstants{2.0, 20, 200});
    RunWorkspace ws(model);
    const Body& body_spec = preset(GetParam()).body_spec;
    const int k0 = static_cast<int>(20 * body_spec.log10_viscosity_min);
    const int k1 = static_cast<int>(20 * body_spec.log10_viscosity_max);
    const std::vector<double> etas = {sweep_viscosity(k0), sweep_viscosity((k0 + k1) / 2),
                                      sweep_viscosity(k1)};
    for (const RunRecords& r : run_batch<Maxwell>(model, etas, ws))
        expect_finite(r);
    for (const RunRecords& r : run_batch<KelvinVoigt>(model, etas, ws))
        expect_finite(r);
    expect_finite(run_reference(model, etas[1], Rheology::Maxwell));
    expect_finite(run_reference(model, etas[1], Rheology::KelvinVoigt));
    for (const SteadySweepRow& row : steady_sweep(model, etas, SteadyFlavours::Both))
        for (const SteadyPair* p : {&row[Rheology::Maxwell], &row[Rheology::KelvinVoigt]})
            for (const PeriodRecord* r : {&p->continuous, &*p->discrete}) {
                EXPECT_TRUE(std::isfinite(r->power) && std::isfinite(r->urmin) &&
                            std::isfinite(r->urthmax) && std::isfinite(r->phase_lag_deg));
                EXPECT_GT(r->power, 0.0);
                EXPECT_GT(r->amplitude, 0.0);
            }
}
INSTANTIATE_TEST_SUITE_P(AllBodies, TrappedRuns, ::testing::Range(kFirstChoice, kLastChoice + 1));

} // namespace
} // namespace tidal
