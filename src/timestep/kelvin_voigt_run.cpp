// Time integration of a Kelvin-Voigt shell (spring and dashpot in parallel). Each stress
// component of a layer carries a strain, advanced by backward Euler; the previous strain loads
// the constitutive row, and the strain rate gives the dissipation.
#include <algorithm>
#include <utility>

#include "loads/diagnostics.hpp"
#include "timestep/forcing.hpp"
#include "timestep/run_common.hpp"

namespace tidal {

RunRecords run_kelvin_voigt(const ShellModel& model, double eta, RunWorkspace& ws) {
    const int N = model.body.N;
    const int n = model.order();
    const int nsteps = model.run.nsteps;
    const int nperiod = model.run.nperiod;
    const double dt = time_step(model);

    prepare_system(model, Rheology::KelvinVoigt, eta, dt, ws);
    const TidalForcing forcing(model, dt);

    RunRecords out;
    out.eta = eta;
    SurfaceTracker surface(model, out);

    std::fill(ws.window.begin(), ws.window.end(), 0.0);
    Vec1View<double> x[3] = {vec1(ws.b0), vec1(ws.bnc), vec1(ws.bc)};

    // Three strain columns per component: before the previous step, before this step, after
    // this step. Only the dissipation reads the oldest, so no longer history is kept.
    std::vector<double>* hist[3] = {&ws.hist0, &ws.histnc, &ws.histc};
    double* prev[3];
    double* cur[3];
    double* next[3];
    for (int comp = 0; comp < 3; ++comp) {
        std::fill(hist[comp]->begin(), hist[comp]->end(), 0.0);
        prev[comp] = hist[comp]->data();
        cur[comp] = prev[comp] + n;
        next[comp] = prev[comp] + 2 * n;
    }
    const auto strain = [n](double* column) { return Vec1View<double>(column, n); };

    const auto mu = vec1(model.grid.mu);
    const auto eta_l = vec1(std::as_const(ws.eta));
    auto window = mat1(ws.window, N, nperiod + 1);
    const int window_start = nsteps - nperiod;

    for (int step = 1; step <= nsteps; ++step) {
        forcing.load(step, x[0], x[1], x[2]);

        for (int l = 1; l <= N; ++l) {
            const double g = 2.0 * eta_l(l) / dt;
            for (int comp = 0; comp < 3; ++comp) {
                x[comp](6 * l - 2) = -g * strain(cur[comp])(6 * l - 3);
                x[comp](6 * l - 1) = -g * strain(cur[comp])(6 * l - 2);
                x[comp](6 * l) = -g * strain(cur[comp])(6 * l);
            }
        }

        solve_packed3(ws.factors, ws.b0.data(), ws.bnc.data(), ws.bc.data());

        const bool dissipates = step > 1 && step < nsteps;
        const bool in_window = step >= window_start;
        for (int l = 1; l <= N; ++l) {
            const double e = eta_l(l);
            const double M = mu(l);
            const int stress_rows[3] = {6 * l - 3, 6 * l - 2, 6 * l};
            double E[3];
            for (int comp = 0; comp < 3; ++comp) {
                double sum = 0.0;
                const auto before = strain(prev[comp]);
                const auto now = strain(cur[comp]);
                const auto after = strain(next[comp]);
                for (int m : stress_rows) {
                    after(m) = (x[comp](m) + 2.0 * now(m) * e / dt) / (2.0 * (M + e / dt));
                    const double change = after(m) - before(m);
                    sum += change * change;
                }
                E[comp] = sum;
            }
            // Squared central-difference strain rates; the order-2 components count twice.
            if (dissipates && in_window)
                window(l, step - window_start + 1) = (E[0] + 2.0 * E[1] + 2.0 * E[2]) / (dt * dt) / 4.0;
        }

        surface.record(step, x[0], x[1]);
        for (int comp = 0; comp < 3; ++comp) {
            std::swap(prev[comp], cur[comp]);
            std::swap(cur[comp], next[comp]);
        }
    }

    // The power routine divides by twice the viscosity it is given; handing it 1/(4 eta)
    // makes it multiply by 2 eta, the Kelvin-Voigt dissipation 2 eta (strain rate)^2.
    std::vector<double> inverse(static_cast<std::size_t>(N));
    for (int l = 1; l <= N; ++l) vec1(inverse)(l) = (1.0 / eta_l(l)) / 4.0;
    out.pcelk = vypocitejpcelk(N, nperiod, mat1(std::as_const(ws.window), N, nperiod + 1), dt,
                               vec1(std::as_const(inverse)), vec1(model.grid.r),
                               vec1(ws.layer_power));
    return out;
}

} // namespace tidal
