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

// One run of the swept rheology, the plain way: one system, each load component solved on
// its own with the general band substitution, every dissipation sample of the run kept. Each
// cell runs its rheology (a fixed layer's own, or the sweep's), its history columns in places
// for the most of any; the forcing, the rheologies' loads and updates and the surface records
// are those of the batched runs.
RunRecords run_plain(const ShellModel& m, Rheology swept, std::vector<double> eta) {
    const int N = m.body.layers, n = m.order(), nsteps = m.run.nsteps, nperiod = m.run.nperiod;
    const double dt = time_step(m);
    std::vector<double> a(static_cast<std::size_t>(n) * kBandColumns),
        al(static_cast<std::size_t>(n) * kBandLower);
    std::vector<int> indx(static_cast<std::size_t>(n));
    double d = 0;
    assemble_cells(mat1(a, n, kBandColumns), m.assembly_inputs(), vec1(std::as_const(eta)),
                   m.body.cell_rheologies(swept), dt);
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

    // Per layer: its rheology's time-step constants, in places for kc of them.
    const std::vector<RheologySpan> spans = rheology_spans(m.body, swept);
    const auto mu = vec1(m.grid.mu);
    const std::size_t kc = static_cast<std::size_t>(constants_stride(m.body, swept));
    std::vector<double> k(static_cast<std::size_t>(N) * kc);
    for (const RheologySpan& span : spans)
        with_rheology(span.rheology, [&]<class R>(R) {
            for (int l = span.first; l <= span.last; ++l)
                R::step_coefficients(m.body.rheology.of<R>(), mu(l),
                                     eta[static_cast<std::size_t>(l - 1)], dt,
                                     &k[static_cast<std::size_t>(l - 1) * kc]);
        });
    const auto layer = [&](int l) { return PlainConstants{&k[static_cast<std::size_t>(l - 1) * kc]}; };

    // Solutions and history columns of the three load components; the columns of unknown i
    // in component c from hist[c][(i-1)*stride], as many as its layer's rheology has.
    const int stride = history_stride(m.body, swept);
    std::vector<double> xs[kRightHandSides];
    std::vector<double> hist[kRightHandSides];
    for (int c = 0; c < kRightHandSides; ++c) {
        xs[c].assign(static_cast<std::size_t>(n), 0.0);
        hist[c].assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(stride), 0.0);
    }
    const auto history = [&](int c, int i, int columns) {
        return PlainHistory{&hist[c][static_cast<std::size_t>(i - 1) * stride], columns};
    };
    std::vector<double> p(static_cast<std::size_t>(N) * nsteps, 0.0);
    auto P = mat1(p, N, nsteps);
    const auto b = vec1(m.elastic);
    // Calls f(R{}, first, last, columns) for every span, R its rheology.
    const auto each_span = [&](auto&& f) {
        for (const RheologySpan& span : spans)
            with_rheology(span.rheology, [&]<class R>(R) {
                f(R{}, span.first, span.last, R::columns(m.body.rheology.of<R>()));
            });
    };

    each_span([&]<class R>(R, int first, int last, int columns) {
        for (int c = 0; c < kRightHandSides; ++c)
            for (int l = first; l <= last; ++l)
                for (const unknowns::StressRow s : unknowns::stress_rows(l))
                    start_history<R>(layer(l), b(s.unknown), history(c, s.unknown, columns));
    });

    const TidalForcing forcing(m, dt);
    RunRecords out;
    out.eta = eta.front();
    SurfaceTracker surface(m, out, true);
    for (int step = 1; step <= nsteps; ++step) {
        forcing.load(step, vec1(xs[kOrder0]), vec1(xs[kCosine]), vec1(xs[kSine]));
        for (int c = 0; c < kRightHandSides; ++c) {
            auto X = vec1(xs[c]);
            each_span([&]<class R>(R, int first, int last, int columns) {
                for (int l = first; l <= last; ++l)
                    for (const unknowns::StressRow s : unknowns::stress_rows(l))
                        X(s.row) = R::load(layer(l), b(s.unknown), history(c, s.unknown, columns));
            });
            band_solve(X);
            if (m.body.self_gravity) gravity.correct(X.data());
        }
        each_span([&]<class R>(R, int first, int last, int columns) {
            for (int l = first; l <= last; ++l) {
                double sums[kRightHandSides];
                for (int c = 0; c < kRightHandSides; ++c) {
                    double sum = 0;
                    for (const unknowns::StressRow s : unknowns::stress_rows(l))
                        sum += R::advance(layer(l), b(s.unknown),
                                          xs[c][static_cast<std::size_t>(s.unknown - 1)],
                                          history(c, s.unknown, columns), dt);
                    sums[c] = sum;
                }
                if (R::dissipates(step, nsteps))
                    P(l, step) = R::sample(sums[kOrder0], sums[kCosine], sums[kSine], dt);
            }
        });
        const FundamentalWeight w =
            step > nsteps - nperiod ? fundamental_weight(step, nperiod) : FundamentalWeight{};
        surface.record(
            step, [&](int i, int c) { return xs[c][static_cast<std::size_t>(i - 1)]; }, w);
    }
    surface.finish(tide_fundamental(m, forcing));

    // The last period's samples: columns nsteps-nperiod .. nsteps of the full history.
    const Mat1View<const double> window(&P(1, nsteps - nperiod), N, nperiod + 1);
    std::vector<double> layer_power(static_cast<std::size_t>(N));
    const std::vector<Rheology> cells = m.body.cell_rheologies(swept);
    out.period.power = vypocitejpcelk(
        N, nperiod, window, dt,
        [&](int l, double integral) {
            return with_rheology(cells[static_cast<std::size_t>(l - 1)], [&]<class R>(R) {
                return R::layer_power(integral, eta[static_cast<std::size_t>(l - 1)]);
            });
        },
        m.grid, vec1(layer_power));
    out.period.layer_heating = period_means(layer_power, nperiod, dt);
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
    std::vector<RunRecords> out = {run_plain(m, rheology, eta)};
    // An oblique body: the order-1 pair's run added, as the batched runs add it.
    if (m.body.oblique())
        add_order_one(out, {run_plain(order_one_model(m), rheology, eta)}, m.body.eccentricity == 0.0);
    return std::move(out.front());
}

} // namespace tidal
