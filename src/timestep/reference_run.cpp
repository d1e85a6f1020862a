#include "timestep/reference_run.hpp"

#include <utility>
#include <vector>

#include "linalg/band_lu.hpp"
#include "linalg/band_solve_fast.hpp"
#include "loads/diagnostics.hpp"
#include "loads/heating_profile.hpp"
#include "loads/fundamental.hpp"
#include "loads/self_gravity.hpp"
#include "model/forcing.hpp"
#include "timestep/run_common.hpp"

namespace tidal {

namespace {

// The constants of one layer.
struct PlainConstants {
    const double* k;
    double operator[](int f) const { return k[f]; }
};

// The history columns of one unknown and component, contiguous.
struct PlainHistory {
    double* h;
    int count;
    int columns() const { return count; }
    double operator[](int c) const { return h[c]; }
    void set(int c, double v) const { h[c] = v; }
};

// One run of rheology R, the plain way: one system, each load component solved on its own
// with the general band substitution, every dissipation sample of the run kept. The forcing,
// the rheology's loads and updates and the surface records are those of the batched runs.
template <class R> RunRecords run_plain(const ShellModel& m, std::vector<double> eta) {
    const int N = m.body.layers, n = m.order(), nsteps = m.run.nsteps, nperiod = m.run.nperiod;
    const double dt = time_step(m);
    std::vector<double> a(static_cast<std::size_t>(n) * kBandColumns),
        al(static_cast<std::size_t>(n) * kBandLower);
    std::vector<int> indx(static_cast<std::size_t>(n));
    double d = 0;
    assemble_rheology<R, double>(mat1(a, n, kBandColumns), m.assembly_inputs(),
                                 vec1(std::as_const(eta)), dt);
    bandecdp(mat1(a, n, kBandColumns), n, kBandLower, kBandUpper, mat1(al, n, kBandLower),
             vec1(indx), d);
    const auto band_solve = [&](Vec1View<double> x) {
        banbksdp(mat1(std::as_const(a), n, kBandColumns), n, kBandLower, kBandUpper,
                 mat1(std::as_const(al), n, kBandLower), vec1(std::as_const(indx)), x);
    };
    // A self-gravitating body: the coupling of the boundaries, exact beside the band.
    SelfGravitySolve<double> gravity;
    if (m.body.self_gravity)
        gravity.prepare(self_gravity_coupling(m.body, m.grid), N, m.run.j,
                        [&](std::vector<double>& x) { band_solve(vec1(x)); });

    // Per layer: the rheology's time-step constants, kc of them.
    const auto& params = m.body.rheology.of<R>();
    const auto mu = vec1(m.grid.mu);
    const std::size_t kc = static_cast<std::size_t>(R::coefficients(params));
    std::vector<double> k(static_cast<std::size_t>(N) * kc);
    for (int l = 1; l <= N; ++l)
        R::step_coefficients(params, mu(l), eta[static_cast<std::size_t>(l - 1)], dt,
                             &k[static_cast<std::size_t>(l - 1) * kc]);
    const auto layer = [&](int l) { return PlainConstants{&k[static_cast<std::size_t>(l - 1) * kc]}; };

    // Solutions and history columns of the three load components; the columns of unknown i
    // in component c from hist[c][(i-1)*columns].
    const int columns = R::columns(params);
    std::vector<double> xs[kRightHandSides];
    std::vector<double> hist[kRightHandSides];
    for (int c = 0; c < kRightHandSides; ++c) {
        xs[c].assign(static_cast<std::size_t>(n), 0.0);
        hist[c].assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(columns), 0.0);
    }
    const auto history = [&](int c, int i) {
        return PlainHistory{&hist[c][static_cast<std::size_t>(i - 1) * columns], columns};
    };
    std::vector<double> p(static_cast<std::size_t>(N) * nsteps, 0.0);
    auto P = mat1(p, N, nsteps);
    const auto b = vec1(m.elastic);

    for (int c = 0; c < kRightHandSides; ++c)
        for (int l = 1; l <= N; ++l)
            for (const unknowns::StressRow s : unknowns::stress_rows(l))
                start_history<R>(layer(l), b(s.unknown), history(c, s.unknown));

    const TidalForcing forcing(m, dt);
    RunRecords out;
    out.eta = eta.front();
    SurfaceTracker surface(m, out, true);
    for (int step = 1; step <= nsteps; ++step) {
        forcing.load(step, vec1(xs[kOrder0]), vec1(xs[kCosine]), vec1(xs[kSine]));
        for (int c = 0; c < kRightHandSides; ++c) {
            auto X = vec1(xs[c]);
            for (int l = 1; l <= N; ++l)
                for (const unknowns::StressRow s : unknowns::stress_rows(l))
                    X(s.row) = R::load(layer(l), b(s.unknown), history(c, s.unknown));
            band_solve(X);
            if (m.body.self_gravity) gravity.correct(X.data());
        }
        for (int l = 1; l <= N; ++l) {
            double sums[kRightHandSides];
            for (int c = 0; c < kRightHandSides; ++c) {
                double sum = 0;
                for (const unknowns::StressRow s : unknowns::stress_rows(l))
                    sum += R::advance(layer(l), b(s.unknown),
                                      xs[c][static_cast<std::size_t>(s.unknown - 1)],
                                      history(c, s.unknown), dt);
                sums[c] = sum;
            }
            if (R::dissipates(step, nsteps))
                P(l, step) = R::sample(sums[kOrder0], sums[kCosine], sums[kSine], dt);
        }
        const FundamentalWeight w =
            step > nsteps - nperiod ? fundamental_weight(step, nperiod) : FundamentalWeight{};
        surface.record(
            step, [&](int i, int c) { return xs[c][static_cast<std::size_t>(i - 1)]; }, w);
    }
    surface.finish(tide_fundamental(m, forcing));

    // The last period's samples: columns nsteps-nperiod .. nsteps of the full history.
    const Mat1View<const double> window(&P(1, nsteps - nperiod), N, nperiod + 1);
    std::vector<double> layer_power(static_cast<std::size_t>(N));
    out.pcelk = vypocitejpcelk(
        N, nperiod, window, dt,
        [&](int l, double integral) {
            return R::layer_power(integral, eta[static_cast<std::size_t>(l - 1)]);
        },
        m.grid, vec1(layer_power));
    out.layer_heating = period_means(layer_power, nperiod, dt);
    return out;
}

} // namespace

RunRecords run_reference(const ShellModel& m, double eta_value, Rheology rheology) {
    std::vector<double> eta(static_cast<std::size_t>(m.body.layers));
    for (std::size_t l = 0; l < eta.size(); ++l)
        eta[l] = m.body.cell_viscosity(l, eta_value);
    RunRecords out = run_reference(m, std::span<const double>(eta), rheology);
    out.eta = eta_value; // the swept viscosity, as the batched runs record it
    return out;
}

RunRecords run_reference(const ShellModel& m, std::span<const double> layer_eta,
                         Rheology rheology) {
    std::vector<double> eta(layer_eta.begin(), layer_eta.end());
    return with_rheology(rheology, [&]<class R>(R) {
        std::vector<RunRecords> out = {run_plain<R>(m, eta)};
        // An oblique body: the order-1 pair's run added, as the batched runs add it.
        if (m.body.oblique())
            add_order_one(out, {run_plain<R>(order_one_model(m), eta)}, m.body.eccentricity == 0.0);
        return std::move(out.front());
    });
}

} // namespace tidal
