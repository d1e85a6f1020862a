// Cost of one Prony-series fit of s^(-alpha) over 4.3 decades against the number of elements,
// beside a non-negative least-squares solve of a random problem of the same shape (the fit
// also builds its columns and checks its error at 200 frequencies per decade).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "linalg/nnls.hpp"
#include "rheology/prony_fit.hpp"

namespace {

using namespace tidal;

constexpr double kDecades = 4.3;

void BM_PronyFit(benchmark::State& state) {
    const int elements = static_cast<int>(state.range(0));
    for (auto _ : state) {
        PronySeries s = fit_power_law(0.3, 1.0e-6, 1.0e-6 * std::pow(10.0, kDecades), elements);
        benchmark::DoNotOptimize(s.worst_error);
    }
}
BENCHMARK(BM_PronyFit)->Arg(8)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);

// The fit's least-squares shape: 2 rows (real, imaginary) per sample, 24 samples per decade;
// spring, dashpot and the elements as columns.
void BM_NnlsSameShape(benchmark::State& state) {
    const int rows = 2 * (static_cast<int>(std::ceil(24.0 * kDecades)) + 1);
    const int cols = 2 + static_cast<int>(state.range(0));
    std::mt19937 gen(1);
    std::uniform_real_distribution<double> uniform;
    std::vector<double> a(static_cast<std::size_t>(rows) * cols), b(rows);
    for (double& v : a)
        v = uniform(gen);
    for (double& v : b)
        v = uniform(gen) + 0.5;
    for (auto _ : state) {
        NnlsResult r = nnls(a, rows, cols, b);
        benchmark::DoNotOptimize(r.residual_norm);
    }
}
BENCHMARK(BM_NnlsSameShape)->Arg(8)->Arg(16)->Arg(24)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
