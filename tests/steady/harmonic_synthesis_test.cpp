// The periodic state of the exact tide by harmonic synthesis against independent computations:
// each harmonic's response at its own frequency (the first-order tide of a body whose period
// is T/h), the time integration's long-run limit at e = 0.2 and 0.5, the first-order
// expansion as e -> 0, the
// vector lanes against the plain solve, and the extremes of a signal of many harmonics.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "body/presets.hpp"
#include "model/orbit_tide.hpp"
#include "loads/love_numbers.hpp"
#include "steady/steady_sweep.hpp"
#include "steady/trig_extremum.hpp"
#include "timestep/run.hpp"
#include "same_records.hpp"
#include "shell_fixtures.hpp"

namespace tidal {
namespace {

// Weight of the synchronous first-order tide in the dissipated power over e^2: its harmonic
// at the orbital frequency has order0 = 3e, cosine = 3e, sine = -4e, so (pi/5) 9 + (3pi/5) 25.
constexpr double kFirstOrderWeight = 84.0 * kPi / 5.0;

Body enceladus(double eccentricity, int layers, const char* tide = "exact") {
    Body b = preset(1).body_spec; // Enceladus' ice shell
    b.eccentricity = eccentricity;
    b.layers = layers;
    b.tide = tide;
    return b;
}

ShellModel model_of(const Body& b, int nperiod = 200, int periods = 10) {
    return make_shell_model(b, RunConstants{2.0, nperiod, nperiod * periods});
}

// Caught: the harmonics past the second left out of the solve (the old two-harmonic limit);
// every harmonic past the second solved at the orbital frequency; the harmonics' amplitudes
// summed before squaring (cross terms kept).
TEST(HarmonicSynthesis, PowerIsTheSumOfEachHarmonicsResponseAtItsOwnFrequency) {
    // Harmonic h of weight w_h dissipates w_h times the power per unit weight at h omega,
    // which the first-order tide of a body with period T/h gives (through the expansion's own
    // forcing and solve), over h^4 (that body's potential carries (h omega)^2 for omega^2).
    for (const double e : {0.2, 0.5}) {
        const Body exact = enceladus(e, 6);
        const ShellModel m = model_of(exact);
        const auto harmonics = OrbitTide(e, 1.0).harmonics(kTideHarmonicTolerance, kTideHarmonicCap);
        ASSERT_GT(harmonics.size(), 10u);
        for (const Rheology r : {Rheology::Maxwell, Rheology::KelvinVoigt, Rheology::Andrade})
            for (const double eta : {1e13, 1e15}) {
                SCOPED_TRACE(testing::Message() << "e " << e << " eta " << eta << " " << index_of(r));
                double sum = 0.0;
                for (const TideHarmonic& h : harmonics) {
                    Body unit = enceladus(0.1, 6, "expansion");
                    unit.period = exact.period / h.h;
                    sum += h.power_weight() * steady(model_of(unit), r, eta).power /
                           (kFirstOrderWeight * 0.01 * std::pow(h.h, 4));
                }
                EXPECT_NEAR(steady(m, r, eta).power / sum, 1.0, 1e-11);
            }
    }
}

// Caught: the discrete flavour's step factors z of the solve, or of Kelvin-Voigt's dissipation
// terms, taken at h = 1 beyond the second harmonic; the sine part of the harmonics loaded as
// +s_h (a cosine) instead of -i s_h.
TEST(HarmonicSynthesis, TimeRunReachesThePeriodicStateOfTheExactTide) {
    // The run's last-period power against the scheme's periodic state of the same tide: the
    // Maxwell distance shrinks with the periods run and ends at the tide's truncation (1e-10
    // of its power weight); Kelvin-Voigt's, whose transient dies within a period, is at its
    // floor from the start: its window lacks the run's last step, so the neglected harmonics'
    // amplitudes (about the square root of their share of the weight, 1e-5) enter its power
    // to about 1e-6. The displacement's amplitude, lag, extremes and Love numbers are reached
    // to those amplitudes too, the heating profile to the powers' distance.
    const double eta = 1e13;
    for (const double e : {0.2, 0.5})
        for (const Rheology r : {Rheology::Maxwell, Rheology::KelvinVoigt}) {
            SCOPED_TRACE(testing::Message() << "e " << e << " rheology " << index_of(r));
            const double floor = r == Rheology::Maxwell ? 1e-8 : 1e-5;
            std::vector<double> distance;
            for (const int periods : {2, 4, 16}) {
                const ShellModel m = model_of(enceladus(e, 6), 400, periods);
                RunWorkspace ws(m);
                const RunRecords run = run_one(r, m, eta, ws);
                const PeriodRecord s = steady(m, r, eta, Flavour::Discrete);
                distance.push_back(std::fabs(run.period.power / s.power - 1.0));
                if (periods < 16) continue;
                EXPECT_NEAR(run.period.amplitude / s.amplitude, 1.0, 1e-5);
                EXPECT_NEAR(run.period.urmin / s.urmin, 1.0, 1e-5);
                EXPECT_NEAR(run.period.urthmax / s.urthmax, 1.0, 1e-5);
                EXPECT_NEAR(run.period.phase_lag_deg, s.phase_lag_deg, 1e-4);
                ASSERT_TRUE(run.period.tn && s.tn);
                EXPECT_EQ(*run.period.tn, *s.tn); // the same step
                EXPECT_NEAR(std::abs(run.period.love.k2 / s.love.k2 - 1.0), 0.0, 1e-5);
                EXPECT_NEAR(std::abs(run.period.love.h2 / s.love.h2 - 1.0), 0.0, 1e-5);
                for (std::size_t l = 0; l < s.layer_heating.size(); ++l)
                    EXPECT_NEAR(run.period.layer_heating[l] / s.layer_heating[l], 1.0, 10 * floor) << l;
            }
            if (r == Rheology::Maxwell) {
                EXPECT_GT(distance[0], 1e-4);
                EXPECT_LT(distance[1], distance[0] / 5.0);
            }
            EXPECT_LT(distance[2], floor);
        }
}

// Caught: the exact tide's order-0 amplitude three times too large (sqrt(9 pi/5) for
// sqrt(pi/5)); the harmonics past the second left out.
TEST(HarmonicSynthesis, ExactTideTendsToTheFirstOrderExpansionAsTheSquareOfE) {
    // Every record of the exact tide's periodic state against the first-order tide's: the
    // power, heating profile and fundamental amplitude differ relatively by O(e^2); the Love
    // numbers and lag of the fundamental's order-0 response not at all (the same shape of
    // forcing); the extremes of the displacement by O(e) (the 2 omega harmonic, O(e^2) against
    // the fundamental's O(e)).
    const std::vector<double> es = {1e-3, 1e-2, 0.05};
    std::vector<double> power, profile, amplitude, extremes, when;
    for (const double e : es) {
        const PeriodRecord x = steady(model_of(enceladus(e, 8)), Rheology::Maxwell, 1e13);
        const PeriodRecord f = steady(model_of(enceladus(e, 8, "expansion")), Rheology::Maxwell, 1e13);
        power.push_back(x.power / f.power - 1.0);
        double worst = 0.0;
        for (std::size_t l = 0; l < f.layer_heating.size(); ++l)
            worst = std::max(worst, std::fabs(x.layer_heating[l] / f.layer_heating[l] - 1.0));
        profile.push_back(worst);
        amplitude.push_back(x.amplitude / f.amplitude - 1.0);
        extremes.push_back(std::max({std::fabs(x.urmin / f.urmin - 1.0), std::fabs(x.urthmax / f.urthmax - 1.0)}));
        EXPECT_NEAR(std::abs(x.love.k2 / f.love.k2 - 1.0), 0.0, 1e-13);
        EXPECT_NEAR(std::abs(x.love.h2 / f.love.h2 - 1.0), 0.0, 1e-13);
        EXPECT_NEAR(x.phase_lag_deg, f.phase_lag_deg, 1e-11);
        ASSERT_TRUE(x.tn && f.tn);
        when.push_back(std::fabs(*x.tn - *f.tn));
    }
    for (const auto* d : {&power, &profile, &amplitude}) {
        EXPECT_GT(std::fabs((*d)[0]), 1e-8);
        EXPECT_NEAR((*d)[1] / (*d)[0], 100.0, 2.0);
        EXPECT_NEAR((*d)[2] / (*d)[1], 25.0, 1.0);
    }
    for (const auto* d : {&extremes, &when}) {
        EXPECT_NEAR((*d)[1] / (*d)[0], 10.0, 0.5);
        EXPECT_NEAR((*d)[2] / (*d)[1], 5.0, 0.5);
    }
}

// Caught: the lanes loading every harmonic past the first with the first's forcing.
TEST(HarmonicSynthesis, LanesGiveThePlainSolvesRecordsToTheBit) {
    // Eight viscosities through the vector lanes against one at a time, every field of every
    // record, both flavours, with and without self-gravitation, at e = 0.5 (34 harmonics).
    for (const bool gravity : {false, true}) {
        Body b = enceladus(0.5, 6);
        b.self_gravity = gravity;
        b.models = {Rheology::Maxwell, Rheology::Burgers};
        b.log10_viscosity_min = 11.0; // to 1e15.9 Pa s
        b.log10_viscosity_max = 15.9;
        const ShellModel m = model_of(b);
        SteadyEngine lanes(m), plain(m);
        const LaneProfiles p = lane_profiles(m);
        std::vector<PeriodRecord> out(kLanes);
        for (const Rheology r : b.models)
            for (const Flavour flavour : {Flavour::Continuous, Flavour::Discrete}) {
                lanes.solve(r, flavour, p.views, out);
                for (std::size_t i = 0; i < kLanes; ++i)
                    testing_records::expect_same_bits(out[i], plain.solve(r, flavour, p.etas[i]), "lane " + std::to_string(i));
            }
    }
}

// The minimum of f(p) = sum_h Re(a_h e^{2 pi i h p}) by dense sampling (64 samples per period
// of the highest harmonic) and a golden-section search around the lowest sample: independent
// of trig_minimum's sampling and Newton steps.
TrigMinimum dense_minimum(const std::vector<Complex>& a) {
    const int n = 64 * static_cast<int>(a.size());
    const auto f = [&](double p) {
        double v = 0.0;
        for (std::size_t k = 0; k < a.size(); ++k)
            v += (a[k] * std::polar(1.0, 2.0 * kPi * static_cast<double>(k + 1) * p)).real();
        return v;
    };
    int best = 0;
    double low = f(0.0);
    for (int i = 1; i < n; ++i)
        if (const double v = f(static_cast<double>(i) / n); v < low) low = v, best = i;
    const double g = (std::sqrt(5.0) - 1.0) / 2.0;
    double lo = (best - 1.0) / n, hi = (best + 1.0) / n;
    for (int it = 0; it < 100; ++it) {
        const double x1 = hi - g * (hi - lo), x2 = lo + g * (hi - lo);
        if (f(x1) < f(x2)) hi = x2; else lo = x1;
    }
    const double p = (lo + hi) / 2.0;
    return {f(p), p - std::floor(p)};
}

// Caught: 256 samples whatever the number of harmonics; the lowest sample refined alone.
TEST(HarmonicSynthesis, ExtremesOfManyHarmonicsAreFoundWhereTheyAre) {
    // A broad dip of the first harmonic (-0.45) and, a quarter period away, a narrow one of 300
    // harmonics (-0.57) midway between two of 256 samples, where they see -0.44 at best: the
    // narrow one is the lower, though no coarse sample shows it.
    for (const double p0 : {154.5 / 256.0, 33.5 / 256.0}) {
        SCOPED_TRACE(p0);
        std::vector<Complex> a(300);
        for (int k = 1; k <= 300; ++k)
            a[static_cast<std::size_t>(k - 1)] =
                -std::polar(1.0 / 300.0, -2.0 * kPi * k * p0) * std::exp(-std::pow(k / 200.0, 2));
        a[0] -= std::polar(0.45, -2.0 * kPi * (p0 + 0.25)); // the broad dip, at p0 + 1/4
        const TrigMinimum want = dense_minimum(a), got = trig_minimum(a);
        EXPECT_LT(want.value, -0.56);
        EXPECT_NEAR(got.value, want.value, 1e-9 * std::fabs(want.value));
        EXPECT_NEAR(got.phase, want.phase, 1e-7);
    }
    // Two narrow dips of 300 harmonics, one on a sample of trig_minimum's 4800, the other
    // 0.1 % deeper midway between two: the lowest sample is the first's, the minimum the
    // second's.
    {
        const double on = 1200.0 / 4800.0, off = 3000.5 / 4800.0;
        std::vector<Complex> a(300);
        for (int k = 1; k <= 300; ++k)
            a[static_cast<std::size_t>(k - 1)] =
                -(std::polar(1.0, -2.0 * kPi * k * on) + std::polar(1.001, -2.0 * kPi * k * off)) *
                (std::exp(-std::pow(k / 200.0, 2)) / 300.0);
        const TrigMinimum want = dense_minimum(a), got = trig_minimum(a);
        EXPECT_NEAR(want.phase, off, 1e-4);
        EXPECT_NEAR(got.value, want.value, 1e-9 * std::fabs(want.value));
        EXPECT_NEAR(got.phase, want.phase, 1e-7);
    }
    // And the exact tide's order-0 signal at e = 0.8 (about 200 harmonics), shifted off the
    // samples: its lowest point, at apocentre, and its highest, at pericentre, in closed form.
    const double e = 0.8;
    const auto harmonics = OrbitTide(e, 1.0).harmonics(1e-13, 400);
    ASSERT_FALSE(harmonics.empty());
    const double shift = 0.3 / 1024.0;
    std::vector<Complex> up, down;
    for (const TideHarmonic& h : harmonics) {
        const Complex c = std::polar(h.order0, -2.0 * kPi * h.h * shift);
        up.push_back(c);
        down.push_back(-c);
    }
    const double mean = std::pow(1.0 - e * e, -1.5);
    const TrigMinimum lowest = trig_minimum(up), highest = trig_minimum(down);
    EXPECT_NEAR(lowest.value, std::pow(1.0 + e, -3.0) - mean, 1e-6 * mean);
    EXPECT_NEAR(lowest.phase, 0.5 + shift, 1e-3);
    EXPECT_NEAR(-highest.value, std::pow(1.0 - e, -3.0) - mean, 1e-6 * mean);
    EXPECT_NEAR(highest.phase, shift, 1e-6);
}

} // namespace
} // namespace tidal
