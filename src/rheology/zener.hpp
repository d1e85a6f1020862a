#pragma once
// Method: docs/method.md §5 (rheologies and their time schemes).
// Standard linear solid (Zener body): a spring (rigidity mu) in series with one Kelvin-Voigt
// element of rigidity mu_2 = mu * element_rigidity_ratio and viscosity eta (the swept one
// times the layer's factor):
//   J(s) = 1/mu + 1/(mu_2 + eta s).
// One absorption band and no long-term flow: the body is elastic at both ends of a sweep,
// with the unrelaxed rigidity mu where eta is large and the relaxed one
// mu_R = mu mu_2 / (mu + mu_2) where it is small. For a body whose elastic h2 depends on a
// uniform rigidity as 1/(1 + mu/mu_g), the heating peaks at
//   omega eta = (mu + mu_2) h2(mu) / h2(mu_R),
// the elastic h2 at the unrelaxed and at the relaxed rigidity (docs/method.md §5).
// In time, the element is the exponentially integrated one of kelvin_chain.hpp.
#include "rheology/kelvin_chain.hpp"

namespace tidal {

struct ZenerParameters {
    double element_rigidity_ratio = 1.0;
    bool operator==(const ZenerParameters&) const = default;
};

struct Zener : KelvinChain<Zener, ZenerParameters> {
    static constexpr std::string_view name = "zener";
    static constexpr std::string_view title = "Zener";
    static constexpr std::string_view legacy_suffix = "";
    static constexpr bool legacy_files = false;

    // The default, an element as stiff as the spring, makes the relaxed rigidity half the
    // unrelaxed one (a relaxation strength mu/mu_2 of 1): a middle choice within the range
    // of a tenth to ten that laboratory ice and rock anelasticity spans. The bounds are those
    // of the Burgers element, for the same reason (beyond them the element's strain is a
    // rounding-sized difference of large numbers).
    static constexpr auto parameters = declare_parameters<Parameters>({
        {.real = &Parameters::element_rigidity_ratio,
         .key = "element_rigidity_ratio",
         .range = {1e-6, 1e6},
         .meaning = "Kelvin-Voigt element's rigidity / the shell's",
         .origin = "relaxed rigidity half the unrelaxed one"},
    });

    static int elements(const Parameters&) { return 1; }
    // No series dashpot, no extra spring: no flow at long times.
    static ChainParts parts(const Parameters&, double, double, double) { return {0.0, 0.0}; }
    // J_2 = 1/mu_2 and t_2 = eta/mu_2.
    static ChainElement element(const Parameters& p, double mu, double eta, double, int) {
        const double mu2 = mu * p.element_rigidity_ratio;
        return {1.0 / mu2, eta / mu2};
    }
};

} // namespace tidal
