// The periodic steady state against the time integration and against physics: the scheme's
// own periodic state is the long-run limit of the time integration, it tends to the
// exact-in-time state at the schemes' orders as the step shrinks, and the exact-in-time state
// has the Maxwell power law far from the peak and no phase lag in the elastic limits.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "body/presets.hpp"
#include "steady/steady_sweep.hpp"
#include "shell_fixtures.hpp"
#include "model/forcing.hpp"
#include "timestep/run.hpp"

namespace tidal {
namespace {

ShellModel model_of(int body, int nperiod, int periods) {
    return make_shell_model(*preset_body(body), RunConstants{2.0, nperiod, nperiod * periods});
}

RunRecords run(const ShellModel& model, Rheology rheology, double eta) {
    RunWorkspace ws(model);
    return run_one(rheology, model, eta, ws);
}

// Lag (degrees) and amplitude (m) of the fundamental of the last period's surface displacement
// behind the fundamental of the order-0 forcing, both by a discrete Fourier projection of the
// time integration's samples.
std::pair<double, double> projected_lag(const ShellModel& model, const RunRecords& r) {
    const int nperiod = model.run.nperiod, nsteps = model.run.nsteps;
    const TidalForcing forcing(model, time_step(model));
    std::complex<double> u = 0.0, f = 0.0;
    for (int n = nsteps - nperiod + 1; n <= nsteps; ++n) {
        const auto e = std::polar(2.0 / nperiod, -2.0 * kPi * n / nperiod);
        u += r.ursurf[static_cast<std::size_t>(n - 1)] * e;
        f += forcing.at(n).amp_order0 * e;
    }
    return {std::arg(f * std::conj(u)) * 180.0 / kPi, std::abs(u)};
}

// How close a run ends to its periodic state once its transients have died: rounding, except
// for Andrade, whose Prony series has elements with retardation times beyond the run's length
// (their start still shows at the 1e-10 level).
double settled(Rheology r) {
    return r == Rheology::Andrade ? 1e-9 : 1e-12;
}

TEST(DiscreteSteadyState, IsWhereTheTimeIntegrationEnds) {
    // Mercury's transients die within a few periods: the last period of the run is the
    // scheme's periodic state to rounding, with both forcing harmonics.
    const ShellModel model = model_of(8, 200, 10);
    for (const RheologyNames& r : kRheologies) {
        SCOPED_TRACE(r.name);
        const Rheology rheology = r.id;
        const RunRecords t = run(model, rheology, 1e14);
        const SteadyPair s = steady_pair(model, rheology, 1e14);
        const PeriodRecord& d = *s.discrete;
        EXPECT_NEAR(transient(t.period.power, s), 0.0, settled(rheology));
        EXPECT_NEAR(t.period.urmin / d.urmin, 1.0, settled(rheology));
        EXPECT_NEAR(t.period.urthmax / d.urthmax, 1.0, settled(rheology));
        EXPECT_EQ(t.period.tn, d.tn);
        const auto [lag, amplitude] = projected_lag(model, t);
        EXPECT_NEAR(lag, d.phase_lag_deg, 1e-9);
        EXPECT_NEAR(amplitude / d.amplitude, 1.0, settled(rheology));
        // The time step matters, the transient does not.
        EXPECT_GT(std::fabs(step_error(s)), 1e-5);
    }
}

TEST(DiscreteSteadyState, TransientOfEnceladusMaxwellShrinksWithTheRunLength) {
    // Near its heating peak Enceladus' Maxwell shell relaxes slowly: after ten periods the power
    // is still about 2.5e-4 below the periodic state, and the gap closes as the run lengthens.
    double previous = 0.0;
    for (const int periods : {10, 20, 40}) {
        const ShellModel model = model_of(1, 100, periods);
        const double t = transient(run(model, Rheology::Maxwell, 1e14).period.power,
                                   steady_pair(model, Rheology::Maxwell, 1e14));
        if (periods == 10) {
            EXPECT_GT(std::fabs(t), 1.5e-4);
            EXPECT_LT(std::fabs(t), 4e-4);
        } else {
            EXPECT_LT(std::fabs(t), std::fabs(previous) / 3.0) << periods << " periods";
        }
        previous = t;
    }
    EXPECT_LT(std::fabs(previous), 1e-5);
}

// Caught: the chains' element step (Burgers, Zener) taken at the step's end stress alone (first
// order).
TEST(DiscreteSteadyState, TendsToTheContinuousOneAtTheSchemesOrders) {
    // Trapezoidal rule (Maxwell's memory, Burgers' dashpots): second order, and so are the
    // exponential steps of Burgers' and Zener's elements, for a stress linear over the step
    // (Burgers at 1e16 Pa s, where the steps resolve its element's time; Zener in its
    // element's band at the tide); backward Euler (and the Kelvin-Voigt window, which drops
    // half a sample): first order. The continuous state does not depend on the step.
    const double zener_band = preset_body(1)->rigidity.front() / preset_body(1)->angular_frequency();
    struct Case {
        Rheology rheology;
        double eta;
        int nperiod; // the coarsest, halved twice
        double order;
    };
    for (const Case& c : {Case{Rheology::Maxwell, 1e14, 50, 2.0}, Case{Rheology::KelvinVoigt, 1e14, 50, 1.0},
                          Case{Rheology::Burgers, 1e16, 100, 2.0}, Case{Rheology::Zener, zener_band, 100, 2.0}}) {
        SCOPED_TRACE(static_cast<int>(c.rheology));
        std::vector<double> errors;
        PeriodRecord first_continuous;
        for (const int nperiod : {c.nperiod, 2 * c.nperiod, 4 * c.nperiod}) {
            const SteadyPair s = steady_pair(model_of(1, nperiod, 10), c.rheology, c.eta);
            errors.push_back(step_error(s));
            if (nperiod == c.nperiod) first_continuous = s.continuous;
            EXPECT_NEAR(s.continuous.power / first_continuous.power, 1.0, 1e-14);
            EXPECT_NEAR(s.continuous.urmin / first_continuous.urmin, 1.0, 1e-14);
            EXPECT_NEAR(s.continuous.phase_lag_deg, first_continuous.phase_lag_deg, 1e-12);
        }
        for (std::size_t i = 1; i < errors.size(); ++i)
            EXPECT_NEAR(std::log2(errors[i - 1] / errors[i]), c.order, 0.05);
    }
}

TEST(ContinuousSteadyState, MaxwellPowerLawAndElasticLimits) {
    // Far below the peak the Maxwell shell is a fluid whose dissipation grows as eta; far above
    // it is elastic and dissipates as 1/eta. Maxwell and Kelvin-Voigt both respond in phase
    // with the tide in their elastic limits: Maxwell at high viscosity, Kelvin-Voigt at low.
    const ShellModel model = model_of(1, 100, 10);
    const std::vector<double> etas = {1e6, std::sqrt(10.0) * 1e6, 1e22, std::sqrt(10.0) * 1e22};
    const std::vector<SteadySweepRow> rows = steady_sweep(model, etas, SteadyFlavours::Continuous);
    const auto slope = [&](std::size_t i) {
        return std::log10(rows[i + 1][Rheology::Maxwell].continuous.power /
                          rows[i][Rheology::Maxwell].continuous.power) /
               0.5;
    };
    EXPECT_NEAR(slope(0), 1.0, 1e-3);
    EXPECT_NEAR(slope(2), -1.0, 1e-3);
    EXPECT_LT(std::fabs(rows[3][Rheology::Maxwell].continuous.phase_lag_deg), 1e-6);
    EXPECT_LT(std::fabs(rows[0][Rheology::KelvinVoigt].continuous.phase_lag_deg), 1e-5);
    // Away from the limits the displacement lags the tide.
    const SteadyPair peak = steady_pair(model, Rheology::Maxwell, 1e14);
    EXPECT_GT(peak.continuous.phase_lag_deg, 10.0);
    EXPECT_LT(peak.continuous.phase_lag_deg, 90.0);
}

TEST(ContinuousSteadyState, ExtremesOfTwoHarmonicsBoundTheSampledSignal) {
    // Mercury's tide has two harmonics: the reconstructed minimum and equatorial maximum are
    // the extremes of the signal sampled densely over the period.
    const ShellModel model = model_of(8, 2000, 10);
    const SteadyPair s = steady_pair(model, Rheology::Maxwell, 1e16);
    const PeriodRecord& c = s.continuous;
    const PeriodRecord& d = *s.discrete;
    EXPECT_LE(c.urmin, d.urmin);
    EXPECT_GE(c.urthmax, d.urthmax);
    EXPECT_NEAR(c.urmin / d.urmin, 1.0, 1e-5);
    EXPECT_NEAR(c.urthmax / d.urthmax, 1.0, 1e-5);
    ASSERT_TRUE(c.tn && d.tn);
    EXPECT_NEAR(*c.tn, *d.tn, 1.0 / 2000);
}

} // namespace
} // namespace tidal
