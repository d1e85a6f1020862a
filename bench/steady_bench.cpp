// Speed of the periodic steady state beside the time integration it replaces or checks: the
// whole steady sweep of body 1 (241 viscosities, Maxwell and Kelvin-Voigt; the model built inside the
// loop, as a program run would), and the cost per viscosity of the steady state and of a time
// integration batch of the same body.
#include <benchmark/benchmark.h>

#include <vector>

#include "body/presets.hpp"
#include "steady/steady_sweep.hpp"
#include "timestep/run.hpp"

namespace {

using namespace tidal;

// The preset's sweep: 10^(k/20) Pa s from 1e10 to 1e22.
std::vector<double> sweep_of_body1() {
    std::vector<double> etas;
    for (int k = 200; k <= 440; ++k)
        etas.push_back(sweep_viscosity(k));
    return etas;
}

// Arg 0: continuous flavour only (the steady method); 1: both flavours (beside a time sweep).
void BM_SteadySweepBody1(benchmark::State& state) {
    const Body body = *preset_body(1);
    const std::vector<double> etas = sweep_of_body1();
    const SteadyFlavours flavours =
        state.range(0) == 1 ? SteadyFlavours::Both : SteadyFlavours::Continuous;
    for (auto _ : state) {
        const ShellModel model = make_shell_model(body);
        benchmark::DoNotOptimize(
            steady_sweep(model, etas, flavours).back()[Rheology::Maxwell].continuous.power);
    }
    state.SetLabel(state.range(0) == 1 ? "241 viscosities, continuous + discrete"
                                       : "241 viscosities, continuous");
    state.counters["viscosities/s"] =
        benchmark::Counter(double(etas.size()) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SteadySweepBody1)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Per viscosity, Maxwell and Kelvin-Voigt: the steady state (arg 0: continuous, 1: both flavours), the
// body's solver and reduction set up once ...
void BM_SteadyPerViscosity(benchmark::State& state) {
    const ShellModel model = make_shell_model(*preset_body(1));
    SteadyEngine engine(model);
    const std::vector<double> layer_eta(static_cast<std::size_t>(model.body.layers), 1e14);
    const bool both = state.range(0) == 1;
    for (auto _ : state)
        for (const Rheology rheology : {Rheology::Maxwell, Rheology::KelvinVoigt}) {
            benchmark::DoNotOptimize(engine.solve(rheology, Flavour::Continuous, layer_eta).power);
            if (both)
                benchmark::DoNotOptimize(
                    engine.solve(rheology, Flavour::Discrete, layer_eta).power);
        }
    state.SetLabel(both ? "continuous + discrete" : "continuous");
    state.counters["viscosities/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SteadyPerViscosity)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// ... and the time integration of one batch of kLanes viscosities, every rheology (20000
// steps each), reported per viscosity.
void BM_TimeDomainPerViscosity(benchmark::State& state) {
    const ShellModel model = make_shell_model(*preset_body(1));
    RunWorkspace ws(model);
    std::vector<double> etas;
    for (int i = 0; i < kLanes; ++i)
        etas.push_back(sweep_viscosity(280 + i));
    // The last run keeps its series, as in a sweep.
    const SeriesMask last = 1u << (kLanes - 1);
    for (auto _ : state)
        for (const RheologyNames& r : kRheologies)
            benchmark::DoNotOptimize(run_batch(r.id, model, etas, ws, last).front().period.power);
    state.SetLabel("batch of kLanes, every rheology");
    state.counters["viscosities/s"] =
        benchmark::Counter(double(kLanes) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TimeDomainPerViscosity)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
