#pragma once
// Method: docs/method.md §5 (rheologies and their time schemes).
// Burgers body: a Maxwell element (rigidity mu, viscosity eta) in series with a Kelvin-Voigt
// element of rigidity mu * rigidity_ratio and viscosity eta * viscosity_ratio:
//   J(s) = 1/mu + 1/(eta s) + 1/(mu_2 + eta_2 s).
// The transient element adds a second, shorter absorption band below the Maxwell peak.
#include "rheology/kelvin_chain.hpp"

namespace tidal {

// The transient element's rigidity mu * rigidity_ratio and viscosity eta * viscosity_ratio.
struct BurgersParameters {
    double rigidity_ratio = 1.0;
    double viscosity_ratio = 0.02;
    bool operator==(const BurgersParameters&) const = default;
};

struct Burgers : KelvinChain<Burgers, BurgersParameters> {
    static constexpr std::string_view name = "burgers";
    static constexpr std::string_view title = "Burgers";
    static constexpr std::string_view legacy_suffix = "";
    static constexpr bool legacy_files = false;

    // The defaults, an equally stiff transient element fifty times less viscous, are the
    // choice of Henning, O'Connell & Sasselov (2009, ApJ 707, 1000) for tidally heated rocky
    // planets; ice studies use ratios of the same order. Beyond twelve decades either way the
    // element's strain is a rounding-sized difference of large numbers (a viscosity ratio of
    // 1e-40 made the time-stepped power a hundred million times too large).
    static constexpr ParameterRange kRatios{1e-6, 1e6};
    static constexpr auto parameters = declare_parameters<Parameters>({
        {.real = &Parameters::rigidity_ratio,
         .key = "transient_rigidity_ratio",
         .range = kRatios,
         .meaning = "transient element's rigidity / the shell's",
         .origin = "Henning, O'Connell & Sasselov (2009, ApJ 707, 1000)"},
        {.real = &Parameters::viscosity_ratio,
         .key = "transient_viscosity_ratio",
         .range = kRatios,
         .meaning = "transient element's viscosity / the swept viscosity",
         .origin = "Henning, O'Connell & Sasselov (2009, ApJ 707, 1000)"},
    });

    static int elements(const Parameters&) { return 1; }
    static ChainParts parts(const Parameters&, double, double eta, double) {
        return {0.0, 1.0 / eta};
    }
    // J_2 = 1/mu_2 and t_2 = eta_2/mu_2.
    static ChainElement element(const Parameters& p, double mu, double eta, double, int) {
        const double mu2 = mu * p.rigidity_ratio;
        const double eta2 = eta * p.viscosity_ratio;
        return {1.0 / mu2, eta2 / mu2};
    }
};

} // namespace tidal
