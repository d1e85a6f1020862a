// Cost of the steady method per viscosity and rheology, computing only: the sweep of periodic
// states of preset body 1 (20 layers) as the program computes it (Engine::steady: the states,
// their reductions, Love numbers and heating profiles; nothing written), over COUNT
// viscosities spread evenly in log10 over its twelve decades, with and without the grid error
// (the refined grid of twice the cells). Prints the fastest of RUNS repetitions per case.
// Only the engine's public interface is used, so the same source builds against an older
// tree for a side-by-side comparison (bench/steady_speed.sh).
// Usage: steady_speed [COUNT [RUNS [CASE]]]    defaults 24001, 3 and both cases; CASE
// "without" or "with" times the sweep without or with the grid error alone (for profiles).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "body/presets.hpp"
#include "engine/engine.hpp"

int main(int argc, char** argv) {
    using namespace tidal;
    const long count = argc > 1 ? std::atol(argv[1]) : 24001;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::string only = argc > 3 ? argv[3] : "";
    if (count < 2 || count % 12 != 1 || runs < 1 ||
        (only != "" && only != "without" && only != "with")) {
        std::fprintf(stderr, "usage: steady_speed [COUNT = 12 k + 1 [RUNS [without | with]]]\n");
        return 2;
    }
    double checksum = 0.0;
    for (const bool grid_error : {false, true}) {
        if (only == (grid_error ? "without" : "with")) continue;
        Body body = *preset_body(1);
        body.steps_per_decade = static_cast<int>((count - 1) / 12);
        body.grid_error = grid_error;
        const Engine engine(body);
        const std::vector<double> etas = engine.swept();
        const double pairs = static_cast<double>(etas.size()) *
                             static_cast<double>(body.models.size());
        double best = 1e300;
        for (int r = 0; r < runs; ++r) {
            const auto start = std::chrono::steady_clock::now();
            const std::vector<SteadySweepRow> rows = engine.steady(etas);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            best = std::min(best, took.count());
            checksum += rows.back()[body.models.front()].continuous.power;
        }
        std::printf("%-22s %6zu viscosities x %zu rheologies: %8.3f s  %7.2f us each\n",
                    grid_error ? "with grid error" : "without grid error", etas.size(),
                    body.models.size(), best, best / pairs * 1e6);
    }
    // Keeps the sweeps from being optimised away.
    if (checksum == 0.0) std::printf("(zero powers)\n");
    return 0;
}
