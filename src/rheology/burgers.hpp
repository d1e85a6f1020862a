#pragma once
// Method: docs/method.md §5 (rheologies and their time schemes).
// Burgers body: a Maxwell element (rigidity mu, viscosity eta) in series with a Kelvin-Voigt
// element of rigidity mu * rigidity_ratio and viscosity eta * viscosity_ratio:
//   J(s) = 1/mu + 1/(eta s) + 1/(mu_2 + eta_2 s).
// The transient element adds a second, shorter absorption band below the Maxwell peak.
#include "rheology/kelvin_chain.hpp"
#include "rheology/rheology_id.hpp"

namespace tidal {

struct Burgers : KelvinChain<Burgers> {
    static constexpr Rheology id = Rheology::Burgers;
    static constexpr std::string_view name = "burgers";
    static constexpr std::string_view title = "Burgers";
    static constexpr std::string_view legacy_suffix = "";
    static constexpr bool legacy_files = false;

    static int elements(const RheologyParameters&) { return 1; }
    static ChainParts parts(const RheologyParameters&, double, double eta) {
        return {0.0, 1.0 / eta};
    }
    // J_2 = 1/mu_2 and t_2 = eta_2/mu_2.
    static ChainElement element(const RheologyParameters& p, double mu, double eta, int) {
        const double mu2 = mu * p.burgers.rigidity_ratio;
        const double eta2 = eta * p.burgers.viscosity_ratio;
        return {1.0 / mu2, eta2 / mu2};
    }
};

} // namespace tidal
