// Time integration of a Kelvin-Voigt shell (spring and dashpot in parallel). Each stress
// component of a layer carries a strain, advanced by backward Euler; the previous strain loads
// the constitutive row, and the strain rate gives the dissipation.
#include <algorithm>
#include <utility>

#include "linalg/lane_vec.hpp"
#include "loads/diagnostics.hpp"
#include "timestep/forcing.hpp"
#include "timestep/run_common.hpp"

namespace tidal {

namespace {

// Backward-Euler step of the three stress components of layer l in every lane:
// strain' = (stress + 2 strain eta/dt) / (2 (mu + eta/dt)), with `stiff` the denominators.
// Adds the squared change over two steps (strain' - strain before the previous step) to E.
TIDAL_LANE_CLONES void advance_strains(Lanes x, Lanes prev, Lanes cur, Lanes next, int l,
                                       const double* eta, const double* stiff, double dt,
                                       double (&E)[kRightHandSides][kLanes]) {
    for (int comp = 0; comp < kRightHandSides; ++comp)
        for (int m : {6 * l - 3, 6 * l - 2, 6 * l}) {
            const double* stress = &x(m, comp, 0);
            const double* before = &prev(m, comp, 0);
            const double* now = &cur(m, comp, 0);
            double* after = &next(m, comp, 0);
            for (int g = 0; g < kLanes; g += lanes::kWidth) {
                using lanes::load;
                const lanes::Vec a =
                    (load(stress + g) + 2.0 * load(now + g) * load(eta + g) / dt) / load(stiff + g);
                lanes::store(after + g, a);
                const lanes::Vec change = a - load(before + g);
                lanes::store(E[comp] + g, load(E[comp] + g) + change * change);
            }
        }
}

} // namespace

std::vector<RunRecords> run_kelvin_voigt(const ShellModel& model, std::span<const double> etas,
                                         RunWorkspace& ws) {
    const int N = model.body.N;
    const int n = model.order();
    const int nsteps = model.run.nsteps;
    const int nperiod = model.run.nperiod;
    const double dt = time_step(model);
    const std::array<double, kLanes> eta = lane_viscosities(etas);

    prepare_systems(model, Rheology::KelvinVoigt, eta, dt, ws);
    const TidalForcing forcing(model, dt);

    std::vector<RunRecords> out(kLanes);
    std::vector<SurfaceTracker> surface;
    for (int lane = 0; lane < kLanes; ++lane) {
        out[static_cast<std::size_t>(lane)].eta = eta[static_cast<std::size_t>(lane)];
        surface.emplace_back(model, out[static_cast<std::size_t>(lane)]);
    }

    const Lanes x(ws.rhs.data(), n);
    // Three strain columns: before the previous step, before this step, after this step.
    // Only the dissipation reads the oldest, so no longer history is kept.
    std::fill(ws.history.begin(), ws.history.end(), 0.0);
    const std::size_t column = Lanes::storage(n);
    Lanes prev(ws.history.data(), n), cur(ws.history.data() + column, n),
        next(ws.history.data() + 2 * column, n);

    std::fill(ws.window.begin(), ws.window.end(), 0.0);
    const std::size_t window_size = static_cast<std::size_t>(N) * (nperiod + 1);
    const auto window = [&](int lane) {
        return Mat1View<double>(ws.window.data() + lane * window_size, N, nperiod + 1);
    };
    const int window_start = nsteps - nperiod;

    const auto mu = vec1(model.grid.mu);
    // Per layer and lane: g = 2 eta/dt, the strain load factor, and 2 (mu + eta/dt), the
    // stiffness of the backward-Euler step.
    std::vector<double> g(static_cast<std::size_t>(N) * kLanes), stiff(g.size());
    for (int l = 1; l <= N; ++l)
        for (int lane = 0; lane < kLanes; ++lane) {
            const double e = eta[static_cast<std::size_t>(lane)];
            g[static_cast<std::size_t>(l - 1) * kLanes + lane] = 2.0 * e / dt;
            stiff[static_cast<std::size_t>(l - 1) * kLanes + lane] = 2.0 * (mu(l) + e / dt);
        }

    for (int step = 1; step <= nsteps; ++step) {
        forcing.load(step, vec1(ws.load[kOrder0]), vec1(ws.load[kCosine]), vec1(ws.load[kSine]));
        broadcast_loads(ws, x);

        for (int l = 1; l <= N; ++l) {
            const double* gl = &g[static_cast<std::size_t>(l - 1) * kLanes];
            for (int comp = 0; comp < kRightHandSides; ++comp)
                for (int lane = 0; lane < kLanes; ++lane) {
                    x(6 * l - 2, comp, lane) = -gl[lane] * cur(6 * l - 3, comp, lane);
                    x(6 * l - 1, comp, lane) = -gl[lane] * cur(6 * l - 2, comp, lane);
                    x(6 * l, comp, lane) = -gl[lane] * cur(6 * l, comp, lane);
                }
        }

        solve_lanes(ws.factors, x);

        const bool dissipates = step > 1 && step < nsteps && step >= window_start;
        for (int l = 1; l <= N; ++l) {
            double E[kRightHandSides][kLanes] = {};
            advance_strains(x, prev, cur, next, l, eta.data(),
                            &stiff[static_cast<std::size_t>(l - 1) * kLanes], dt, E);
            // Squared central-difference strain rates; the order-2 components count twice.
            if (dissipates)
                for (int lane = 0; lane < kLanes; ++lane)
                    window(lane)(l, step - window_start + 1) =
                        (E[kOrder0][lane] + 2.0 * E[kCosine][lane] + 2.0 * E[kSine][lane]) /
                        (dt * dt) / 4.0;
        }

        for (int lane = 0; lane < kLanes; ++lane)
            surface[static_cast<std::size_t>(lane)].record(step, x, lane);
        std::swap(prev, cur);
        std::swap(cur, next);
    }

    // The power routine divides by twice the viscosity it is given; handing it 1/(4 eta)
    // makes it multiply by 2 eta, the Kelvin-Voigt dissipation 2 eta (strain rate)^2.
    std::vector<double> inverse(static_cast<std::size_t>(N));
    for (int lane = 0; lane < kLanes; ++lane) {
        std::fill(inverse.begin(), inverse.end(),
                  (1.0 / eta[static_cast<std::size_t>(lane)]) / 4.0);
        out[static_cast<std::size_t>(lane)].pcelk =
            vypocitejpcelk(N, nperiod, window(lane), dt, vec1(std::as_const(inverse)),
                           vec1(model.grid.r), vec1(ws.layer_power));
    }
    out.resize(etas.size());
    return out;
}

RunRecords run_kelvin_voigt(const ShellModel& model, double eta, RunWorkspace& ws) {
    return std::move(run_kelvin_voigt(model, std::span<const double>(&eta, 1), ws).front());
}

} // namespace tidal
