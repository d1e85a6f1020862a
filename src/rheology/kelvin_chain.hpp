#pragma once
// Method: docs/method.md §5 (rheologies and their time schemes).
// A Maxwell body in series with Kelvin-Voigt elements: the compliance
//   J(s) = 1/mu + spring + fluidity/s + sum_i J_i / (1 + s t_i)
// (mu the rigidity, Pa; spring an extra instantaneous compliance, 1/Pa; fluidity 1/(Pa s), the
// inverse of the series dashpots' viscosity; element i of compliance J_i, 1/Pa, and
// retardation time t_i, s). Burgers is one element; Andrade's power-law creep is carried by a
// Prony series of them.
//
// Time stepping, second order: with 2e the strain measure of the rows (tau = 2 mu e
// elastically),
//   2 e_n = tau_n (1/mu + spring) + fluidity dt (tau_0/2 + tau_1 + ... + tau_{n-1} + tau_n/2)
//           + sum_i w_i,n,
// the dashpots by the trapezoidal rule, as the Maxwell memory, and each element's law
// w' = (J_i tau - w)/t_i integrated exactly for a stress linear over the step:
//   w_i,n = E_i w_i,n-1 + A_i tau_{n-1} + B_i tau_n,   E = e^{-h}, h = dt/t_i,
//   A = J ((1 - E)/h - E),   B = J (1 - (1 - E)/h).
// (The trapezoid would do for the elements too, but an element much shorter than the step
// then keeps a mode that flips sign every step and hardly decays: e^{-h} damps it.) The row is
//   mu-terms of the displacements + (1 + mu spring + c/2 + mu sum_i B_i) tau_n
//     = -c (tau_0/2 + memory) - mu sum_i (E_i w_i,n-1 + A_i tau_{n-1}),   c = mu fluidity dt,
// tau_0 being the elastic state the run starts from. In a periodic state x_n = X z^n the
// element's strain is W = (A + B z)/(z - E) tau, which periodic_constitutive uses.
//
// Dissipation per unit volume: tau^2 fluidity / 2 in the dashpots, (tau - w_i/J_i)^2 J_i/(2 t_i)
// in element i (its dashpot's stress squared over twice its viscosity t_i/J_i).
//
// A chain type derives from KelvinChain<Self, its Parameters> and gives (p its parameters)
//   elements(p)                          its number of elements;
//   parts(p, mu, eta, f) -> ChainParts    spring and fluidity;
//   element(p, mu, eta, f, i) -> ChainElement  J_i and t_i;
// where f is what its parts and elements share at one layer's (mu, eta), formed once per layer
// by shared(p, constants(p), mu, eta) (nothing by default; Andrade's creep factor), and
// constants(p) what that takes from the parameters alone. It may replace
// continuous_compliance (the exact J(i omega) where the chain approximates it), and declare
// kLayerFreeTimes when its elements' times t_i depend on its parameters alone, so that a
// reduction forms their steps once for all its layers and viscosities.
#include <array>
#include <cmath>
#include <cstddef>
#include <type_traits>

#include "rheology/constitutive.hpp"
#include "rheology/parameter.hpp"

namespace tidal {

struct ChainParts {
    double spring = 0.0;   // 1/Pa
    double fluidity = 0.0; // 1/(Pa s)
};
struct ChainElement {
    double compliance = 0.0; // J_i, 1/Pa
    double time = 0.0;       // t_i, s
};

// What depends on an element's step over its time alone (KelvinChain::step_shape).
struct ChainStepShape {
    double E, a, b;
};

// What every layer's dissipation terms share in a reduction of one state: the chain type's
// constants of its parameters (C) and, for a chain whose element times are the parameters'
// own, the elements' step shapes at the state's step (discrete flavour).
template <class C> struct ChainTermsContext {
    static constexpr int kShapesKept = 64;
    C constants;
    int shapes = 0; // how many of `shape` hold the elements' shapes (0: none kept)
    std::array<ChainStepShape, kShapesKept> shape;
};

template <class Self, class P> struct KelvinChain {
    using Parameters = P;

    // What the parts and elements share at one layer, and what that takes from the
    // parameters alone: nothing, unless the chain type says otherwise.
    struct Constants {};
    static Constants constants(const P&) { return {}; }
    static double shared(const P&, const Constants&, double, double) { return 0.0; }
    static constexpr bool kLayerFreeTimes = false;
    // The shared factor of one layer.
    static double shared_at(const P& p, double mu, double eta) {
        return Self::shared(p, Self::constants(p), mu, eta);
    }

    // One step of element e over dt: w_n = E w_{n-1} + A tau_{n-1} + B tau_n. Its shape, what
    // depends on the step over the element's time h = dt/t_i alone: E = e^{-h},
    // a = (1 - E)/h - E and b = 1 - (1 - E)/h, so that A = J a and B = J b.
    struct ElementStep {
        double E, A, B;
    };
    using StepShape = ChainStepShape;
    static StepShape step_shape(double time, double dt) {
        const double h = dt / time;
        const double E = std::exp(-h);
        const double g = -std::expm1(-h) / h; // (1 - E)/h
        return {E, g - E, (h + std::expm1(-h)) / h};
    }
    static ElementStep element_step(const ChainElement& e, const StepShape& s) {
        return {s.E, e.compliance * s.a, e.compliance * s.b};
    }
    static ElementStep element_step(const ChainElement& e, double dt) {
        return element_step(e, step_shape(e.time, dt));
    }

    // The time-stepping rows (V = double: the elements' steps are not a rate that a complex
    // dt could stand for; periodic states use periodic_constitutive).
    template <class V>
    static Constitutive<V> constitutive(const P& p, double mu, double eta, V dt) {
        static_assert(std::is_same_v<V, double>);
        const double f = shared_at(p, mu, eta);
        const ChainParts parts = Self::parts(p, mu, eta, f);
        double sum = 0.0;
        for (int i = 0; i < Self::elements(p); ++i)
            sum += element_step(Self::element(p, mu, eta, f, i), dt).B;
        const V c = (mu * parts.fluidity) * dt;
        return {V(mu), 1.0 + mu * parts.spring + c / 2.0 + mu * sum};
    }

    // The element's strain per unit stress in a periodic state: exactly J/(1 + s t)
    // (continuous), or that of the step, (A + B z)/(z - E) (discrete).
    static std::complex<double> element_strain(const ChainElement& e, Flavour flavour,
                                               std::complex<double> s, std::complex<double> z,
                                               double dt) {
        if (flavour == Flavour::Continuous) return e.compliance / (1.0 + s * e.time);
        return stepped_strain(element_step(e, dt), z);
    }
    static std::complex<double> stepped_strain(const ElementStep& st, std::complex<double> z) {
        return (st.A + st.B * z) / (z - st.E);
    }

    // The chain's compliance in a periodic state: the dashpots at s (i omega, or the
    // trapezoid's symbol), the elements exactly or as stepped (their steps from the context
    // where it keeps them).
    template <class C>
    static std::complex<double> compliance(const P& p, const ChainTermsContext<C>& c, double mu,
                                           double eta, Flavour flavour, std::complex<double> s,
                                           std::complex<double> z, double dt) {
        const double f = Self::shared(p, c.constants, mu, eta);
        const ChainParts parts = Self::parts(p, mu, eta, f);
        std::complex<double> J = 1.0 / mu + parts.spring + parts.fluidity / s;
        for (int i = 0; i < Self::elements(p); ++i) {
            const ChainElement e = Self::element(p, mu, eta, f, i);
            J += flavour == Flavour::Continuous
                     ? element_strain(e, flavour, s, z, dt)
                     : stepped_strain(c.shapes > 0
                                          ? element_step(e, c.shape[static_cast<std::size_t>(i)])
                                          : element_step(e, dt),
                                      z);
        }
        return J;
    }
    static std::complex<double> compliance(const P& p, double mu, double eta,
                                           Flavour flavour, std::complex<double> s,
                                           std::complex<double> z, double dt) {
        // One layer alone: the context's constants only (asked as for the continuous flavour,
        // which keeps no steps), each element stepped where it is used.
        return compliance(p, chain_context(p, Flavour::Continuous, dt), mu, eta, flavour, s, z,
                          dt);
    }

    // J(s) of the chain.
    static std::complex<double> continuous_compliance(const P& p, double mu,
                                                      double eta, std::complex<double> s) {
        return compliance(p, mu, eta, Flavour::Continuous, s, 0.0, 0.0);
    }

    // The rows of a periodic state: the compliance times mu (a chain that approximates its
    // law gives its exact one for the continuous flavour). Every layer's rows at one harmonic
    // share the context of rows_context.
    static auto rows_context(const P& p, Flavour flavour, std::complex<double>, double dt) {
        return chain_context(p, flavour, dt);
    }
    template <class C>
    static Constitutive<std::complex<double>>
    periodic_constitutive(const P& p, const ChainTermsContext<C>& c, double mu, double eta,
                          Flavour flavour, std::complex<double> s, std::complex<double> z,
                          double dt) {
        if (flavour == Flavour::Continuous)
            return {mu, mu * Self::continuous_compliance(p, mu, eta, s)};
        return {mu, mu * compliance(p, c, mu, eta, flavour, s, z, dt)};
    }
    static Constitutive<std::complex<double>>
    periodic_constitutive(const P& p, double mu, double eta, Flavour flavour,
                          std::complex<double> s, std::complex<double> z, double dt) {
        return periodic_constitutive(p, rows_context(p, flavour, s, dt), mu, eta, flavour, s, z,
                                     dt);
    }

    // Columns: the dashpots' memory, the previous stress (less the elastic state, so that the
    // columns start at zero), the elements' parts v_i of their next strains (see start).
    static int columns(const P& p) { return 2 + Self::elements(p); }
    // c, mu, fluidity, then E_i, A_i, B_i, 1/J_i, J_i/t_i for every element.
    static constexpr int kElementCoefficients = 5;
    static int coefficients(const P& p) {
        return 3 + kElementCoefficients * Self::elements(p);
    }
    static void step_coefficients(const P& p, double mu, double eta, double dt,
                                  double* k) {
        const double f = shared_at(p, mu, eta);
        const ChainParts parts = Self::parts(p, mu, eta, f);
        k[0] = (mu * parts.fluidity) * dt;
        k[1] = mu;
        k[2] = parts.fluidity;
        for (int i = 0; i < Self::elements(p); ++i) {
            const ChainElement e = Self::element(p, mu, eta, f, i);
            const ElementStep st = element_step(e, dt);
            double* ki = k + 3 + kElementCoefficients * i;
            ki[0] = st.E;
            ki[1] = st.A;
            ki[2] = st.B;
            ki[3] = 1.0 / e.compliance;
            ki[4] = e.compliance / e.time;
        }
    }

    // The history holds, per element, the part of its next strain that the step's start
    // already fixes, v_i = E_i w_i + A_i tau (w_i and tau after the step): the load reads it,
    // and the next step completes the strain as v_i + B_i tau_new. Written from the elastic
    // start (w_i = 0) before the first load.
    template <class K, class H>
    [[gnu::always_inline]] static void start(const K& k, double elastic, const H& h) {
        const auto previous = h[1] + elastic;
        for (int i = 0; i < elements_in(h); ++i) {
            const int f = 3 + kElementCoefficients * i;
            h.set(2 + i, k[f] * h[2 + i] + k[f + 1] * previous);
        }
    }

    // The element sums run in two interleaved partial sums (even and odd elements), so that
    // a long series is not one chain of dependent additions.
    template <class K, class H>
    [[gnu::always_inline]] static auto load(const K& k, double elastic, const H& h) {
        const double half = elastic / 2.0;
        std::remove_cv_t<decltype(h[1] + elastic)> even{}, odd{};
        const int n = elements_in(h);
        for (int i = 0; i < n; ++i) {
            if (i % 2 == 0)
                even = even + h[2 + i];
            else
                odd = odd + h[2 + i];
        }
        return -k[0] * (half + h[0]) - k[1] * (even + odd);
    }

    // One component's step, as advance_and_load takes it (its load is read again later).
    template <class K, class V, class H>
    [[gnu::always_inline]] static V advance(const K& k, double elastic, V stress, const H& h,
                                            double) {
        const V stresses[1] = {stress};
        const H histories[1] = {h};
        V loads[1], dissipation[1];
        advance_and_load<true, 1>(k, elastic, stresses, histories, loads, dissipation);
        return dissipation[0];
    }

    // The step of the C components of one stress unknown after a solve, and the load of the
    // next, element by element with the components inside, so that each element's constants
    // are read once for all of them: each element's strain w = v + B tau completes, its
    // dashpot's stress tau - w/J dissipates, and its new part v = E w + A tau is kept and
    // summed into the load (the same sums as load). The dissipation terms, in `dissipation`,
    // are formed only when kDissipation (the window's steps).
    template <bool kDissipation, int C, class K, class V, class H>
    [[gnu::always_inline]] static void advance_and_load(const K& k, double elastic,
                                                        const V (&stress)[C], const H (&h)[C],
                                                        V (&out)[C], V (&dissipation)[C]) {
        V now[C], even[C], odd[C], loss_even[C], loss_odd[C];
        for (int c = 0; c < C; ++c) {
            const V settled = stress[c] - elastic;
            now[c] = settled + elastic; // the stress as the next step reads it back
            even[c] = odd[c] = loss_even[c] = loss_odd[c] = V{};
            h[c].set(0, h[c][0] + stress[c]);
            h[c].set(1, settled);
        }
        const int n = elements_in(h[0]);
        for (int i = 0; i < n; ++i) {
            const int f = 3 + kElementCoefficients * i;
            const auto E = k[f], A = k[f + 1], B = k[f + 2];
            for (int c = 0; c < C; ++c) {
                const V w = h[c][2 + i] + B * stress[c];
                const V v = E * w + A * now[c];
                h[c].set(2 + i, v);
                if constexpr (kDissipation) {
                    const V r = stress[c] - w * k[f + 3];
                    if (i % 2 == 0)
                        loss_even[c] = loss_even[c] + r * r * k[f + 4];
                    else
                        loss_odd[c] = loss_odd[c] + r * r * k[f + 4];
                }
                if (i % 2 == 0)
                    even[c] = even[c] + v;
                else
                    odd[c] = odd[c] + v;
            }
        }
        const double half = elastic / 2.0;
        for (int c = 0; c < C; ++c) {
            out[c] = -k[0] * (half + h[c][0]) - k[1] * (even[c] + odd[c]);
            if constexpr (kDissipation)
                dissipation[c] = stress[c] * stress[c] * k[2] + (loss_even[c] + loss_odd[c]);
        }
    }

    static bool dissipates(int, int) { return true; }

    template <class V> static V sample(V s0, V s1, V s2, double) {
        return s0 + 2.0 * s1 + 2.0 * s2;
    }

    // The samples are twice the dissipation per unit volume.
    template <class V> static V layer_power(V integral, V) { return integral / 2.0; }

    // The dashpots' trapezoidal rule.
    static std::complex<double> discrete_symbol(std::complex<double> z, double dt) {
        return 2.0 * (z - 1.0) / ((z + 1.0) * dt);
    }
    static std::complex<double> step_for_symbol(std::complex<double> s) { return 2.0 / s; }

    // The context of one state's reduction (ChainTermsContext); the shapes only where the
    // element times are the parameters' own (kLayerFreeTimes).
    static auto terms_context(const P& p, Flavour flavour, const HarmonicSymbols& hs) {
        return chain_context(p, flavour, hs.dt);
    }
    // The same at a step dt.
    static auto chain_context(const P& p, Flavour flavour, double dt) {
        using Context = ChainTermsContext<decltype(Self::constants(p))>;
        Context c{Self::constants(p), 0, {}};
        const int n = Self::elements(p);
        if (Self::kLayerFreeTimes && flavour == Flavour::Discrete && n <= Context::kShapesKept) {
            const double f = Self::shared(p, c.constants, 1.0, 1.0);
            for (int i = 0; i < n; ++i)
                c.shape[static_cast<std::size_t>(i)] =
                    step_shape(Self::element(p, 1.0, 1.0, f, i).time, dt);
            c.shapes = n;
        }
        return c;
    }

    // The dashpots' term (the stress, weighted by the fluidity) and one per element, its
    // dashpot's stress tau - w/J_i, weighted by J_i/t_i.
    template <class C>
    static void dissipation_terms(const P& p, const ChainTermsContext<C>& c, double mu, double eta,
                                  Flavour flavour, const HarmonicSymbols& hs,
                                  std::vector<DissipationTerm>& out) {
        const int n = Self::elements(p);
        DissipationTerm::reset(out, 1 + n, hs.harmonics);
        const double f = Self::shared(p, c.constants, mu, eta);
        out[0].set_stress(Self::parts(p, mu, eta, f).fluidity);
        for (int i = 0; i < n; ++i) {
            const ChainElement e = Self::element(p, mu, eta, f, i);
            DissipationTerm& t = out[static_cast<std::size_t>(1 + i)];
            t.weight = e.compliance / e.time;
            if (flavour == Flavour::Discrete) {
                // The element's step, the same at every harmonic.
                const ElementStep st =
                    c.shapes > 0 ? element_step(e, c.shape[static_cast<std::size_t>(i)])
                                 : element_step(e, hs.dt);
                for (int h = 0; h < hs.harmonics; ++h) {
                    const std::size_t hi = static_cast<std::size_t>(h);
                    t.gain[hi] = 1.0 - stepped_strain(st, hs.z[hi]) / e.compliance;
                }
                continue;
            }
            for (int h = 0; h < hs.harmonics; ++h) {
                const std::size_t hi = static_cast<std::size_t>(h);
                t.gain[hi] = 1.0 - element_strain(e, flavour, hs.s[hi], hs.z[hi], hs.dt) /
                                       e.compliance;
            }
        }
    }
    static void dissipation_terms(const P& p, double mu, double eta, Flavour flavour,
                                  const HarmonicSymbols& hs, std::vector<DissipationTerm>& out) {
        dissipation_terms(p, terms_context(p, flavour, hs), mu, eta, flavour, hs, out);
    }

  private:
    template <class H> static int elements_in(const H& h) { return h.columns() - 2; }
};

} // namespace tidal
