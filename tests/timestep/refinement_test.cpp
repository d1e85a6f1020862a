// Physics of the general body: the power converges under grid and time-step refinement at the
// orders of the discretisation, and the per-layer inputs reduce to the uniform ones.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "body/presets.hpp"
#include "body/presets.hpp"
#include "timestep/reference_run.hpp"
#include "timestep/run.hpp"
#include "same_records.hpp"

namespace tidal {
namespace {

struct Powers {
    double maxwell, kelvin;
};

// Mean power of Maxwell and Kelvin-Voigt at viscosity eta for `body_spec` with its own numerics.
Powers powers(const Body& body_spec, double eta) {
    RunConstants run;
    run.nperiod = body_spec.steps_per_period;
    run.nsteps = body_spec.periods * body_spec.steps_per_period;
    const ShellModel model = make_shell_model(body_spec, run);
    RunWorkspace ws(model);
    return {run_one(Rheology::Maxwell, model, eta, ws).period.power,
            run_one(Rheology::KelvinVoigt, model, eta, ws).period.power};
}

// Observed order of convergence from three results at refinement ratio 2.
double observed_order(double coarse, double medium, double fine) {
    return std::log2(std::fabs((coarse - medium) / (medium - fine)));
}

// At a fixed time step the difference between grids cancels the time error: the power of both
// rheologies converges at second order in the layer spacing.
TEST(Refinement, GridConvergesAtSecondOrder) {
    Body s = preset(1).body_spec;
    s.steps_per_period = 200;
    std::vector<Powers> p;
    for (int layers : {20, 40, 80}) {
        s.layers = layers;
        p.push_back(powers(s, 1e14));
    }
    EXPECT_NEAR(observed_order(p[0].maxwell, p[1].maxwell, p[2].maxwell), 2.0, 0.2);
    EXPECT_NEAR(observed_order(p[0].kelvin, p[1].kelvin, p[2].kelvin), 2.0, 0.2);
}

// Halving the step: second order for the trapezoidal Maxwell memory, first order for the
// backward-Euler Kelvin-Voigt strain (at a viscosity whose transients have died).
TEST(Refinement, TimeStepConvergesAtTheSchemesOrder) {
    Body s = preset(1).body_spec;
    std::vector<Powers> p;
    for (int steps : {1000, 2000, 4000}) {
        s.steps_per_period = steps;
        p.push_back(powers(s, 1e13));
    }
    EXPECT_NEAR(observed_order(p[0].maxwell, p[1].maxwell, p[2].maxwell), 2.0, 0.15);
    EXPECT_NEAR(observed_order(p[0].kelvin, p[1].kelvin, p[2].kelvin), 1.0, 0.15);
}

void expect_same_runs(const ShellModel& a, double eta_a, const ShellModel& b, double eta_b) {
    RunWorkspace wa(a), wb(b);
    for (const Rheology rheology : {Rheology::Maxwell, Rheology::KelvinVoigt}) {
        const RunRecords x = run_one(rheology, a, eta_a, wa);
        const RunRecords y = run_one(rheology, b, eta_b, wb);
        expect_same_record(x, y, {"eta"});
    }
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

// The fast lane path against the plain one for bodies unlike any preset: two and seven layers,
// layered rigidity and viscosity, the second-order tide on an ice shell, odd step counts.
TEST(Refinement, FastPathMatchesThePlainOneForAnyBody) {
    Body s = preset(1).body_spec;
    s.second_order = true;
    for (int layers : {2, 7}) {
        s.layers = layers;
        s.rigidity.clear();
        s.viscosity_factors.clear();
        for (int l = 0; l < layers; ++l) {
            s.rigidity.push_back(3.3e9 * (1.0 + 0.3 * l));
            s.viscosity_factors.push_back(std::pow(10.0, -l));
        }
        const ShellModel model = make_shell_model(s, RunConstants{2.0, 37, 111});
        RunWorkspace ws(model);
        const std::vector<double> etas = {1e12, 1e14, 1e16};
        const auto maxwell = run_batch<Maxwell>(model, etas, ws, kAllSeries);
        const auto kelvin = run_batch<KelvinVoigt>(model, etas, ws, kAllSeries);
        for (std::size_t i = 0; i < etas.size(); ++i)
            for (const auto& [fast, rheology] :
                 {std::pair{&maxwell[i], Rheology::Maxwell}, {&kelvin[i], Rheology::KelvinVoigt}}) {
                const RunRecords plain = run_reference(model, etas[i], rheology);
                SCOPED_TRACE(testing::Message() << layers << " layers, eta " << etas[i]);
                expect_same_record(*fast, plain);
            }
    }
}

} // namespace
} // namespace tidal
