#pragma once
// Method: docs/method.md §5 (rheologies and their time schemes).
// Andrade body: creep compliance J(t) = 1/mu + t/eta + beta t^alpha, with
// beta = mu^(alpha-1) eta^(-alpha) zeta^(-alpha); in the frequency domain
//   J(s) = 1/mu + 1/(eta s) + beta Gamma(1+alpha) s^(-alpha).
// The power-law term has no finite memory; the time stepping carries it by the Prony series
// fitted to s^(-alpha) over the band the run resolves (prony_fit.hpp), scaled by
// beta Gamma(1+alpha): a spring, a dashpot and Kelvin-Voigt elements in series with the
// Maxwell body (kelvin_chain.hpp). The discrete periodic state is that of the series; the
// continuous one uses the exact compliance, so the step error includes the fit's error.
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "rheology/kelvin_chain.hpp"
#include "rheology/prony_fit.hpp"

namespace tidal {

struct AndradeParameters {
    double alpha = 0.3;
    double zeta = 1.0;
    int elements = 16; // Kelvin-Voigt elements of the Prony series
    // The series fitted to s^(-alpha) over the band a run resolves (prepare).
    PronySeries series;
};

struct Andrade : KelvinChain<Andrade, AndradeParameters> {
    static constexpr std::string_view name = "andrade";
    static constexpr std::string_view title = "Andrade";
    static constexpr std::string_view legacy_suffix = "";
    static constexpr bool legacy_files = false;

    // alpha = 0.3 is the exponent measured for ice and olivine (0.2-0.4; Castillo-Rogez et
    // al. 2011, JGR 116, E09008), and zeta = 1 makes the Andrade time equal to the Maxwell
    // time (Efroimsky 2012, ApJ 746, 150). Each element of the series is a history column per
    // layer and stress unknown, and the fit's error stops falling long before 64 of them.
    // The element count keeps its place among the numerics, where body files have it.
    static constexpr auto parameters = declare_parameters<Parameters>({
        {.real = &Parameters::alpha,
         .key = "alpha",
         .range = {0.0, 1.0, true, true},
         .meaning = "creep exponent, 0 < alpha < 1",
         .origin = "ice and olivine: Castillo-Rogez et al. (2011, JGR 116, E09008)"},
        {.real = &Parameters::zeta,
         .key = "zeta",
         .range = {1e-6, 1e6},
         .meaning = "Andrade time / Maxwell time",
         .origin = "equal times: Efroimsky (2012, ApJ 746, 150)"},
        {.integer = &Parameters::elements,
         .key = "andrade_elements",
         .table = "numerics",
         .range = {1, 64},
         .meaning = "Kelvin-Voigt elements of the Andrade creep's series",
         .origin = "fit error about 5e-5 over the presets' bands"},
    });

    // Fits the Prony series to the band of angular frequencies (rad/s) a run resolves: from
    // one over its duration to one over its time step.
    static void prepare(Parameters& p, double band_low, double band_high) {
        p.series = fit_power_law(p.alpha, band_low, band_high, p.elements);
    }

    // How well the series carries the creep, said by every run.
    static LawApproximation approximation(const Parameters& p) {
        const PronySeries& s = p.series;
        std::string what = "Andrade creep carried by " + std::to_string(s.weight.size()) +
                           " Kelvin-Voigt element" + (s.weight.size() == 1 ? "" : "s");
        if (static_cast<int>(s.weight.size()) < p.elements)
            what += " (of " + std::to_string(p.elements) +
                    " asked; the fit gave the others no weight)";
        return {what, s.worst_error, s.band_low, s.band_high, "numerics.andrade_elements"};
    }

    // What the creep factor takes from the parameters alone: zeta^(-alpha) and
    // Gamma(1+alpha); and the last creep factor formed with them, by the bits of its rigidity
    // and viscosity, which the next layer of a uniform shell takes again (a context lives in
    // one reduction or assembly, on one thread).
    struct Constants {
        double zeta_power = 0.0, gamma = 0.0;
        struct Last {
            bool known = false;
            std::uint64_t mu = 0, eta = 0;
            double g = 0.0;
        };
        mutable Last last;
    };
    static Constants constants(const Parameters& p) {
        return {std::pow(p.zeta, -p.alpha), std::tgamma(1.0 + p.alpha), {}};
    }
    // beta Gamma(1+alpha), 1/(Pa s^alpha): the factor of s^(-alpha) in J(s).
    static double creep_factor(const AndradeParameters& a, const Constants& c, double mu,
                               double eta) {
        const std::uint64_t mu_bits = std::bit_cast<std::uint64_t>(mu);
        const std::uint64_t eta_bits = std::bit_cast<std::uint64_t>(eta);
        if (c.last.known && c.last.mu == mu_bits && c.last.eta == eta_bits) return c.last.g;
        const double beta = std::pow(mu, a.alpha - 1.0) * std::pow(eta, -a.alpha) * c.zeta_power;
        c.last = {true, mu_bits, eta_bits, beta * c.gamma};
        return c.last.g;
    }
    static double creep_factor(const AndradeParameters& a, double mu, double eta) {
        return creep_factor(a, constants(a), mu, eta);
    }

    // The chain's parts and elements share the creep factor g; the elements' times are the
    // series', whatever the layer.
    static double shared(const Parameters& p, const Constants& c, double mu, double eta) {
        return creep_factor(p, c, mu, eta);
    }
    static constexpr bool kLayerFreeTimes = true;
    static int elements(const Parameters& p) {
        return static_cast<int>(p.series.weight.size());
    }
    static ChainParts parts(const Parameters& p, double, double eta, double g) {
        return {g * p.series.spring, 1.0 / eta + g * p.series.dashpot};
    }
    static ChainElement element(const Parameters& p, double, double, double g, int i) {
        const std::size_t at = static_cast<std::size_t>(i);
        return {g * p.series.weight[at], p.series.time[at]};
    }

    // The exact compliance, for the continuous periodic state; s_power = s^(-alpha), g the
    // creep factor.
    static std::complex<double> continuous_compliance(double mu, double eta, double g,
                                                      std::complex<double> s,
                                                      std::complex<double> s_power) {
        return 1.0 / mu + 1.0 / (eta * s) + g * s_power;
    }
    static std::complex<double> continuous_compliance(const Parameters& p, double mu,
                                                      double eta, std::complex<double> s) {
        return continuous_compliance(mu, eta, creep_factor(p, mu, eta), s,
                                     std::pow(s, -p.alpha));
    }

    // What every layer's terms share in the reduction of one state: the chain's (discrete
    // flavour), or the constants and s^(-alpha) of each harmonic (continuous; beyond
    // kPowersKept harmonics the powers are formed per layer).
    static constexpr int kPowersKept = 8;
    struct TermsContext {
        ChainTermsContext<Constants> chain;
        int powers = 0;
        std::array<std::complex<double>, kPowersKept> s_power;
    };
    static TermsContext terms_context(const Parameters& p, Flavour flavour,
                                      const HarmonicSymbols& hs) {
        TermsContext c{KelvinChain<Andrade, AndradeParameters>::terms_context(p, flavour, hs), 0,
                       {}};
        if (flavour == Flavour::Continuous && hs.harmonics <= kPowersKept) {
            for (int h = 0; h < hs.harmonics; ++h)
                c.s_power[static_cast<std::size_t>(h)] =
                    std::pow(hs.s[static_cast<std::size_t>(h)], -p.alpha);
            c.powers = hs.harmonics;
        }
        return c;
    }

    // The continuous flavour's dissipation from the exact compliance: a stress amplitude tau
    // at frequency w dissipates -(w/4) |tau|^2 Im J(i w) on average; as the mean square of
    // gain * tau with the chain's normalisation (half the sample), gain^2 = -w Im J(i w).
    // What every layer's periodic rows share at one harmonic of factor s: the chain's
    // context and s^(-alpha) (continuous flavour).
    struct RowsContext {
        ChainTermsContext<Constants> chain;
        std::complex<double> s_power;
    };
    static RowsContext rows_context(const Parameters& p, Flavour flavour, std::complex<double> s,
                                    double dt) {
        return {KelvinChain<Andrade, AndradeParameters>::chain_context(p, flavour, dt),
                flavour == Flavour::Continuous ? std::pow(s, -p.alpha) : 0.0};
    }
    static Constitutive<std::complex<double>>
    periodic_constitutive(const Parameters& p, const RowsContext& c, double mu, double eta,
                          Flavour flavour, std::complex<double> s, std::complex<double> z,
                          double dt) {
        if (flavour == Flavour::Continuous)
            return {mu, mu * continuous_compliance(mu, eta,
                                                   creep_factor(p, c.chain.constants, mu, eta), s,
                                                   c.s_power)};
        return {mu, mu * compliance(p, c.chain, mu, eta, flavour, s, z, dt)};
    }
    static Constitutive<std::complex<double>>
    periodic_constitutive(const Parameters& p, double mu, double eta, Flavour flavour,
                          std::complex<double> s, std::complex<double> z, double dt) {
        return periodic_constitutive(p, rows_context(p, flavour, s, dt), mu, eta, flavour, s, z,
                                     dt);
    }

    static void dissipation_terms(const Parameters& p, const TermsContext& c, double mu,
                                  double eta, Flavour flavour, const HarmonicSymbols& hs,
                                  std::vector<DissipationTerm>& out) {
        if (flavour == Flavour::Discrete) {
            KelvinChain<Andrade, AndradeParameters>::dissipation_terms(p, c.chain, mu, eta,
                                                                       flavour, hs, out);
            return;
        }
        DissipationTerm::reset(out, 1, hs.harmonics);
        const double g = creep_factor(p, c.chain.constants, mu, eta);
        for (int h = 0; h < hs.harmonics; ++h) {
            const std::size_t hi = static_cast<std::size_t>(h);
            const std::complex<double> s = hs.s[hi];
            const std::complex<double> s_power =
                c.powers > 0 ? c.s_power[hi] : std::pow(s, -p.alpha);
            out[0].gain[hi] =
                std::sqrt(-s.imag() * continuous_compliance(mu, eta, g, s, s_power).imag());
        }
    }
    static void dissipation_terms(const Parameters& p, double mu, double eta, Flavour flavour,
                                  const HarmonicSymbols& hs, std::vector<DissipationTerm>& out) {
        dissipation_terms(p, terms_context(p, flavour, hs), mu, eta, flavour, hs, out);
    }
};

} // namespace tidal
