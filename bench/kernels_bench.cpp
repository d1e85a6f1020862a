// Speed of the kernels that dominate a sweep: the three-vector band substitution of every time
// step, the factorisation of every run, whole runs of a batch of viscosities, and a whole run
// of one viscosity the plain way.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "discretisation/assembly.hpp"
#include "body/presets.hpp"
#include "body/presets.hpp"
#include "linalg/band_lu.hpp"
#include "linalg/band_solve_fast.hpp"
#include "timestep/reference_run.hpp"
#include "timestep/run.hpp"

namespace {

using namespace tidal;

std::vector<double> maxwell_matrix(const ShellModel& m) {
    std::vector<double> eta(20, 1e15), a(122 * 15);
    assemble_rheology<Maxwell, double>(mat1(a, 122, 15), m.assembly_inputs(),
                                       vec1(std::as_const(eta)), time_step(m));
    return a;
}

void BM_Factorise(benchmark::State& state) {
    const ShellModel m = make_shell_model(*preset_body(1));
    const std::vector<double> a0 = maxwell_matrix(m);
    std::vector<double> a, al(122 * 7);
    std::vector<int> indx(122);
    for (auto _ : state) {
        a = a0;
        double d;
        bandecdp(mat1(a, 122, 15), 122, 7, 7, mat1(al, 122, 7), vec1(indx), d);
        benchmark::DoNotOptimize(a.data());
    }
}
BENCHMARK(BM_Factorise);

void BM_SolveLanes(benchmark::State& state) {
    const ShellModel m = make_shell_model(*preset_body(1));
    std::vector<double> a = maxwell_matrix(m), al(122 * 7);
    std::vector<int> indx(122);
    double d;
    bandecdp(mat1(a, 122, 15), 122, 7, 7, mat1(al, 122, 7), vec1(indx), d);
    LaneBandFactors<kLanes> f(122);
    for (int lane = 0; lane < kLanes; ++lane)
        pack_band_factors(mat1(std::as_const(a), 122, 15), mat1(std::as_const(al), 122, 7),
                          vec1(std::as_const(indx)), lane, f);
    finish_lane_factors(f);
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> b(LaneVectors<kLanes>::storage(122)), scratch(b.size());
    for (double& x : b)
        x = u(rng);
    for (auto _ : state) {
        solve_lanes(f, LaneVectors<kLanes>(b.data(), 122),
                    LaneVectors<kLanes>(scratch.data(), 122));
        benchmark::DoNotOptimize(b.data());
    }
    state.counters["solves/s"] =
        benchmark::Counter(3.0 * kLanes * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SolveLanes);

// One whole run (20000 steps) of a batch of kLanes viscosities, per rheology.
void BM_BatchRun(benchmark::State& state) {
    const ShellModel m = make_shell_model(*preset_body(1));
    RunWorkspace ws(m);
    std::vector<double> etas;
    for (int i = 0; i < kLanes; ++i)
        etas.push_back(sweep_viscosity(300 + i));
    const bool kelvin = state.range(0) == 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(run_batch(kelvin ? Rheology::KelvinVoigt : Rheology::Maxwell, m,
                                                   etas, ws)
                                             .front()
                                             .period.power);
    state.SetLabel(kelvin ? "Kelvin-Voigt" : "Maxwell");
    state.counters["runs/s"] =
        benchmark::Counter(double(kLanes) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BatchRun)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One whole run of one viscosity the plain way, per rheology.
void BM_PlainRun(benchmark::State& state) {
    const ShellModel m = make_shell_model(*preset_body(1));
    const Rheology rheology = state.range(0) == 1 ? Rheology::KelvinVoigt : Rheology::Maxwell;
    for (auto _ : state)
        benchmark::DoNotOptimize(run_reference(m, 1e15, rheology).period.power);
    state.SetLabel(state.range(0) == 1 ? "Kelvin-Voigt" : "Maxwell");
}
BENCHMARK(BM_PlainRun)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
