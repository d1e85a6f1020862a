// The obliquity tide (docs/method.md §2.2) held to physics: the heat of a tilted synchronous
// body on a circular orbit is the work of its order-1 tide, the eccentricity and obliquity
// tides' heats add, the time runs reach the periodic state with the order-1 pair, and the
// batched runs are the plain ones bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "body/presets.hpp"
#include "loads/love_numbers.hpp"
#include "model/orbit_tide.hpp"
#include "steady/steady_sweep.hpp"
#include "timestep/reference_run.hpp"
#include "timestep/run.hpp"

#include "homogeneous_sphere.hpp"
#include "same_records.hpp"

namespace tidal {
namespace {

Body tilted(Body b, double eccentricity, double obliquity_deg, double pericentre_deg = 0.0) {
    b.eccentricity = eccentricity;
    b.obliquity = obliquity_deg;
    b.pericentre_argument = pericentre_deg;
    return b;
}

// Obliquity alone (e = 0), the periodic state: the heat is the work of the obliquity tide,
// with k2 the program's own Love number (of the same body's eccentricity tide, whose order-0
// component the Love numbers come from), to the grid's second-order error. Caught: the
// order-1 boundary amplitude's sqrt(6 pi/5) written as the order 2's sqrt(3 pi/10).
TEST(ObliquityTide, SteadyHeatIsTheWorkOfTheObliquityTide) {
    const Body b = *preset_body(1);
    for (const double theta : {0.5, 5.0})
        for (const double eta : {1e12, 1e14}) {
            double off[3];
            for (int i = 0; i < 3; ++i) {
                const PeriodRecord e = steady(with_layers(b, 10 << i), Rheology::Maxwell, eta);
                const PeriodRecord t =
                    steady(with_layers(tilted(b, 0.0, theta, 40.0), 10 << i), Rheology::Maxwell, eta);
                off[i] = tide_work(tilted(b, 0.0, theta), e.love.k2) / t.power - 1.0;
            }
            EXPECT_LT(std::fabs(off[1]), 1e-3) << theta << " " << eta;
            EXPECT_GT(std::fabs(off[0] / off[1]), 3.5) << theta << " " << eta;
            EXPECT_GT(std::fabs(off[1] / off[2]), 3.5) << theta << " " << eta;
        }
}

// Eccentricity and obliquity together: the two heats add (the order-1 pair is orthogonal to
// the other components over the sphere), and their sum is the work of both tides. Caught:
// the steady engine's order-1 runs skipped when the orbit is eccentric (`oblique() &&
// eccentricity == 0.0`); the eccentric body's Love numbers taken from its order-1 run, as a
// circular orbit's are (no other test sees it).
TEST(ObliquityTide, EccentricityAndObliquityHeatsAdd) {
    const Body b = *preset_body(1);
    const ShellModel both = with_layers(tilted(b, b.eccentricity, 3.0, 70.0), 20);
    const ShellModel ecc = with_layers(tilted(b, b.eccentricity, 0.0), 20);
    const ShellModel obl = with_layers(tilted(b, 0.0, 3.0, 70.0), 20);
    for (const double eta : {1e12, 1e14}) {
        const PeriodRecord sb = steady(both, Rheology::Maxwell, eta);
        const PeriodRecord se = steady(ecc, Rheology::Maxwell, eta);
        const PeriodRecord so = steady(obl, Rheology::Maxwell, eta);
        EXPECT_NEAR(sb.power / (se.power + so.power) - 1.0, 0.0, 1e-12) << eta;
        EXPECT_GT(so.power / se.power, 0.1) << eta; // both matter here
        EXPECT_LT(std::fabs(tide_work(both.body, se.love.k2) / sb.power - 1.0), 2e-3) << eta;
        // The Love numbers are the order-0 component's, whatever the tilt.
        testing_records::expect_same_bits(sb.love.k2, se.love.k2, "k2");
    }
}

// A circular orbit has no order-0 tide: its Love numbers and phase lag come from the order-1
// run, the same radial problem at the same frequency, normalised by its own tide. So they are
// an eccentric orbit's without obliquity, to the rounding of the radial solve: in the steady
// method whatever the pericentre's argument and with the exact tide too; in the time method
// with varpi = -90 deg, whose order-1 tide sin(theta) cos(omega t) runs in step with the
// eccentricity tide's order 0 (another varpi starts the run at another phase: its Love numbers
// differ by the transient). Caught: the circular orbit's records keeping the order-0
// component's Love numbers (zero); the time runs' order-1 displacement read from the empty
// order-0 slot.
TEST(ObliquityTide, CircularOrbitsLoveNumbersAreTheBodysAtTheOrbitalFrequency) {
    const Body b = *preset_body(1);
    const auto same = [](const LoveNumbers& x, const LoveNumbers& y, double tol,
                         const std::string& what) {
        EXPECT_LT(std::abs(x.k2 - y.k2), tol * std::abs(y.k2)) << what;
        EXPECT_LT(std::abs(x.h2 - y.h2), tol * std::abs(y.h2)) << what;
        EXPECT_GT(std::abs(y.k2), 1e-3) << what;
    };
    const ShellModel ecc = with_layers(tilted(b, 0.01, 0.0), 12);
    for (const char* tide : {"expansion", "exact"}) {
        Body t = tilted(b, 0.0, 10.0, 40.0);
        t.tide = tide;
        const ShellModel obl = with_layers(t, 12);
        for (const Rheology r : {Rheology::Maxwell, Rheology::Andrade})
            for (const double eta : {1e12, 1e14}) {
                const PeriodRecord e = steady(ecc, r, eta), o = steady(obl, r, eta);
                same(o.love, e.love, 1e-11, std::string(tide) + " steady");
                EXPECT_NEAR(o.phase_lag_deg, e.phase_lag_deg, 1e-9) << tide;
            }
    }
    const ShellModel ecc_t = with_layers(tilted(b, 0.01, 0.0), 12, 200, 4);
    const ShellModel obl_t = with_layers(tilted(b, 0.0, 10.0, -90.0), 12, 200, 4);
    RunWorkspace ws(ecc_t);
    const std::vector<double> etas = {1e12, 1e14};
    for (const Rheology r : {Rheology::Maxwell, Rheology::KelvinVoigt}) {
        const std::vector<RunRecords> e = run_batch(r, ecc_t, etas, ws);
        const std::vector<RunRecords> o = run_batch(r, obl_t, etas, ws);
        for (std::size_t i = 0; i < etas.size(); ++i) {
            same(o[i].period.love, e[i].period.love, 1e-10, "time");
            EXPECT_NEAR(o[i].period.phase_lag_deg, e[i].period.phase_lag_deg, 1e-8);
        }
    }
}

// The time runs with the order-1 pair settle on the scheme's own periodic state, and the
// batched runs are the plain ones bit for bit, every field. Caught: the plain run without
// its order-1 run (run_reference not adding it).
TEST(ObliquityTide, TimeRunsReachThePeriodicStateAndBatchedIsPlain) {
    const Body b = tilted(*preset_body(1), preset_body(1)->eccentricity, 4.0, 25.0);
    const ShellModel m = with_layers(b, 20, 400, 10);
    RunWorkspace ws(m);
    SteadyEngine engine(m);
    const std::vector<double> etas = {1e12, 1e13};
    for (const RheologyNames& r : kRheologies) {
        const std::vector<RunRecords> runs = run_batch(r.id, m, etas, ws);
        // (At 1e13 Pa s the Maxwell shell relaxes over more than the ten periods.)
        for (const RunRecords& run : runs) {
            if (run.eta != etas.front()) continue;
            const PeriodRecord s =
                engine.solve(r.id, Flavour::Discrete, std::vector<double>(20, run.eta));
            const double settled = r.id == Rheology::Andrade ? 1e-5 : 1e-8;
            EXPECT_LT(std::fabs(run.period.power / s.power - 1.0), settled) << r.name << " " << run.eta;
            for (std::size_t l = 0; l < s.layer_heating.size(); ++l)
                EXPECT_LT(std::fabs(run.period.layer_heating[l] / s.layer_heating[l] - 1.0), 100 * settled)
                    << r.name << " layer " << l;
        }
        const RunRecords plain = run_reference(m, etas.front(), r.id);
        expect_same_record(runs.front(), plain);
    }
}

// The exact tide of an oblique body on a circular orbit against the closed forms of
// docs/method.md §2.2, all orders of theta (lambda = varpi + M, c = cos theta):
//   cosine1 = -sin(theta) [(1+3c)/4 sin(lambda) + (1-c)/4 sin(3 lambda)],
//   sine1 = -sin(theta) (1-c)/4 (cos(lambda) - cos(3 lambda)),
//   order0 = (3/2) sin^2(theta) cos(2 lambda),
//   cosine + i sine = (1/2) sin^2(theta) e^{2 i lambda} + (1-c)^2/4 e^{4 i lambda}.
// Caught: the planet's direction conjugated in the body frame (xi for conj(xi): sine1 and sine
// of the other sign), and the body's rotation angle without the pericentre's argument.
TEST(ObliquityTide, ExactTideOfACircularOrbitIsItsClosedForm) {
    Body b = *preset_body(1);
    b.eccentricity = 0.0;
    b.tide = "exact";
    for (const double theta : {10.0, 120.0, 180.0}) {
        b.obliquity = theta;
        b.pericentre_argument = 35.0;
        const OrbitTide tide(b);
        const double s = std::sin(b.obliquity_rad()), c = std::cos(b.obliquity_rad());
        for (const double M : {0.0, 0.4, 2.0, 4.5}) {
            const double l = b.pericentre_argument_rad() + M;
            const TideComponents t = tide.at(M);
            EXPECT_NEAR(t.cosine1,
                        -s * ((1.0 + 3.0 * c) / 4.0 * std::sin(l) + (1.0 - c) / 4.0 * std::sin(3.0 * l)),
                        1e-13) << theta << " " << M;
            EXPECT_NEAR(t.sine1, -s * (1.0 - c) / 4.0 * (std::cos(l) - std::cos(3.0 * l)), 1e-13);
            EXPECT_NEAR(t.order0, 1.5 * s * s * std::cos(2.0 * l), 1e-13);
            EXPECT_NEAR(t.cosine,
                        0.5 * s * s * std::cos(2.0 * l) + (1.0 - c) * (1.0 - c) / 4.0 * std::cos(4.0 * l),
                        1e-13);
            EXPECT_NEAR(t.sine,
                        0.5 * s * s * std::sin(2.0 * l) + (1.0 - c) * (1.0 - c) / 4.0 * std::sin(4.0 * l),
                        1e-13);
        }
    }
}

// The exact tide of an eccentric oblique orbit stepped in time against its harmonics solved
// one at a time: harmonic h dissipates its power weight (the order-1 pair's 12 pi/5 included)
// times the power per unit weight at h omega, from the first-order eccentricity tide of a body
// of period T/h. Caught: the order-1 weight of power_weight written 6 pi/5; the steady
// engine's order-1 runs skipped on an eccentric orbit.
TEST(ObliquityTide, ExactTimeRunReachesTheSumOfTheHarmonicsPeriodicResponses) {
    const double eta = 1e14;
    Body exact = tilted(*preset_body(1), 0.2, 25.0, 50.0);
    exact.layers = 6;
    exact.tide = "exact";
    const ShellModel m = make_shell_model(exact, RunConstants{2.0, 4000, 40000});
    RunWorkspace ws(m);
    const double time = run_one(Rheology::Maxwell, m, eta, ws).period.power;
    double sum = 0.0;
    for (const TideHarmonic& h : OrbitTide(exact).harmonics(1e-9, 400)) {
        Body unit = tilted(*preset_body(1), 0.1, 0.0);
        unit.layers = 6;
        unit.period = exact.period / h.h;
        const ShellModel mu = make_shell_model(unit, RunConstants{2.0, 200, 2000});
        sum += h.power_weight() * steady(mu, Rheology::Maxwell, eta).power /
               ((84.0 * kPi / 5.0) * 0.01 * std::pow(h.h, 4));
    }
    EXPECT_NEAR(time / sum, 1.0, 1e-3);
    // The steady method's harmonic synthesis of the same tide.
    EXPECT_NEAR(steady(m, Rheology::Maxwell, eta).power / sum, 1.0, 1e-6);
}

} // namespace
} // namespace tidal
