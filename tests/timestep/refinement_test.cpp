// The per-layer inputs of the general body reduce to the uniform ones. (The orders of the grid
// and of the time schemes: LoveNumbers.FluidLimitOfPresetShells, SolidSphere and
// DiscreteSteadyState; the lanes against the plain path for bodies unlike the presets:
// LayerRheology and DensityJump.)
#include <gtest/gtest.h>

#include <vector>

#include "body/presets.hpp"
#include "timestep/reference_run.hpp"
#include "timestep/run.hpp"
#include "same_records.hpp"

namespace tidal {
namespace {

void expect_same_runs(const ShellModel& a, double eta_a, const ShellModel& b, double eta_b) {
    RunWorkspace wa(a), wb(b);
    for (const Rheology rheology : {Rheology::Maxwell, Rheology::KelvinVoigt})
        expect_same_record(run_one(rheology, a, eta_a, wa), run_one(rheology, b, eta_b, wb), {"eta"});
}

ShellModel short_model(const Body& s) {
    return make_shell_model(s, RunConstants{2.0, 100, 300});
}

// Layer viscosities of c times eta everywhere are the sweep's viscosity c*eta; a profile of
// equal rigidities is the single rigidity.
TEST(Refinement, UniformLayerInputsEqualTheScalarOnes) {
    Body uniform = preset(1).body_spec;
    Body scaled = uniform;
    scaled.viscosity_factors.assign(20, 10.0);
    expect_same_runs(short_model(scaled), 1e13, short_model(uniform), 1e14);
    Body profile = uniform;
    profile.rigidity.assign(20, 3.3e9);
    expect_same_runs(short_model(profile), 1e15, short_model(uniform), 1e15);
}

} // namespace
} // namespace tidal
