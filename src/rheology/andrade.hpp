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
#include <cmath>

#include "rheology/kelvin_chain.hpp"
#include "rheology/rheology_id.hpp"

namespace tidal {

struct Andrade : KelvinChain<Andrade> {
    static constexpr Rheology id = Rheology::Andrade;
    static constexpr std::string_view name = "andrade";
    static constexpr std::string_view title = "Andrade";
    static constexpr std::string_view legacy_suffix = "";
    static constexpr bool legacy_files = false;

    // beta Gamma(1+alpha), 1/(Pa s^alpha): the factor of s^(-alpha) in J(s).
    static double creep_factor(const AndradeParameters& a, double mu, double eta) {
        const double beta =
            std::pow(mu, a.alpha - 1.0) * std::pow(eta, -a.alpha) * std::pow(a.zeta, -a.alpha);
        return beta * std::tgamma(1.0 + a.alpha);
    }

    static int elements(const RheologyParameters& p) {
        return static_cast<int>(p.andrade.series.weight.size());
    }
    static ChainParts parts(const RheologyParameters& p, double mu, double eta) {
        const double g = creep_factor(p.andrade, mu, eta);
        return {g * p.andrade.series.spring, 1.0 / eta + g * p.andrade.series.dashpot};
    }
    static ChainElement element(const RheologyParameters& p, double mu, double eta, int i) {
        const std::size_t at = static_cast<std::size_t>(i);
        return {creep_factor(p.andrade, mu, eta) * p.andrade.series.weight[at],
                p.andrade.series.time[at]};
    }

    // The exact compliance, for the continuous periodic state.
    static std::complex<double> continuous_compliance(const RheologyParameters& p, double mu,
                                                      double eta, std::complex<double> s) {
        return 1.0 / mu + 1.0 / (eta * s) +
               creep_factor(p.andrade, mu, eta) * std::pow(s, -p.andrade.alpha);
    }

    // The continuous flavour's dissipation from the exact compliance: a stress amplitude tau
    // at frequency w dissipates -(w/4) |tau|^2 Im J(i w) on average; as the mean square of
    // gain * tau with the chain's normalisation (half the sample), gain^2 = -w Im J(i w).
    static void dissipation_terms(const RheologyParameters& p, double mu, double eta,
                                  Flavour flavour, const HarmonicSymbols& hs,
                                  std::vector<DissipationTerm>& out) {
        if (flavour == Flavour::Discrete) {
            KelvinChain<Andrade>::dissipation_terms(p, mu, eta, flavour, hs, out);
            return;
        }
        out.assign(1, {});
        for (int h = 0; h < hs.harmonics; ++h) {
            const std::complex<double> s = hs.s[static_cast<std::size_t>(h)];
            out[0].gain[static_cast<std::size_t>(h)] =
                std::sqrt(-s.imag() * continuous_compliance(p, mu, eta, s).imag());
        }
    }
};

} // namespace tidal
