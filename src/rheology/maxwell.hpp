#pragma once
// Method: docs/method.md §5 (rheologies and their time schemes).
// Maxwell body: a spring (rigidity mu) and a dashpot (viscosity eta) in series,
// de/dt = (dtau/dt) / (2 mu) + tau / (2 eta). The viscous relaxation is integrated by the
// trapezoidal rule: each stress unknown keeps a running sum of its past values (its memory,
// started from the elastic state), and the memory loads the constitutive row.
#include "rheology/constitutive.hpp"
#include "rheology/parameter.hpp"

namespace tidal {

struct Maxwell {
    static constexpr std::string_view name = "maxwell";   // column prefix of the tables
    static constexpr std::string_view title = "Maxwell";  // in messages
    static constexpr std::string_view legacy_suffix = ""; // "pcelketa", "time", ...
    static constexpr bool legacy_files = true;

    // No parameters beyond the layer's rigidity and viscosity.
    using Parameters = NoParameters;
    static constexpr auto parameters = declare_parameters<Parameters>();

    // Row: mu-terms of the displacements + (1 + c/2) tau = -c (tau_elastic/2 + memory), with
    // c = (mu/eta) dt the relaxation over one step.
    template <class V>
    static Constitutive<V> constitutive(const Parameters&, double mu, double eta, V dt) {
        const V c = (mu / eta) * dt;
        return {V(mu), c / 2.0 + 1.0};
    }

    static int columns(const Parameters&) { return 1; }      // the memory
    static int coefficients(const Parameters&) { return 1; } // c
    static void step_coefficients(const Parameters&, double mu, double eta, double dt,
                                  double* k) {
        k[0] = (mu / eta) * dt;
    }

    // Load on the constitutive row of a stress unknown whose elastic reference value is
    // `elastic`: minus c times (half the elastic value plus the memory).
    template <class K, class H> [[gnu::always_inline]] static auto load(const K& k, double elastic, const H& h) {
        const double half = elastic / 2.0;
        return -k[0] * (half + h[0]);
    }

    // Adds the new stress to the memory; the dissipation term is the squared stress.
    template <class K, class V, class H>
    [[gnu::always_inline]] static V advance(const K&, double, V stress, const H& h, double) {
        h.set(0, h[0] + stress);
        return stress * stress;
    }

    static bool dissipates(int, int) { return true; }

    // Sum of squared stresses of the three load components; the order-2 ones count twice.
    template <class V> static V sample(V s0, V s1, V s2, double) {
        return s0 + 2.0 * s1 + 2.0 * s2;
    }

    // tau^2 / (2 eta) integrated over the window (the integral is of the squared stresses).
    // (V: double, or the lane vector of the steady reduction's batches.)
    template <class V> static V layer_power(V integral, V eta) { return integral / 2.0 / eta; }

    // Periodic state: the trapezoidal rule's symbol, (x_n - x_{n-1}) = dt (x'_n + x'_{n-1}) / 2,
    // s = 2 (z - 1) / ((z + 1) dt); the row's rate 2/dt becomes s for the step 2/s.
    static std::complex<double> discrete_symbol(std::complex<double> z, double dt) {
        return 2.0 * (z - 1.0) / ((z + 1.0) * dt);
    }
    static std::complex<double> step_for_symbol(std::complex<double> s) { return 2.0 / s; }
    // What is squared in the dissipation: the stress itself.
    static void dissipation_terms(const Parameters&, double, double, Flavour,
                                 const HarmonicSymbols& hs, std::vector<DissipationTerm>& out) {
        DissipationTerm::reset(out, 1, hs.harmonics);
        out[0].set_stress(1.0);
    }
};

} // namespace tidal
