// Time integration of a Maxwell shell (spring and dashpot in series). Each stress unknown
// keeps a running sum of its past values (its memory); the trapezoidal rule for the viscous
// relaxation turns that sum into a load on the layer's constitutive row.
#include <algorithm>
#include <utility>

#include "loads/diagnostics.hpp"
#include "timestep/forcing.hpp"
#include "timestep/run_common.hpp"

namespace tidal {

RunRecords run_maxwell(const ShellModel& model, double eta, RunWorkspace& ws) {
    const int N = model.body.N;
    const int n = model.order();
    const int nsteps = model.run.nsteps;
    const int nperiod = model.run.nperiod;
    const double dt = time_step(model);

    prepare_system(model, Rheology::Maxwell, eta, dt, ws);
    const TidalForcing forcing(model, dt);

    RunRecords out;
    out.eta = eta;
    SurfaceTracker surface(model, out);

    std::fill(ws.window.begin(), ws.window.end(), 0.0);
    Vec1View<double> x[3] = {vec1(ws.b0), vec1(ws.bnc), vec1(ws.bc)};
    Vec1View<double> memory[3] = {Vec1View<double>(ws.hist0.data(), n),
                                  Vec1View<double>(ws.histnc.data(), n),
                                  Vec1View<double>(ws.histc.data(), n)};
    for (auto& m : memory) std::fill(m.data(), m.data() + n, 0.0);

    const auto b = vec1(model.elastic);
    const auto mu = vec1(model.grid.mu);
    const auto eta_l = vec1(std::as_const(ws.eta));
    auto window = mat1(ws.window, N, nperiod + 1);
    const int window_start = nsteps - nperiod; // step of the window's first column

    for (int step = 1; step <= nsteps; ++step) {
        forcing.load(step, x[0], x[1], x[2]);

        // Memory loads: minus c times the trapezoidal sum of the stress history, started
        // from the elastic state.
        for (int l = 1; l <= N; ++l) {
            const double c = (mu(l) / eta_l(l)) * dt;
            for (int comp = 0; comp < 3; ++comp) {
                x[comp](6 * l - 2) = -c * (b(6 * l - 3) / 2.0 + memory[comp](6 * l - 3));
                x[comp](6 * l - 1) = -c * (b(6 * l - 2) / 2.0 + memory[comp](6 * l - 2));
                x[comp](6 * l) = -c * (b(6 * l) / 2.0 + memory[comp](6 * l));
            }
        }

        solve_packed3(ws.factors, ws.b0.data(), ws.bnc.data(), ws.bc.data());

        const bool in_window = step >= window_start;
        for (int l = 1; l <= N; ++l) {
            double S[3];
            for (int comp = 0; comp < 3; ++comp) {
                const double s1 = x[comp](6 * l - 3);
                const double s2 = x[comp](6 * l - 2);
                const double s3 = x[comp](6 * l);
                memory[comp](6 * l - 3) += s1;
                memory[comp](6 * l - 2) += s2;
                memory[comp](6 * l) += s3;
                S[comp] = s1 * s1 + s2 * s2 + s3 * s3;
            }
            // Squared stresses; the two order-2 components count twice.
            if (in_window) window(l, step - window_start + 1) = S[0] + 2.0 * S[1] + 2.0 * S[2];
        }

        surface.record(step, x[0], x[1]);
    }

    out.pcelk = vypocitejpcelk(N, nperiod, mat1(std::as_const(ws.window), N, nperiod + 1), dt,
                               eta_l, vec1(model.grid.r), vec1(ws.layer_power));
    return out;
}

} // namespace tidal
