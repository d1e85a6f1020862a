// Time integration of a Maxwell shell (spring and dashpot in series). Each stress unknown
// keeps a running sum of its past values (its memory); the trapezoidal rule for the viscous
// relaxation turns that sum into a load on the layer's constitutive row.
#include <utility>

#include "linalg/lane_vec.hpp"
#include "loads/diagnostics.hpp"
#include "timestep/run_common.hpp"

namespace tidal {

namespace {

// Memory loads of every layer and lane: the constitutive row of each stress unknown gets
// minus c times (half its elastic reference value plus its memory), the trapezoidal sum of
// its history started from the elastic state; `relax` holds c = (mu/eta) dt per layer and lane.
TIDAL_LANE_CLONES void memory_loads(Lanes x, Lanes memory, Vec1View<const double> b,
                                    const double* relax, int N) {
    using lanes::load;
    for (int l = 1; l <= N; ++l) {
        const double* c = relax + static_cast<std::size_t>(l - 1) * kLanes;
        for (int comp = 0; comp < kRightHandSides; ++comp)
            for (const StressRow s : stress_rows(l)) {
                const double half = b(s.unknown) / 2.0;
                for (int g = 0; g < kLanes; g += lanes::kWidth)
                    lanes::store(&x(s.row, comp, g),
                                 -load(c + g) * (half + load(&memory(s.unknown, comp, g))));
            }
    }
}

// Adds the new stresses of layer l to the memories and their squares to S, per lane.
TIDAL_LANE_CLONES void absorb_stresses(Lanes x, Lanes memory, int l,
                                       double (&S)[kRightHandSides][kLanes]) {
    using lanes::load;
    for (int comp = 0; comp < kRightHandSides; ++comp)
        for (const StressRow s : stress_rows(l))
            for (int g = 0; g < kLanes; g += lanes::kWidth) {
                const lanes::Vec v = load(&x(s.unknown, comp, g));
                lanes::store(&memory(s.unknown, comp, g), load(&memory(s.unknown, comp, g)) + v);
                lanes::store(S[comp] + g, load(S[comp] + g) + v * v);
            }
}

} // namespace

std::vector<RunRecords> run_maxwell(const ShellModel& model, std::span<const double> etas,
                                    RunWorkspace& ws, SeriesMask series) {
    RunBatch run(model, Rheology::Maxwell, etas, ws, series);
    const int N = run.N;
    const Lanes memory(ws.history.data(), run.n);

    const auto mu = vec1(model.grid.mu);
    // c = (mu/eta) dt per layer and lane: the relaxation over one step.
    std::vector<double> relax(static_cast<std::size_t>(N) * kLanes);
    for (int l = 1; l <= N; ++l)
        for (int lane = 0; lane < kLanes; ++lane)
            relax[static_cast<std::size_t>(l - 1) * kLanes + lane] =
                (mu(l) / run.layer_eta[static_cast<std::size_t>(l - 1) * kLanes + lane]) * run.dt;

    for (int step = 1; step <= run.nsteps; ++step) {
        run.load(step);
        memory_loads(run.x, memory, vec1(model.elastic), relax.data(), N);
        run.solve();
        for (int l = 1; l <= N; ++l) {
            double S[kRightHandSides][kLanes] = {};
            absorb_stresses(run.x, memory, l, S);
            if (!run.in_window(step)) continue;
            // Squared stresses; the two order-2 components count twice.
            double p[kLanes];
            for (int lane = 0; lane < kLanes; ++lane)
                p[lane] = S[kOrder0][lane] + 2.0 * S[kCosine][lane] + 2.0 * S[kSine][lane];
            run.sample(l, step, p);
        }
        run.record(step);
    }
    return run.finish(run.layer_eta);
}

RunRecords run_maxwell(const ShellModel& model, double eta, RunWorkspace& ws) {
    return std::move(run_maxwell(model, std::span<const double>(&eta, 1), ws).front());
}

} // namespace tidal
