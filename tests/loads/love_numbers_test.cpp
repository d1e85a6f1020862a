// The Love numbers and the heating profile held to physics: the fluid limit, the balance
// between the heat dissipated and the work the tide does on the displaced interfaces, and
// the profile's layers adding up to the power. (The time runs' Love numbers against their
// scheme's periodic state: HarmonicSynthesis.TimeRunReachesThePeriodicStateOfTheExactTide.) (The classical homogeneous sphere: self_gravity_test.cpp,
// zener_test.cpp, grid_error_test.cpp and solid_sphere_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numeric>
#include <array>
#include <utility>
#include <vector>

#include "body/presets.hpp"
#include "loads/heating_profile.hpp"
#include "loads/love_numbers.hpp"
#include "steady/steady_sweep.hpp"
#include "timestep/run.hpp"

#include "homogeneous_sphere.hpp"

namespace tidal {
namespace {

using Complex = std::complex<double>;

// Fluid limit: a shell of vanishing viscosity follows the tide's equipotentials, the surface
// rising W/g_s (h2 = 1) and the interface W/g_b, which moves the masses of the surface and of
// the interface's density contrast: k2 = 3 / (5 rho_mean) (rho + drho (g_s/g_b) (R_in/R)^6).
TEST(LoveNumbers, FluidLimitOfPresetShells) {
    for (const int preset : {1, 4, 8}) {
        const Body b = *preset_body(preset);
        const double q = b.inner_radius() / b.outer_radius;
        const double k2 = 3.0 / (5.0 * mean_density(b)) *
                          (b.density + b.density_contrast * (b.surface_gravity / b.bottom_gravity) * std::pow(q, 6));
        std::array<Complex, 3> h2s{}, k2s{};
        for (int i = 0; i < 3; ++i) {
            const PeriodRecord r = steady(with_layers(b, 20 << i), Rheology::Maxwell, 1.0);
            h2s[static_cast<std::size_t>(i)] = r.love.h2;
            k2s[static_cast<std::size_t>(i)] = r.love.k2;
        }
        const Refinement h = refine(h2s), k = refine(k2s);
        EXPECT_GT(h.order_ratio, 3.5) << preset;
        EXPECT_LT(std::abs(h.limit - 1.0), 1e-6) << preset;
        EXPECT_LT(std::abs(k.limit - k2) / k2, 1e-6) << preset;
    }
}

// The heat the shell dissipates is the work the tide does on the masses it displaces.
TEST(LoveNumbers, DissipationIsTheTidesWorkForEveryRheology) {
    // The periodic state: the balance holds to the grid's second-order error.
    const Body b = *preset_body(1);
    for (const RheologyNames& r : kRheologies)
        for (const double eta : {1e12, 1e13, 1e15}) {
            double off[3];
            for (int i = 0; i < 3; ++i) {
                const PeriodRecord s = steady(with_layers(b, 10 << i), r.id, eta);
                off[i] = tide_work(b, s.love.k2) / s.power - 1.0;
            }
            EXPECT_LT(std::fabs(off[1]), 1e-3) << r.name << " " << eta;
            EXPECT_GT(std::fabs(off[0] / off[1]), 3.5) << r.name << " " << eta;
            EXPECT_GT(std::fabs(off[1] / off[2]), 3.5) << r.name << " " << eta;
        }
}

// Q exists only where the response lags; k2/Q = -Im k2.
TEST(LoveNumbers, QualityFactor) {
    const Body b = *preset_body(1);
    const ShellModel m = with_layers(b, 20);
    const PeriodRecord peak = steady(m, Rheology::Maxwell, 1e13);
    ASSERT_TRUE(tidal_q(peak.love));
    EXPECT_NEAR(std::abs(peak.love.k2) / *tidal_q(peak.love), minus_im_k2(peak.love), 1e-15);
    EXPECT_FALSE(tidal_q(LoveNumbers{{0.5, 0.0}, {0.3, 0.0}}));
    EXPECT_FALSE(tidal_q(LoveNumbers{{0.5, 0.1}, {0.3, 0.1}}));
}

// The profile's layers tile the shell and their powers add up to the shell's power, for the
// time integration and the periodic state.
TEST(HeatingProfile, LayersTileTheShellAndAddUpToThePower) {
    const ShellModel m = with_layers(*preset_body(3), 20, 200, 4);
    RunWorkspace ws(m);
    const std::vector<double> etas = {1e13, 1e14};
    for (const RheologyNames& r : kRheologies) {
        for (const RunRecords& run : run_batch(r.id, m, etas, ws)) {
            const auto s = steady(m, r.id, run.eta);
            for (const auto& [heating, power] :
                 {std::pair{run.period.layer_heating, run.period.power}, std::pair{s.layer_heating, s.power}}) {
                const std::vector<ProfileLayer> p = heating_profile(heating, m.grid);
                ASSERT_EQ(p.size(), 20u);
                EXPECT_DOUBLE_EQ(p.front().outer_radius, m.body.outer_radius);
                EXPECT_NEAR(p.back().inner_radius, m.body.inner_radius(), 1e-9 * m.body.inner_radius());
                double sum = 0.0;
                for (std::size_t i = 0; i < p.size(); ++i) {
                    if (i > 0) {
                        EXPECT_EQ(p[i].outer_radius, p[i - 1].inner_radius);
                    }
                    EXPECT_GT(p[i].heating, 0.0);
                    sum += p[i].power;
                }
                EXPECT_NEAR(sum / power - 1.0, 0.0, 1e-13) << r.name;
            }
        }
    }
}

} // namespace
} // namespace tidal
