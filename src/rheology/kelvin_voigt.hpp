#pragma once
// Method: docs/method.md §5 (rheologies and their time schemes).
// Kelvin-Voigt body: a spring (rigidity mu) and a dashpot (viscosity eta) in parallel,
// tau = 2 mu e + 2 eta de/dt. Each stress component of a layer carries a strain, advanced by
// backward Euler; the strain before the step loads the constitutive row, and the strain rate
// (a central difference over two steps) gives the dissipation 2 eta (de/dt)^2.
#include "rheology/constitutive.hpp"
#include "rheology/parameter.hpp"

namespace tidal {

struct KelvinVoigt {
    static constexpr std::string_view name = "kelvin_voigt";
    static constexpr std::string_view title = "Kelvin-Voigt";
    static constexpr std::string_view legacy_suffix = "kelvin"; // "pcelketakelvin", ...
    static constexpr bool legacy_files = true;

    // No parameters beyond the layer's rigidity and viscosity.
    using Parameters = NoParameters;
    static constexpr auto parameters = declare_parameters<Parameters>();

    // Row: (mu + eta/dt)-terms of the displacements + tau = -(2 eta/dt) e_{n-1}.
    template <class V>
    static Constitutive<V> constitutive(const Parameters&, double mu, double eta, V dt) {
        const V M = mu;
        return {M + eta / dt, V(1.0)};
    }

    // The strain before the previous step and before this step (the dissipation's central
    // difference reaches two steps back).
    static int columns(const Parameters&) { return 2; }
    // g = 2 eta/dt, the strain load factor; 2 (mu + eta/dt), the backward-Euler stiffness; eta.
    static int coefficients(const Parameters&) { return 3; }
    static void step_coefficients(const Parameters&, double mu, double eta, double dt,
                                  double* k) {
        k[0] = 2.0 * eta / dt;
        k[1] = 2.0 * (mu + eta / dt);
        k[2] = eta;
    }

    template <class K, class H> [[gnu::always_inline]] static auto load(const K& k, double, const H& h) {
        return -k[0] * h[1];
    }

    // strain' = (stress + 2 strain eta/dt) / (2 (mu + eta/dt)); the dissipation term is the
    // squared change over two steps, strain' minus the strain before the previous step.
    // The update multiplies by eta and divides by dt itself (rather than using g = 2 eta/dt),
    // the order in which the published results were computed.
    template <class K, class V, class H>
    [[gnu::always_inline]] static V advance(const K& k, double, V stress, const H& h, double dt) {
        const V a = (stress + 2.0 * h[1] * k[2] / dt) / k[1];
        const V change = a - h[0];
        h.set(0, h[1]);
        h.set(1, a);
        return change * change;
    }

    // No strain rate at the first and the last step of a run: nothing is dissipated there.
    static bool dissipates(int step, int nsteps) { return step > 1 && step < nsteps; }

    // Squared central-difference strain rates; the order-2 components count twice.
    template <class V> static V sample(V s0, V s1, V s2, double dt) {
        return (s0 + 2.0 * s1 + 2.0 * s2) / (dt * dt) / 4.0;
    }

    // 2 eta (de/dt)^2 integrated over the window, written as the division by 2 (1/(4 eta)) in
    // which the published results were computed (it is 2 eta times the integral, to rounding).
    template <class V> static V layer_power(V integral, V eta) {
        return integral / 2.0 / ((1.0 / eta) / 4.0);
    }

    // Periodic state: backward Euler, x_n - x_{n-1} = dt x'_n, s = (1 - 1/z) / dt; the row's
    // rate 1/dt becomes s for the step 1/s.
    static std::complex<double> discrete_symbol(std::complex<double> z, double dt) {
        return (1.0 - 1.0 / z) / dt;
    }
    static std::complex<double> step_for_symbol(std::complex<double> s) { return 1.0 / s; }
    // What is squared in the dissipation, as a multiple of the stress amplitude: the strain
    // rate s e with e = tau / (2 (mu + eta s)), or (discrete flavour) the run's sample at step
    // n, the strain after step n minus that after step n-2: 2 dt times the central-difference
    // rate (z - 1/z)/(2 dt) at step n-1.
    static void dissipation_terms(const Parameters&, double mu, double eta,
                                 Flavour flavour, const HarmonicSymbols& hs,
                                 std::vector<DissipationTerm>& out) {
        DissipationTerm::reset(out, 1, hs.harmonics);
        for (int h = 0; h < hs.harmonics; ++h) {
            const std::complex<double> s = hs.s[static_cast<std::size_t>(h)];
            const std::complex<double> z = hs.z[static_cast<std::size_t>(h)];
            const double dt = hs.dt;
            const std::complex<double> strain = 1.0 / (2.0 * (mu + eta * s));
            out[0].gain[static_cast<std::size_t>(h)] =
                flavour == Flavour::Continuous
                    ? s * strain
                    : 2.0 * dt * ((z - 1.0 / z) / (2.0 * dt)) / z * strain;
        }
    }
};

} // namespace tidal
