// The fundamental harmonic of the surface displacement: the discrete Fourier projection on
// synthetic signals, and the phase lag of the shell against the physics of Maxwell and Kelvin-Voigt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "body/presets.hpp"
#include "engine/sweep.hpp"
#include "loads/fundamental.hpp"

namespace tidal {
namespace {

TEST(Fundamental, ProjectionRecoversAmplitudeAndPhaseOfAShiftedCosine) {
    const int n = 2000;
    for (const double delta : {0.0, 0.7, -2.5, 3.0}) {
        const double A = 3.25e-2;
        FundamentalSums sums;
        // One whole period starting mid-way through the step count, as a run's last period;
        // an offset and a second harmonic must not leak into the fundamental.
        for (int step = 18001; step <= 18000 + n; ++step) {
            const double theta = 2.0 * kPi * step / n;
            sums.add(A * std::cos(theta - delta) + 0.4 - 0.01 * std::sin(2.0 * theta),
                     fundamental_weight(step, n));
        }
        const Harmonic h = fundamental(sums, n);
        EXPECT_NEAR(h.amplitude, A, 1e-14);
        EXPECT_NEAR(h.phase, delta, 1e-12);
        // Against a tide of phase 0.2 rad the response lags by delta - 0.2, wrapped.
        const double lag = phase_lag_deg(h, Harmonic{1.0, 0.2});
        double want = (delta - 0.2) * 180.0 / kPi;
        if (want <= -180.0) want += 360.0;
        EXPECT_NEAR(lag, want, 1e-9);
    }
}

// Maxwell and Kelvin-Voigt over a sweep of a preset body, short runs; by sweep index.
std::vector<ViscosityResults> short_sweep(int choice, int logetamin, int logetamax) {
    const ViscositySweep v{20 * logetamin, 20 * (logetamax - logetamin) + 1, 20};
    const ShellModel model = make_shell_model(*preset_body(choice), RunConstants{2.0, 100, 1000});
    std::vector<ViscosityResults> out;
    SweepSettings settings;
    settings.threads = 2;
    run_sweep(model, v, settings, [&](ViscosityResults&& r) { out.push_back(std::move(r)); });
    return out;
}

// The index in a sweep of the viscosity where Maxwell's power (or, `lag`, its phase lag) is largest.
std::size_t maxwell_peak(const std::vector<ViscosityResults>& sweep, bool lag) {
    const auto key = [&](const ViscosityResults& r) {
        return lag ? r[Rheology::Maxwell].period.phase_lag_deg : r[Rheology::Maxwell].period.power;
    };
    return static_cast<std::size_t>(
        std::max_element(sweep.begin(), sweep.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); }) -
        sweep.begin());
}

TEST(PhaseLag, ElasticAndViscousLimitsAndTheMaxwellPeak) {
    const auto sweep = short_sweep(8, 14, 24);
    // A Maxwell shell is elastic at the highest viscosity, and a Kelvin-Voigt shell at the
    // lowest: the surface follows the tide in phase. A stiff Kelvin-Voigt dashpot makes the
    // displacement the time integral of the forcing: a quarter period late, less the half step
    // by which backward Euler leads (100 steps a period: 1.8 degrees).
    EXPECT_NEAR(sweep.back()[Rheology::Maxwell].period.phase_lag_deg, 0.0, 1e-3);
    EXPECT_NEAR(sweep.front()[Rheology::KelvinVoigt].period.phase_lag_deg, 0.0, 0.5);
    EXPECT_NEAR(sweep.back()[Rheology::KelvinVoigt].period.phase_lag_deg, 90.0 - 1.8, 0.05);
    for (const ViscosityResults& r : sweep) {
        // A dissipating shell lags: never ahead of the tide, never more than a quarter period.
        EXPECT_GT(r[Rheology::Maxwell].period.phase_lag_deg, -1e-6) << r[Rheology::Maxwell].eta;
        EXPECT_LT(r[Rheology::Maxwell].period.phase_lag_deg, 90.0) << r[Rheology::Maxwell].eta;
        EXPECT_GT(r[Rheology::KelvinVoigt].period.phase_lag_deg, -1e-6) << r[Rheology::KelvinVoigt].eta;
        EXPECT_GT(r[Rheology::Maxwell].period.amplitude, 0.0);
    }
    // The power follows the imaginary part of the response, the lag its argument: for a stiff
    // mantle, whose response changes little in magnitude across the peak, they peak together.
    const std::size_t power = maxwell_peak(sweep, false), lag = maxwell_peak(sweep, true);
    EXPECT_GT(power, 10u);
    EXPECT_LT(power, sweep.size() - 10);
    EXPECT_LE(std::max(lag, power) - std::min(lag, power), 3u)
        << "power peak at " << sweep[power][Rheology::Maxwell].eta << ", lag peak at " << sweep[lag][Rheology::Maxwell].eta;
}

TEST(PhaseLag, MaxwellLagPeaksAboveThePowerBySqrtOfTheFluidToElasticRatio) {
    // For a Maxwell response k = k_fluid / (1 + m i w tau / (1 + i w tau)) the imaginary part
    // (the heating) is largest at w tau = 1/(1 + m) and the phase at w tau = 1/sqrt(1 + m),
    // with 1 + m = k_fluid / k_elastic: the lag peaks at a viscosity sqrt(k_fluid/k_elastic)
    // times higher. Enceladus' thin ice shell moves 30 times more as a fluid than elastically,
    // so the two peaks lie 0.73 decades apart.
    const auto sweep = short_sweep(1, 10, 16);
    const double power = sweep[maxwell_peak(sweep, false)][Rheology::Maxwell].eta;
    const double lag = sweep[maxwell_peak(sweep, true)][Rheology::Maxwell].eta;
    const double ratio =
        sweep.front()[Rheology::Maxwell].period.amplitude / sweep.back()[Rheology::Maxwell].period.amplitude;
    EXPECT_GT(ratio, 20.0);
    EXPECT_NEAR(std::log10(lag / power), std::log10(std::sqrt(ratio)), 0.1);
}

} // namespace
} // namespace tidal
