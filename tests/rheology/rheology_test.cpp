// Burgers and Andrade against physics and against Maxwell: their dissipation terms add up to
// the loss of their compliance, they reduce to Maxwell as their transient creep vanishes, and
// Andrade's heating peak is broader than Maxwell's. (Both reach their scheme's periodic state,
// Burgers' at second order in the step, and agree with the plain path bit for bit:
// steady_state_test and time_integration_test.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "body/presets.hpp"
#include "steady/steady_sweep.hpp"
#include "shell_fixtures.hpp"
#include "timestep/run.hpp"

namespace tidal {
namespace {

using Complex = std::complex<double>;

ShellModel model_of(const RheologyParameters& p, int nperiod, int periods = 10) {
    Body body = *preset_body(1);
    body.rheology = p;
    return make_shell_model(body, RunConstants{2.0, nperiod, nperiod * periods});
}

// Sum over the dissipation terms of weight |gain|^2 at s = i w, against the loss of the
// compliance, -w Im J(i w): a stress amplitude tau dissipates (w/4) |tau|^2 (-Im J) on average
// whatever the mechanism, and the chain's samples are twice the dissipation.
template <class R> void expect_terms_match_the_loss(const RheologyParameters& all) {
    using Chain = KelvinChain<R, typename R::Parameters>;
    const typename R::Parameters& p = all.of<R>();
    const double mu = 3.3e9, eta = 1e14;
    for (const double w : {1e-7, 5.3e-5, 1e-2}) {
        HarmonicSymbols hs;
        hs.s = {Complex(0.0, w)};
        hs.z = {Complex(0.0)};
        std::vector<DissipationTerm> terms;
        Chain::dissipation_terms(p, mu, eta, Flavour::Continuous, hs, terms);
        double sum = 0.0;
        for (const DissipationTerm& t : terms)
            sum += t.weight * std::norm(t.gain[0]);
        const double loss = -w * Chain::continuous_compliance(p, mu, eta, hs.s[0]).imag();
        EXPECT_NEAR(sum / loss, 1.0, 1e-12) << w;
    }
}

TEST(Rheology, DissipationTermsAddUpToTheLossOfTheCompliance) {
    RheologyParameters p;
    expect_terms_match_the_loss<Burgers>(p);
    const ShellModel model = model_of(p, 200);
    expect_terms_match_the_loss<Andrade>(model.body.rheology); // its Prony series
}

// Andrade's creep factor and its power of the frequency are formed once per state from its
// parameters: every parameter set in one process must get its own. Against the compliance's
// definition written out with other functions (exp, log, lgamma), the dissipation terms'
// -w Im J(i w) through the shared context and the rows' compliance.
TEST(Rheology, AndradeSharedFactorsFollowEachParameterSet) {
    const double mu = 3.3e9, eta = 1e14, w = 5.3e-5;
    const Complex s(0.0, w);
    for (const double alpha : {0.3, 0.2, 0.45})
        for (const double zeta : {1.0, 4.0}) {
            AndradeParameters a;
            a.alpha = alpha;
            a.zeta = zeta;
            const double factor = std::exp((alpha - 1.0) * std::log(mu) -
                                           alpha * std::log(eta * zeta) + std::lgamma(1.0 + alpha));
            const Complex J = 1.0 / mu + 1.0 / (eta * s) +
                              factor * std::exp(-alpha * std::log(s));
            HarmonicSymbols hs;
            hs.s = {s};
            hs.z = {Complex(0.0)};
            std::vector<DissipationTerm> terms;
            Andrade::dissipation_terms(a, Andrade::terms_context(a, Flavour::Continuous, hs), mu,
                                       eta, Flavour::Continuous, hs, terms);
            EXPECT_NEAR(std::norm(terms[0].gain[0]) / (-w * J.imag()), 1.0, 1e-12) << alpha;
            const Complex rows = Andrade::periodic_constitutive(a, mu, eta, Flavour::Continuous,
                                                                s, 0.0, 0.0).stress / mu;
            EXPECT_NEAR(std::abs(rows / J - 1.0), 0.0, 1e-12) << alpha << " " << zeta;
        }
}

TEST(Rheology, BurgersComplianceIsMaxwellsPlusItsTransientElement) {
    // Distinct rigidity and viscosity ratios, so that swapping them shows.
    RheologyParameters p;
    p.of<Burgers>() = {0.3, 0.02};
    const double mu = 3.3e9, eta = 1e14;
    for (const double w : {1e-7, 5.3e-5, 1e-2}) {
        const Complex s(0.0, w);
        const Complex expected = 1.0 / mu + 1.0 / (eta * s) + 1.0 / (mu * 0.3 + eta * 0.02 * s);
        const Complex J = Burgers::continuous_compliance(p.of<Burgers>(), mu, eta, s);
        EXPECT_NEAR(std::abs(J / expected - 1.0), 0.0, 1e-14) << w;
    }
}

TEST(Rheology, AndradeWithManyElementsGivesAFinitePower) {
    // The fit may give some elements no weight: they must be left out, not carried as a
    // zero compliance (whose inverse the time step uses).
    for (const int elements : {40, 64}) {
        RheologyParameters p;
        p.of<Andrade>().elements = elements;
        const ShellModel model = model_of(p, 100, 2);
        RunWorkspace ws(model);
        const double power = run_one(Rheology::Andrade, model, 1e14, ws).period.power;
        EXPECT_TRUE(std::isfinite(power) && power > 0.0) << elements << " elements: " << power;
    }
}

// |P / P_maxwell - 1| of the continuous and discrete steady states.
std::pair<double, double> off_maxwell(const ShellModel& model, Rheology r, double eta) {
    const SteadyPair m = steady_pair(model, Rheology::Maxwell, eta), x = steady_pair(model, r, eta);
    return {std::fabs(x.continuous.power / m.continuous.power - 1.0),
            std::fabs(x.discrete->power / m.discrete->power - 1.0)};
}

TEST(Rheology, BurgersTendsToMaxwellAsItsTransientElementStiffens) {
    // The element's compliance 1/(mu_2 + eta_2 s) falls as 1/ratio when both its rigidity and
    // its viscosity grow: so does the difference from Maxwell, in both flavours and in time.
    RheologyParameters p;
    std::vector<std::pair<double, double>> off;
    for (const double ratio : {1e2, 1e4}) {
        p.of<Burgers>() = {ratio, 0.02 * ratio};
        off.push_back(off_maxwell(model_of(p, 200), Rheology::Burgers, 1e14));
    }
    EXPECT_GT(off[0].first, 1e-5);
    EXPECT_NEAR(off[1].first / off[0].first, 1e-2, 1e-3);
    EXPECT_NEAR(off[1].second / off[0].second, 1e-2, 1e-3);
    const ShellModel model = model_of(p, 200);
    RunWorkspace ws(model);
    const double b = run_one(Rheology::Burgers, model, 1e14, ws).period.power;
    const double m = run_one(Rheology::Maxwell, model, 1e14, ws).period.power;
    EXPECT_NEAR(b / m, 1.0, 2.0 * off[1].second);
}

TEST(Rheology, AndradeTendsToMaxwellAsBetaVanishes) {
    // beta = mu^(alpha-1) eta^(-alpha) zeta^(-alpha): the creep term, and the difference from
    // Maxwell, fall as zeta^(-alpha), by 10^(-4 alpha) from zeta 1e4 to 1e8.
    RheologyParameters p;
    std::vector<std::pair<double, double>> off;
    for (const double zeta : {1e4, 1e8}) {
        p.of<Andrade>().zeta = zeta;
        off.push_back(off_maxwell(model_of(p, 200), Rheology::Andrade, 1e14));
    }
    const double expected = std::pow(1e4, -p.of<Andrade>().alpha);
    EXPECT_NEAR(off[1].first / off[0].first / expected, 1.0, 0.01);
    EXPECT_NEAR(off[1].second / off[0].second / expected, 1.0, 0.01);
}

TEST(Rheology, AndradeStepErrorIsTheSchemesPlusTheFit) {
    // The discrete state carries the Prony series, the continuous one the exact power law: the
    // gap is the scheme's (of the order of Burgers', the same scheme) plus the fit's error,
    // which the series reports and which grows with the band as the steps shrink.
    for (const double eta : {1e13, 1e16})
        for (const int nperiod : {100, 800}) {
            const ShellModel model = model_of({}, nperiod);
            const double fit = model.body.rheology.of<Andrade>().series.worst_error;
            EXPECT_LT(fit, 1e-4);
            const double burgers = std::fabs(step_error(steady_pair(model, Rheology::Burgers, eta)));
            const double andrade = std::fabs(step_error(steady_pair(model, Rheology::Andrade, eta)));
            EXPECT_LT(andrade, 2.0 * (burgers + fit)) << eta << " " << nperiod;
        }
}

TEST(Rheology, AndradeHeatingPeakIsBroaderThanMaxwells) {
    // Transient creep keeps dissipating far above the Maxwell time: three decades of viscosity
    // above its peak, Maxwell keeps about 2e-3 of its peak power (it falls as 1/eta), Andrade far
    // more (as eta^-alpha). The extra compliance also moves the peak.
    Body body = *preset_body(1);
    body.models = {Rheology::Maxwell, Rheology::Andrade};
    const ShellModel model = make_shell_model(body, RunConstants{2.0, 100, 1000});
    std::vector<double> etas;
    for (int k = 200; k <= 360; ++k)
        etas.push_back(std::pow(10.0, k / 20.0));
    std::vector<double> maxwell, andrade;
    for (const SteadySweepRow& row : steady_sweep(model, etas, SteadyFlavours::Continuous)) {
        maxwell.push_back(row[Rheology::Maxwell].continuous.power);
        andrade.push_back(row[Rheology::Andrade].continuous.power);
    }
    // The fraction of the peak power left three decades (60 samples) above the peak.
    const auto tail = [](const std::vector<double>& p) {
        const std::size_t top =
            static_cast<std::size_t>(std::max_element(p.begin(), p.end()) - p.begin());
        return std::pair{p[top + 60] / p[top], top};
    };
    const auto [tm, at_m] = tail(maxwell);
    const auto [ta, at_a] = tail(andrade);
    EXPECT_LT(tm, 3e-3);
    EXPECT_GT(ta, 5.0 * tm);
    EXPECT_NE(at_a, at_m);
}

} // namespace
} // namespace tidal
