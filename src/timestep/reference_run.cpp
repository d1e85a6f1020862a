#include "timestep/reference_run.hpp"

#include <cmath>
#include <utility>
#include <vector>

#include "linalg/band_lu.hpp"
#include "loads/boundary_loads.hpp"
#include "loads/diagnostics.hpp"
#include "loads/fundamental.hpp"
#include "timestep/forcing.hpp"

namespace tidal {

RunRecords run_reference(const ShellModel& m, double eta_value, Rheology rheology) {
    std::vector<double> eta(static_cast<std::size_t>(m.body.N));
    for (std::size_t l = 0; l < eta.size(); ++l)
        eta[l] = eta_value * m.body.viscosity_factor[l];
    RunRecords out = run_reference(m, std::span<const double>(eta), rheology);
    out.eta = eta_value; // the swept viscosity, as the batched runs record it
    return out;
}

RunRecords run_reference(const ShellModel& m, std::span<const double> layer_eta,
                         Rheology rheology) {
    const bool kelvin = rheology == Rheology::KelvinVoigt;
    const Body& B = m.body;
    const int N = B.N, n = 6 * N + 2, nsteps = m.run.nsteps, nperiod = m.run.nperiod;
    const double j = m.run.j, om = B.omega, ecc = B.ecc;
    const double dt = (2 * kPi / om) / nperiod;
    std::vector<double> eta(layer_eta.begin(), layer_eta.end());
    const double eta_value = eta.front();
    std::vector<double> a(n * 15), al(n * 7);
    std::vector<int> indx(n);
    double d = 0;
    if (kelvin)
        assemble_a3(mat1(a, n, 15), m.assembly_inputs(), vec1(std::as_const(eta)), dt);
    else
        assemble_a2(mat1(a, n, 15), m.assembly_inputs(), vec1(std::as_const(eta)), dt);
    bandecdp(mat1(a, n, 15), n, 7, 7, mat1(al, n, 7), vec1(indx), d);

    std::vector<double> p(N * nsteps, 0.0), ur(N + 1), ur22(N + 1);
    auto P = mat1(p, N, nsteps);
    std::vector<double> xs[3], mem[3], epsv[3];
    for (int c = 0; c < 3; ++c) {
        xs[c].assign(n, 0.0);
        mem[c].assign(n, 0.0);
        if (kelvin) epsv[c].assign(static_cast<std::size_t>(n) * (nsteps + 1), 0.0);
    }
    const auto r = vec1(m.grid.r);
    const auto mu = vec1(m.grid.mu);
    const auto b = vec1(m.elastic);
    const double R = (r(N) + r(N + 1)) / 2;
    const double Ae = B.rhobelow * (R * R) * (om * om) * ecc, A = B.rhobelow * (R * R) * (om * om);

    RunRecords out;
    out.eta = eta_value;
    FundamentalSums surface;
    for (int step = 1; step <= nsteps; ++step) {
        const double wt = (step * om) * dt, w2t = ((2 * om) * step) * dt;
        double amp0, ampnc, ampc;
        if (!B.eccentric_forcing) {
            amp0 = -std::cos(wt) * std::sqrt(9 * kPi / 5) * Ae;
            ampnc = std::cos(wt) * std::sqrt(27 * kPi / 10) * Ae;
            ampc = -std::sin(wt) * std::sqrt(24 * kPi / 5) * Ae;
        } else {
            amp0 = -(std::cos(wt) + 1.5 * ecc * std::cos(w2t)) * std::sqrt(9 * kPi / 5) * Ae;
            ampnc = ((1 + 6 * (ecc * ecc)) * std::cos(wt) - 0.5 * ecc * std::cos(w2t)) *
                    std::sqrt(3 * kPi / 10) * A;
            ampc = ((1 - 11 * (ecc * ecc)) * std::sin(wt) - 0.5 * ecc * std::sin(w2t)) *
                   std::sqrt(3 * kPi / 10) * A;
        }
        auto X0 = vec1(xs[0]), Xnc = vec1(xs[1]), Xc = vec1(xs[2]);
        zadanislapovehopotencialu(N, j, X0, amp0);
        zadanislapovehopotencialu(N, j, Xnc, ampnc);
        zadanislapovehopotencialu(N, j, Xc, ampc);
        for (int i = 2; i <= N; ++i) {
            const double Ye = r(i) * B.rho * (om * om) * ecc, Y = r(i) * B.rho * (om * om);
            if (!B.eccentric_forcing) {
                X0(6 * i - 5) = std::cos(wt) * std::sqrt(18 * kPi) * Ye;
                Xnc(6 * i - 5) = -std::cos(wt) * std::sqrt(27 * kPi) * Ye;
                Xc(6 * i - 5) = std::sin(wt) * std::sqrt(48 * kPi) * Ye;
            } else {
                X0(6 * i - 5) =
                    (std::cos(wt) + 1.5 * ecc * std::cos(w2t)) * std::sqrt(18 * kPi) * Ye;
                Xnc(6 * i - 5) =
                    -((1 + 6 * (ecc * ecc)) * std::cos(wt) - 0.5 * ecc * std::cos(w2t)) *
                    std::sqrt(3 * kPi) * Y;
                Xc(6 * i - 5) =
                    -((1 - 11 * (ecc * ecc)) * std::sin(wt) - 0.5 * ecc * std::sin(w2t)) *
                    std::sqrt(3 * kPi) * Y;
            }
        }
        for (int c = 0; c < 3; ++c) {
            auto X = vec1(xs[c]);
            auto M = vec1(mem[c]);
            auto E = mat1(epsv[c], n, nsteps + 1);
            for (int l = 1; l <= N; ++l) {
                // (stress unknown, its constitutive row)
                for (auto [k, row] :
                     {std::pair{6 * l - 3, 6 * l - 2}, {6 * l - 2, 6 * l - 1}, {6 * l, 6 * l}}) {
                    if (kelvin)
                        X(row) = -(2 * eta[l - 1] / dt) * E(k, step);
                    else
                        X(row) = -((mu(l) / eta[l - 1]) * dt) * (b(k) / 2 + M(k));
                }
            }
            banbksdp(mat1(std::as_const(a), n, 15), n, 7, 7, mat1(std::as_const(al), n, 7),
                     vec1(std::as_const(indx)), X);
        }
        for (int l = 1; l <= N; ++l) {
            double sums[3];
            for (int c = 0; c < 3; ++c) {
                auto X = vec1(xs[c]);
                auto M = vec1(mem[c]);
                auto E = mat1(epsv[c], n, nsteps + 1);
                double s = 0;
                for (int k : {6 * l - 3, 6 * l - 2, 6 * l}) {
                    if (kelvin) {
                        E(k, step + 1) = (X(k) + 2 * E(k, step) * eta[l - 1] / dt) /
                                         (2 * (mu(l) + eta[l - 1] / dt));
                        if (step > 1)
                            s += (E(k, step + 1) - E(k, step - 1)) *
                                 (E(k, step + 1) - E(k, step - 1));
                    } else {
                        M(k) += X(k);
                        s += X(k) * X(k);
                    }
                }
                sums[c] = s;
            }
            if (!kelvin)
                P(l, step) += sums[0] + 2 * sums[1] + 2 * sums[2];
            else if (step > 1 && step < nsteps)
                P(l, step) += (sums[0] + 2 * sums[1] + 2 * sums[2]) / (dt * dt) / 4;
        }
        vypocitejur(N, j, vec1(std::as_const(xs[0])), vec1(ur));
        vypocitejur(N, j, vec1(std::as_const(xs[1])), vec1(ur22));
        const double ursurf = (ur[0] + ur[1]) / 2, theta = kPi / 2;
        const double urth =
            (3 * std::cos(theta) * std::cos(theta) - 1) * std::sqrt(5 / kPi) * (ursurf / 4) +
            std::sin(theta) * std::sin(theta) * std::sqrt(7.5 / kPi) * ((ur22[0] + ur22[1]) / 4);
        if (step > nsteps - nperiod) {
            if (std::fabs(urth) > out.urthmax) out.urthmax = std::fabs(urth);
            if (ursurf < out.urmin) {
                out.urmin = ursurf;
                out.tn = static_cast<double>(step + nperiod - nsteps) / nperiod;
            }
            surface.add(ursurf, fundamental_weight(step, nperiod));
        }
        if (out.tn && *out.tn == 1.0) out.tn = 0.0;
        out.ursurf.push_back(ursurf);
    }

    const Harmonic u = fundamental(surface, nperiod);
    out.amplitude = u.amplitude;
    out.phase_lag_deg = phase_lag_deg(u, tide_fundamental(m, TidalForcing(m, dt)));

    // The power divides by 2 eta; for the Kelvin-Voigt body it is handed 1/(4 eta), which
    // makes it multiply by 2 eta.
    if (kelvin)
        for (double& e : eta)
            e = (1 / e) / 4;
    // The last period's samples: columns nsteps-nperiod .. nsteps of the full history.
    const Mat1View<const double> window(&P(1, nsteps - nperiod), N, nperiod + 1);
    std::vector<double> layer_power(N);
    out.pcelk =
        vypocitejpcelk(N, nperiod, window, dt, vec1(std::as_const(eta)), r, vec1(layer_power));
    return out;
}

} // namespace tidal
