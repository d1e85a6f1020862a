// The standard linear solid held to its law: by the correspondence principle the homogeneous
// sphere's h2 is the elastic one at the complex rigidity 1/J(i omega); it is elastic at both
// ends of a sweep, with the unrelaxed and the relaxed rigidity; its one heating peak lies
// where those two elastic states put it. (Its scheme's periodic state tends to the exact one
// at second order, and its runs agree with the plain path bit for bit and end in that state:
// steady_state_test and time_integration_test.)
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "homogeneous_sphere.hpp"

namespace tidal {
namespace {

// A ratio other than 1, so that a rigidity ratio taken upside down shows.
constexpr double kRatio = 0.25;

Body zener_sphere(double mu) {
    Body b = homogeneous_sphere();
    b.rigidity.assign(1, mu);
    b.models = {Rheology::Zener};
    b.rheology.of<Zener>().element_rigidity_ratio = kRatio;
    return b;
}

// The elastic h2 of the sphere with rigidity mu on `layers` layers (Maxwell far above the
// tide's viscosity).
Complex elastic_h2(double mu, int layers) {
    return steady(with_layers(zener_sphere(mu), layers), Rheology::Maxwell, 1e40).love.h2;
}

TEST(Zener, HomogeneousSphereFollowsItsComplianceByCorrespondence) {
    const Body b = zener_sphere(homogeneous_sphere().rigidity.front());
    const double mu = b.rigidity.front(), mu2 = kRatio * mu;
    const Complex s(0.0, b.angular_frequency());
    // Below, at and above the element's band (omega eta / mu_2 = 0.2, 1, 5).
    for (const double x : {0.2, 1.0, 5.0}) {
        const double eta = x * mu2 / b.angular_frequency();
        const Complex J = 1.0 / mu + 1.0 / (mu2 + eta * s);
        std::array<Complex, 3> h2{};
        for (int i = 0; i < 3; ++i)
            h2[static_cast<std::size_t>(i)] =
                steady(with_layers(b, 40 << i), Rheology::Zener, eta).love.h2;
        const Refinement h = refine(h2);
        EXPECT_GT(h.order_ratio, 3.5) << x;
        EXPECT_LT(h.order_ratio, 4.5) << x;
        EXPECT_LT(std::abs(h.limit - homogeneous_h2(b, 1.0 / J)), 2e-5) << x;
        EXPECT_LT(h.limit.imag(), -1e-3) << x; // it lags
    }
}

TEST(Zener, ElasticAtBothEndsOfTheSweepUnrelaxedAboveRelaxedBelow) {
    const double mu = homogeneous_sphere().rigidity.front();
    const double relaxed = mu * (kRatio * mu) / (mu + kRatio * mu);
    const ShellModel model = with_layers(zener_sphere(mu), 40);
    const PeriodRecord stiff = steady(model, Rheology::Zener, 1e30);
    const PeriodRecord soft = steady(model, Rheology::Zener, 1.0);
    const PeriodRecord peak = steady(model, Rheology::Zener, kRatio * mu / model.body.angular_frequency());
    EXPECT_LT(std::abs(stiff.love.h2 - elastic_h2(mu, 40)), 1e-12);
    EXPECT_LT(std::abs(soft.love.h2 - elastic_h2(relaxed, 40)), 1e-12);
    EXPECT_GT(std::abs(elastic_h2(relaxed, 40) - elastic_h2(mu, 40)), 0.1);
    // Nothing dissipates at either end; Maxwell's dashpot would flow at the soft one.
    EXPECT_LT(stiff.power, 1e-12 * peak.power);
    EXPECT_LT(soft.power, 1e-12 * peak.power);
    EXPECT_GT(steady(model, Rheology::Maxwell, 1.0).love.h2.real(), 0.99);
}

TEST(Zener, OnePeakWhereTheUnrelaxedAndRelaxedElasticStatesPutIt) {
    // With h2 = 1/(1 + mu/mu_g), -Im h2 at omega eta = x is mu_g mu^2 x / (b^2 + c^2 x^2),
    // b = mu_g (mu + mu_2) + mu mu_2, c = mu_g + mu: largest at x = b/c, which is
    // (mu + mu_2) h2(mu) / h2(mu_R).
    const double mu = homogeneous_sphere().rigidity.front(), mu2 = kRatio * mu;
    const double relaxed = mu * mu2 / (mu + mu2);
    const int layers = 80;
    const ShellModel model = with_layers(zener_sphere(mu), layers);
    const double omega = model.body.angular_frequency();
    const double predicted =
        (mu + mu2) * elastic_h2(mu, layers).real() / elastic_h2(relaxed, layers).real() / omega;
    const auto power = [&](double log_eta) {
        return steady(model, Rheology::Zener, std::pow(10.0, log_eta)).power;
    };
    // One interior maximum over twelve decades, ten viscosities a decade.
    const double centre = std::log10(predicted);
    std::vector<double> p;
    for (int k = -60; k <= 60; ++k)
        p.push_back(power(centre + k / 10.0));
    int maxima = 0;
    for (std::size_t i = 1; i + 1 < p.size(); ++i)
        maxima += p[i] > p[i - 1] && p[i] > p[i + 1];
    EXPECT_EQ(maxima, 1);
    // The maximum by golden sections: where the discrete h2 is as Moebius in the rigidity as
    // the continuous one, to the search's precision.
    double lo = centre - 0.5, hi = centre + 0.5;
    const double g = (std::sqrt(5.0) - 1.0) / 2.0;
    for (int i = 0; i < 60; ++i) {
        const double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
        (power(a) > power(b) ? hi : lo) = power(a) > power(b) ? b : a;
    }
    EXPECT_NEAR(std::pow(10.0, (lo + hi) / 2.0) / predicted, 1.0, 1e-6);
}

} // namespace
} // namespace tidal
