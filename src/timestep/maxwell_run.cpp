// Time integration of a Maxwell shell (spring and dashpot in series). Each stress unknown
// keeps a running sum of its past values (its memory); the trapezoidal rule for the viscous
// relaxation turns that sum into a load on the layer's constitutive row.
#include <algorithm>
#include <utility>

#include "linalg/lane_vec.hpp"
#include "loads/diagnostics.hpp"
#include "timestep/forcing.hpp"
#include "timestep/run_common.hpp"

namespace tidal {

namespace {

// The stress unknowns of layer l and the constitutive rows they load.
struct StressRow {
    int unknown, row;
};
inline std::array<StressRow, 3> stress_rows(int l) {
    return {{{6 * l - 3, 6 * l - 2}, {6 * l - 2, 6 * l - 1}, {6 * l, 6 * l}}};
}

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
                                    RunWorkspace& ws) {
    const int N = model.body.N;
    const int n = model.order();
    const int nsteps = model.run.nsteps;
    const int nperiod = model.run.nperiod;
    const double dt = time_step(model);
    const std::array<double, kLanes> eta = lane_viscosities(etas);

    prepare_systems(model, Rheology::Maxwell, eta, dt, ws);
    const TidalForcing forcing(model, dt);

    std::vector<RunRecords> out(kLanes);
    std::vector<SurfaceTracker> surface;
    for (int lane = 0; lane < kLanes; ++lane) {
        out[static_cast<std::size_t>(lane)].eta = eta[static_cast<std::size_t>(lane)];
        surface.emplace_back(model, out[static_cast<std::size_t>(lane)]);
    }

    const Lanes x(ws.rhs.data(), n);
    const Lanes memory(ws.history.data(), n);
    std::fill(ws.history.begin(), ws.history.end(), 0.0);
    std::fill(ws.window.begin(), ws.window.end(), 0.0);
    const std::size_t window_size = static_cast<std::size_t>(N) * (nperiod + 1);
    const auto window = [&](int lane) {
        return Mat1View<double>(ws.window.data() + lane * window_size, N, nperiod + 1);
    };
    const int window_start = nsteps - nperiod; // step of the window's first column

    const auto b = vec1(model.elastic);
    const auto mu = vec1(model.grid.mu);
    // c = (mu/eta) dt per layer and lane: the relaxation over one step.
    std::vector<double> relax(static_cast<std::size_t>(N) * kLanes);
    for (int l = 1; l <= N; ++l)
        for (int lane = 0; lane < kLanes; ++lane)
            relax[static_cast<std::size_t>(l - 1) * kLanes + lane] =
                (mu(l) / eta[static_cast<std::size_t>(lane)]) * dt;

    for (int step = 1; step <= nsteps; ++step) {
        forcing.load(step, vec1(ws.load[kOrder0]), vec1(ws.load[kCosine]), vec1(ws.load[kSine]));
        broadcast_loads(ws, x);

        memory_loads(x, memory, b, relax.data(), N);

        solve_lanes(ws.factors, x);

        const bool in_window = step >= window_start;
        for (int l = 1; l <= N; ++l) {
            double S[kRightHandSides][kLanes] = {};
            absorb_stresses(x, memory, l, S);
            // Squared stresses; the two order-2 components count twice.
            if (in_window)
                for (int lane = 0; lane < kLanes; ++lane)
                    window(lane)(l, step - window_start + 1) =
                        S[kOrder0][lane] + 2.0 * S[kCosine][lane] + 2.0 * S[kSine][lane];
        }

        for (int lane = 0; lane < kLanes; ++lane)
            surface[static_cast<std::size_t>(lane)].record(step, x, lane);
    }

    std::vector<double> layer_eta(static_cast<std::size_t>(N));
    for (int lane = 0; lane < kLanes; ++lane) {
        std::fill(layer_eta.begin(), layer_eta.end(), eta[static_cast<std::size_t>(lane)]);
        out[static_cast<std::size_t>(lane)].pcelk =
            vypocitejpcelk(N, nperiod, window(lane), dt, vec1(std::as_const(layer_eta)),
                           vec1(model.grid.r), vec1(ws.layer_power));
    }
    out.resize(etas.size());
    return out;
}

RunRecords run_maxwell(const ShellModel& model, double eta, RunWorkspace& ws) {
    return std::move(run_maxwell(model, std::span<const double>(&eta, 1), ws).front());
}

} // namespace tidal
