#include "steady/period_reduction.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "loads/boundary_loads.hpp"
#include "loads/diagnostics.hpp"
#include "loads/heating_profile.hpp"
#include "model/forcing.hpp"
#include "model/last_period_extremes.hpp"
#include "steady/layer_power.hpp"
#include "steady/layer_terms.hpp"
#include "steady/trig_extremum.hpp"

namespace tidal {

namespace {

using dissipation::dot;

// Phase (degrees, in (-180, 180]) by which the displacement's fundamental `u` lags the
// forcing's fundamental `f`: arg f - arg u. The order-0 surface displacement of an elastic
// shell is in phase with the order-0 inner-boundary amplitude, so the lag is 0 for an elastic
// response and positive when the displacement peaks later.
double phase_lag_degrees(Complex f, Complex u) {
    if (u == Complex(0.0) || f == Complex(0.0)) return 0.0;
    const double lag = std::arg(f * std::conj(u)) * (180.0 / kPi);
    return lag == -180.0 ? 180.0 : lag;
}

} // namespace

PeriodReduction::PeriodReduction(const ShellModel& model, int harmonics)
    : model_(model), harmonics_(harmonics), basis_(2 * harmonics),
      love_(model.body, tide_reference_radius(model)),
      parts_(stress_parts(model.K, model.run.j)) {
    const int m = model.run.nperiod;
    cos_.resize(static_cast<std::size_t>(m));
    sin_.resize(static_cast<std::size_t>(m));
    for (int k = 0; k < m; ++k) {
        const Complex z = step_factor(k, m);
        cos_[static_cast<std::size_t>(k)] = z.real();
        sin_[static_cast<std::size_t>(k)] = z.imag();
    }
    for (int h = 1; h <= harmonics; ++h)
        z_.push_back(step_factor(h, m));
    // The steps the time integration samples (and which of them it forms no sample at): a
    // rheology that samples the same steps as one before it has the same window, the same
    // sums of the same products, and takes a copy of it.
    std::vector<std::pair<std::vector<bool>, std::size_t>> made; // steps, window
    for (const RheologyNames& r : kRheologies) {
        const std::size_t i = index_of(r.id);
        with_rheology(r.id, [&]<class R>(R) {
            const auto dissipates = [](int step, int nsteps) { return R::dissipates(step, nsteps); };
            std::vector<bool> steps = sampled_steps(dissipates);
            const auto same = std::find_if(made.begin(), made.end(),
                                           [&](const auto& m) { return m.first == steps; });
            windows_[i] = same != made.end() ? windows_[same->second] : make_window(dissipates);
            if (same == made.end()) made.emplace_back(std::move(steps), i);
        });
    }
}

std::vector<bool>
PeriodReduction::sampled_steps(const std::function<bool(int, int)>& dissipates) const {
    const int nsteps = model_.run.nsteps;
    std::vector<bool> out;
    for (int n = nsteps - model_.run.nperiod; n <= nsteps; ++n)
        out.push_back(n >= 1 && dissipates(n, nsteps));
    return out;
}

void PeriodReduction::check_harmonics(const PeriodicState& state) const {
    if (state.harmonics != harmonics_ || state.x.size() != static_cast<std::size_t>(harmonics_))
        throw std::invalid_argument("PeriodReduction: a state of " +
                                    std::to_string(state.harmonics) + " harmonics, reduced for " +
                                    std::to_string(harmonics_));
}

void PeriodReduction::window_ends(const Window& w, double* first, double* last) const {
    if (w.has_first) basis(w.first, first);
    if (w.has_last) basis(w.last, last);
}

void PeriodReduction::symbols_of(const PeriodicState& state, Rheology swept, Rheology own,
                                 Flavour flavour, HarmonicSymbols& symbols) const {
    symbols.harmonics = state.harmonics;
    symbols.dt = time_step(model_);
    symbols.s.resize(static_cast<std::size_t>(state.harmonics));
    symbols.z.resize(static_cast<std::size_t>(state.harmonics));
    for (int h = 1; h <= state.harmonics; ++h) {
        const std::size_t hi = static_cast<std::size_t>(h - 1);
        symbols.s[hi] = own == swept ? state.s[hi] : rheology_symbol(own, flavour, h, model_);
        symbols.z[hi] = z_[hi];
    }
}

void PeriodReduction::basis(int n, double* b) const {
    const long m = model_.run.nperiod;
    for (int h = 1; h <= harmonics_; ++h) {
        const std::size_t k = static_cast<std::size_t>((h * (static_cast<long>(n) % m)) % m);
        b[2 * h - 2] = cos_[k];
        b[2 * h - 1] = -sin_[k];
    }
}

PeriodReduction::Window
PeriodReduction::make_window(const std::function<bool(int, int)>& dissipates) const {
    // The time integration samples the steps nsteps - nperiod .. nsteps that dissipate.
    const int nsteps = model_.run.nsteps;
    const int start = nsteps - model_.run.nperiod;
    const auto sampled = [&](int n) { return n >= 1 && n <= nsteps && dissipates(n, nsteps); };
    const int B = basis_;
    Window w;
    w.gram.assign(static_cast<std::size_t>(B * B), 0.0);
    std::vector<double> b(static_cast<std::size_t>(B));
    for (int n = std::max(start, 1); n <= nsteps; ++n) {
        if (!sampled(n)) continue;
        basis(n, b.data());
        // The upper triangle; the lower one is its mirror (the same products, the same sums).
        for (int i = 0; i < B; ++i)
            for (int k = i; k < B; ++k)
                w.gram[static_cast<std::size_t>(i * B + k)] += b[static_cast<std::size_t>(i)] *
                                                               b[static_cast<std::size_t>(k)];
    }
    for (int i = 0; i < B; ++i)
        for (int k = 0; k < i; ++k)
            w.gram[static_cast<std::size_t>(i * B + k)] =
                w.gram[static_cast<std::size_t>(k * B + i)];
    w.first = start;
    w.last = nsteps;
    w.has_first = sampled(start);
    w.has_last = sampled(nsteps);
    return w;
}

double PeriodReduction::power(const PeriodicState& state, Rheology rheology, Flavour flavour,
                              std::span<const double> layer_eta,
                              std::vector<double>& layer_heating) {
    std::vector<double>& powers = scratch_.layer_power;
    powers.assign(static_cast<std::size_t>(model_.body.layers), 0.0);
    for (const RheologySpan& span : rheology_spans(model_.body, rheology))
        with_rheology(span.rheology, [&]<class R>(R) {
            power_of<R>(state, rheology, flavour, layer_eta, span, powers);
        });
    return mean_power(flavour, powers, layer_heating);
}

double PeriodReduction::mean_power(Flavour flavour, const std::vector<double>& layer_power,
                                   std::vector<double>& layer_heating) const {
    const int N = model_.body.layers;
    const double dt = time_step(model_);
    // The continuous values are already means over the period: the layers' powers are their
    // heating, the shell's that of a window of unit length.
    if (flavour == Flavour::Continuous) {
        layer_heating = layer_power;
        return shell_power(N, 1, 1.0, vec1(std::as_const(layer_heating)), model_.grid);
    }
    layer_heating = period_means(layer_power, model_.run.nperiod, dt);
    return shell_power(N, model_.run.nperiod, dt, vec1(std::as_const(layer_power)),
                       model_.grid);
}

dissipation::LayerWindow PeriodReduction::layer_window(Rheology own, Flavour flavour,
                                                       std::vector<double>& first,
                                                       std::vector<double>& last) const {
    const Window& w = windows_[index_of(own)];
    first.assign(static_cast<std::size_t>(basis_), 0.0);
    last.assign(static_cast<std::size_t>(basis_), 0.0);
    window_ends(w, first.data(), last.data());
    return {flavour, harmonics_, basis_, w.gram.data(), first.data(), last.data(),
            time_step(model_)};
}

template <class R>
void PeriodReduction::power_of(const PeriodicState& state, Rheology swept, Flavour flavour,
                               std::span<const double> layer_eta, const RheologySpan& span,
                               std::vector<double>& layer_power) {
    const auto mu = vec1(model_.grid.mu);
    const dissipation::LayerWindow w =
        layer_window(rheology_id<R>, flavour, scratch_.bfirst, scratch_.blast);
    std::vector<double>& v = scratch_.v;
    v.assign(static_cast<std::size_t>(basis_), 0.0);
    const HarmonicSymbols& symbols = scratch_.symbols;
    symbols_of(state, swept, rheology_id<R>, flavour, scratch_.symbols);
    std::vector<DissipationTerm>& terms = scratch_.terms;
    const auto& p = model_.body.rheology.template of<R>();
    const auto context = terms_context_of<R>(p, flavour, symbols);
    for (int l = span.first; l <= span.last; ++l) {
        const double eta = layer_eta[static_cast<std::size_t>(l - 1)];
        // What is squared and summed, per harmonic, as a multiple of the stress, and weighted.
        layer_terms<R>(p, context, mu(l), eta, flavour, symbols, terms);
        const std::array<unknowns::StressRow, 3> rows = unknowns::stress_rows(l);
        const auto weight = [&](int t) { return terms[static_cast<std::size_t>(t)].weight; };
        const auto amplitude = [&](int t, int h, int c, int r) {
            const std::size_t hi = static_cast<std::size_t>(h - 1);
            return dissipation::Values<double>::times(
                terms[static_cast<std::size_t>(t)].gain[hi],
                state.x[hi][static_cast<std::size_t>(c)]
                       [static_cast<std::size_t>(rows[static_cast<std::size_t>(r)].unknown - 1)]);
        };
        double sum[kComponents], first[kComponents], last[kComponents];
        dissipation::layer_sums(w, static_cast<int>(terms.size()), weight, amplitude, v.data(),
                                sum, first, last);
        layer_power[static_cast<std::size_t>(l - 1)] =
            dissipation::layer_power<R>(w, sum, first, last, eta);
    }
}

std::vector<LayerMap> PeriodReduction::layer_maps(const PeriodicState& state, Rheology rheology,
                                                 Flavour flavour,
                                                 std::span<const double> layer_eta,
                                                 const PeriodicState* order_one) const {
    check_harmonics(state);
    if (order_one) check_harmonics(*order_one);
    std::vector<LayerMap> out(static_cast<std::size_t>(model_.body.layers));
    for (const RheologySpan& span : rheology_spans(model_.body, rheology))
        with_rheology(span.rheology, [&]<class R>(R) {
            layer_maps_of<R>(state, order_one, rheology, flavour, layer_eta, span, out);
        });
    return out;
}

template <class R>
void PeriodReduction::layer_maps_of(const PeriodicState& state, const PeriodicState* order_one,
                                    Rheology swept, Flavour flavour,
                                    std::span<const double> layer_eta, const RheologySpan& span,
                                    std::vector<LayerMap>& out) const {
    const auto mu = vec1(model_.grid.mu);
    const double dt = time_step(model_);
    const Window& w = windows_[index_of(rheology_id<R>)];
    const int B = basis_;
    std::vector<double> bfirst(static_cast<std::size_t>(B)), blast(bfirst);
    window_ends(w, bfirst.data(), blast.data());
    HarmonicSymbols symbols;
    symbols_of(state, swept, rheology_id<R>, flavour, symbols);
    // Where each map component's amplitudes are: the first three in the state's slots, an
    // oblique body's order-1 pair in the cosine and sine slots of its order-1 state (the same
    // radial operator and harmonics, so the same dissipation terms).
    const int components = order_one ? kMapComponents : kMapComponentsWithoutObliquity;
    const auto source = [&](int c) -> const PeriodicState& {
        return c < kMapComponentsWithoutObliquity ? state : *order_one;
    };
    const auto slot = [](int c) {
        return static_cast<std::size_t>(c < kMapComponentsWithoutObliquity ? c : c - 2);
    };
    // v[(part * kMapComponents + component) * B + i]: the part's amplitudes per harmonic as
    // (Re, Im) pairs.
    std::vector<double> v(kParts * kMapComponents * static_cast<std::size_t>(B));
    const auto at = [&](std::size_t p, std::size_t c) {
        return v.data() + (p * kMapComponents + c) * static_cast<std::size_t>(B);
    };
    // What a sample of the time integration makes of one component's squares (the order-2
    // weights are the angular functions' own), and what the layer's power makes of the time
    // integral of the samples; the continuous means are already rates.
    const double sample_scale =
        flavour == Flavour::Continuous ? 1.0 : R::sample(1.0, 0.0, 0.0, dt);
    const double window = flavour == Flavour::Continuous
                              ? 1.0
                              : static_cast<double>(model_.run.nperiod) * dt;
    std::vector<DissipationTerm> terms;
    const auto& p = model_.body.rheology.template of<R>();
    const auto context = terms_context_of<R>(p, flavour, symbols);
    for (int l = span.first; l <= span.last; ++l) {
        const double eta = layer_eta[static_cast<std::size_t>(l - 1)];
        layer_terms<R>(p, context, mu(l), eta, flavour, symbols, terms);
        const double scale = R::layer_power(1.0, eta) * sample_scale / window;
        LayerMap& map = out[static_cast<std::size_t>(l - 1)];
        map.components = components;
        for (const DissipationTerm& term : terms) {
            std::fill(v.begin(), v.end(), 0.0);
            for (int c = 0; c < components; ++c)
                for (int h = 1; h <= state.harmonics; ++h) {
                    const std::size_t hi = static_cast<std::size_t>(h - 1);
                    Complex t[3];
                    int k = 0;
                    for (const unknowns::StressRow s : unknowns::stress_rows(l))
                        t[k++] = term.gain[hi] * source(c).x[hi][slot(c)]
                                                        [static_cast<std::size_t>(s.unknown - 1)];
                    for (std::size_t p = 0; p < kParts; ++p) {
                        const Complex a = parts_[p][0] * t[0] + parts_[p][1] * t[1] +
                                          parts_[p][2] * t[2];
                        at(p, static_cast<std::size_t>(c))[2 * h - 2] = a.real();
                        at(p, static_cast<std::size_t>(c))[2 * h - 1] = a.imag();
                    }
                }
            for (std::size_t p = 0; p < kParts; ++p)
                for (std::size_t a = 0; a < static_cast<std::size_t>(components); ++a)
                    for (std::size_t b = 0; b < static_cast<std::size_t>(components); ++b) {
                        const double* x = at(p, a);
                        const double* y = at(p, b);
                        double mean = 0.0;
                        if (flavour == Flavour::Continuous) {
                            // Mean of the product of two sums of harmonics: half the sum of
                            // the products of their amplitudes' parts (the products of
                            // different harmonics average out over the period).
                            for (int i = 0; i < B; ++i)
                                mean += x[i] * y[i] / 2.0;
                        } else {
                            double sum = 0.0;
                            for (int i = 0; i < B; ++i)
                                for (int k = 0; k < B; ++k)
                                    sum += w.gram[static_cast<std::size_t>(i * B + k)] * x[i] *
                                           y[k];
                            const double* f = bfirst.data();
                            const double* g = blast.data();
                            mean = window_integral(sum, dot(f, x, B) * dot(f, y, B),
                                                   dot(g, x, B) * dot(g, y, B), dt);
                        }
                        map.g[p][a][b] += term.weight * mean * scale;
                    }
        }
    }
}

PeriodRecord PeriodReduction::reduce(const PeriodicState& state, Rheology rheology,
                                     Flavour flavour, std::span<const double> layer_eta,
                                     const HarmonicForcing& forcing, RecordFields fields) {
    check_harmonics(state);
    PeriodRecord out;
    out.power = power(state, rheology, flavour, layer_eta, out.layer_heating);
    finish(state, flavour, forcing, fields, out);
    return out;
}

void PeriodReduction::finish(const PeriodicState& state, Flavour flavour,
                             const HarmonicForcing& forcing, RecordFields fields,
                             PeriodRecord& out) const {
    // Surface amplitudes per harmonic: the order-0 surface displacement (mean of the two
    // outermost nodes) and the equatorial displacement.
    const DegreeFactors f = degree_factors(model_.run.j);
    const EquatorHarmonics eq = equator_harmonics();
    const std::size_t H = static_cast<std::size_t>(state.harmonics);
    std::vector<Complex>& surface = finish_.surface;
    std::vector<Complex>& equator = finish_.equator;
    surface.assign(H, Complex{});
    equator.assign(H, Complex{});
    // The response of the Love numbers and the phase: order 0, or an order-1 model's cosine.
    const int response = response_slot(model_.orders);
    // Without the extremes only the fundamental's surface amplitude is read.
    const bool extremes = fields == RecordFields::All;
    for (int h = 1; h <= (extremes ? state.harmonics : 1); ++h) {
        const std::size_t hi = static_cast<std::size_t>(h - 1);
        const auto ur = [&](int node, int c) {
            const auto& x = state.x[hi][static_cast<std::size_t>(c)];
            return radial_displacement(f, x[static_cast<std::size_t>(unknowns::u_minus(node) - 1)],
                                       x[static_cast<std::size_t>(unknowns::u_plus(node) - 1)]);
        };
        surface[hi] = (ur(1, response) + ur(2, response)) / 2.0;
        if (!extremes) continue;
        equator[hi] = equator_displacement(eq, surface[hi],
                                           ur(1, kComponentCosine) + ur(2, kComponentCosine));
    }
    out.amplitude = std::abs(surface[0]);
    out.phase_lag_deg = phase_lag_degrees(forcing.order0[0], surface[0]);
    {
        // The inner interface lies midway between the two innermost nodes.
        const auto& x = state.x[0][static_cast<std::size_t>(response)];
        const auto ur = [&](int node) {
            return radial_displacement(f, x[static_cast<std::size_t>(unknowns::u_minus(node) - 1)],
                                       x[static_cast<std::size_t>(unknowns::u_plus(node) - 1)]);
        };
        std::vector<Complex>& jumps = finish_.jumps;
        jumps.clear();
        for (const DensityJump& d : model_.jumps)
            jumps.push_back(ur(d.node));
        const int ocean = model_.grid.liquid_layer;
        if (ocean > 0) jumps.push_back((ur(ocean + 1) + ur(ocean + 2)) / 2.0);
        const int N = model_.grid.N;
        if (ocean > 0 && !model_.grid.centre) jumps.push_back((ur(N) + ur(N + 1)) / 2.0);
        // The surface's tangential displacement, for l2: the mean of the two outermost
        // nodes', second order at the mid-radius between them (docs/method.md §8).
        const auto vt = [&](int node) {
            return tangential_displacement(model_.run.j,
                                           x[static_cast<std::size_t>(unknowns::u_minus(node) - 1)],
                                           x[static_cast<std::size_t>(unknowns::u_plus(node) - 1)]);
        };
        const Complex tangential = (vt(1) + vt(2)) / 2.0;
        const int b = model_.grid.bottom_node();
        out.love = love_(surface[0], tangential, (ur(b) + ur(b + 1)) / 2.0, forcing.order0[0],
                         jumps);
    }

    if (!extremes) return;

    const int nperiod = model_.run.nperiod, nsteps = model_.run.nsteps;
    const int start = nsteps - nperiod;
    if (flavour == Flavour::Continuous) {
        const TrigMinimum lowest = trig_minimum(surface);
        if (lowest.value < 0.0) {
            out.urmin = lowest.value;
            // As a fraction of the period after the start of the run's last period.
            double tn =
                lowest.phase - static_cast<double>(((start % nperiod) + nperiod) % nperiod) /
                                   static_cast<double>(nperiod);
            tn -= std::floor(tn);
            out.tn = tn >= 1.0 ? 0.0 : tn;
        }
        std::vector<Complex>& negated = finish_.negated;
        negated.resize(H);
        for (std::size_t h = 0; h < H; ++h)
            negated[h] = -equator[h];
        const double low = trig_minimum(equator).value;
        const double high = -trig_minimum(negated).value;
        out.urthmax = std::max({0.0, -low, high});
        return;
    }

    // The run's last period, step by step as the time integration takes it
    // (model/last_period_extremes.hpp).
    const int B = basis_;
    std::vector<double> vs(static_cast<std::size_t>(B)), ve(vs), b(vs);
    for (std::size_t hi = 0; hi < H; ++hi) {
        vs[2 * hi] = surface[hi].real();
        vs[2 * hi + 1] = surface[hi].imag();
        ve[2 * hi] = equator[hi].real();
        ve[2 * hi + 1] = equator[hi].imag();
    }
    for (int n = std::max(start + 1, 1); n <= nsteps; ++n) {
        basis(n, b.data());
        const double ursurf = dot(b.data(), vs.data(), B);
        const double urth = dot(b.data(), ve.data(), B);
        add_last_period_step(out, n, nsteps, nperiod, ursurf, urth);
    }
    close_last_period(out);
}

} // namespace tidal
