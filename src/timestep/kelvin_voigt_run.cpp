// Time integration of a Kelvin-Voigt shell (spring and dashpot in parallel). Each stress
// component of a layer carries a strain, advanced by backward Euler; the previous strain loads
// the constitutive row, and the strain rate gives the dissipation.
#include <utility>

#include "linalg/lane_vec.hpp"
#include "loads/diagnostics.hpp"
#include "timestep/run_common.hpp"

namespace tidal {

namespace {

// Strain loads of every layer and lane: the constitutive row of each stress unknown gets minus
// g times its strain before this step; `g` holds 2 eta/dt per layer and lane.
TIDAL_LANE_CLONES void strain_loads(Lanes x, Lanes strain, const double* g, int N) {
    using lanes::load;
    for (int l = 1; l <= N; ++l) {
        const double* gl = g + static_cast<std::size_t>(l - 1) * kLanes;
        for (int comp = 0; comp < kRightHandSides; ++comp)
            for (const StressRow s : stress_rows(l))
                for (int k = 0; k < kLanes; k += lanes::kWidth)
                    lanes::store(&x(s.row, comp, k),
                                 -load(gl + k) * load(&strain(s.unknown, comp, k)));
    }
}

// Backward-Euler step of the three stress components of layer l in every lane:
// strain' = (stress + 2 strain eta/dt) / (2 (mu + eta/dt)), with `stiff` the denominators.
// Adds the squared change over two steps (strain' - strain before the previous step) to E.
TIDAL_LANE_CLONES void advance_strains(Lanes x, Lanes prev, Lanes cur, Lanes next, int l,
                                       const double* eta, const double* stiff, double dt,
                                       double (&E)[kRightHandSides][kLanes]) {
    for (int comp = 0; comp < kRightHandSides; ++comp)
        for (const StressRow s : stress_rows(l)) {
            const double* stress = &x(s.unknown, comp, 0);
            const double* before = &prev(s.unknown, comp, 0);
            const double* now = &cur(s.unknown, comp, 0);
            double* after = &next(s.unknown, comp, 0);
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
                                         RunWorkspace& ws, SeriesMask series) {
    RunBatch run(model, Rheology::KelvinVoigt, etas, ws, series);
    const int N = run.N;
    const double dt = run.dt;

    // Three strain columns: before the previous step, before this step, after this step.
    // Only the dissipation reads the oldest, so no longer history is kept.
    const std::size_t column = Lanes::storage(run.n);
    Lanes prev(ws.history.data(), run.n), cur(ws.history.data() + column, run.n),
        next(ws.history.data() + 2 * column, run.n);

    const auto mu = vec1(model.grid.mu);
    // Per layer and lane: g = 2 eta/dt, the strain load factor, and 2 (mu + eta/dt), the
    // stiffness of the backward-Euler step.
    std::vector<double> g(static_cast<std::size_t>(N) * kLanes), stiff(g.size());
    for (int l = 1; l <= N; ++l)
        for (int lane = 0; lane < kLanes; ++lane) {
            const double e = run.layer_eta[static_cast<std::size_t>(l - 1) * kLanes + lane];
            g[static_cast<std::size_t>(l - 1) * kLanes + lane] = 2.0 * e / dt;
            stiff[static_cast<std::size_t>(l - 1) * kLanes + lane] = 2.0 * (mu(l) + e / dt);
        }

    for (int step = 1; step <= run.nsteps; ++step) {
        run.load(step);
        strain_loads(run.x, cur, g.data(), N);
        run.solve();

        // No strain rate at the first and the last step: nothing is dissipated there.
        const bool dissipates = step > 1 && step < run.nsteps && run.in_window(step);
        for (int l = 1; l <= N; ++l) {
            double E[kRightHandSides][kLanes] = {};
            advance_strains(run.x, prev, cur, next, l,
                            &run.layer_eta[static_cast<std::size_t>(l - 1) * kLanes],
                            &stiff[static_cast<std::size_t>(l - 1) * kLanes], dt, E);
            // Squared central-difference strain rates; the order-2 components count twice.
            if (dissipates) {
                double p[kLanes];
                for (int lane = 0; lane < kLanes; ++lane)
                    p[lane] = (E[kOrder0][lane] + 2.0 * E[kCosine][lane] + 2.0 * E[kSine][lane]) /
                              (dt * dt) / 4.0;
                run.sample(l, step, p);
            }
        }

        run.record(step);
        std::swap(prev, cur);
        std::swap(cur, next);
    }

    // The power routine divides by twice the viscosity it is given; handing it 1/(4 eta)
    // makes it multiply by 2 eta, the Kelvin-Voigt dissipation 2 eta (strain rate)^2.
    std::vector<double> inverse(run.layer_eta.size());
    for (std::size_t i = 0; i < inverse.size(); ++i)
        inverse[i] = (1.0 / run.layer_eta[i]) / 4.0;
    return run.finish(inverse);
}

RunRecords run_kelvin_voigt(const ShellModel& model, double eta, RunWorkspace& ws) {
    return std::move(run_kelvin_voigt(model, std::span<const double>(&eta, 1), ws).front());
}

} // namespace tidal
