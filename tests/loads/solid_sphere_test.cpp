// A body solid to the centre held to the classical homogeneous, incompressible,
// self-gravitating sphere: its elastic Love number h2 = (5/2) / (1 + 19 mu / (2 rho g R)),
// k2 = (3/5) h2, and by the correspondence principle the same with the complex rigidity of a
// Maxwell body; the grid converges to them at order 2 in the cell size. The heating profile and the maps integrate to the power over the whole
// sphere, and the time integration (batched lanes and plain alike) reaches the periodic state
// and balances the tide's work.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <variant>
#include <vector>

#include "files/body_file.hpp"
#include "engine/engine.hpp"
#include "loads/heating_profile.hpp"
#include "steady/surface_maps.hpp"
#include "timestep/reference_run.hpp"
#include "timestep/run.hpp"

#include "same_records.hpp"
#include "shell_fixtures.hpp"

namespace tidal {
namespace {

using Complex = std::complex<double>;

constexpr double kRadius = 1.0e6, kDensity = 3000.0;

// The surface gravity of the uniform sphere, (4/3) pi G rho R.
double sphere_gravity() {
    return 4.0 / 3.0 * 3.141592653589793 * 6.67430e-11 * kDensity * kRadius;
}

// A rigidity that makes 19 mu / (2 rho g R) = 1: h2 halfway between fluid and rigid.
double balanced_rigidity() {
    return 2.0 * kDensity * sphere_gravity() * kRadius / 19.0;
}

// A uniform solid sphere as a body file of one layer reaching the centre.
std::string solid_sphere(int cells, const std::string& models = "\"maxwell\"", int steps_per_period = 2000,
                         int periods = 10) {
    return layers_on_an_orbit("solid sphere", kRadius, solid_layer("rock", 0.0, kDensity, balanced_rigidity(), cells), models,
                              steps_per_period, periods);
}

// h2 of the homogeneous incompressible self-gravitating sphere for a rigidity mu (complex for
// a viscoelastic one, by the correspondence principle).
Complex classical_h2(Complex mu) {
    return 2.5 / (1.0 + 19.0 * mu / (2.0 * kDensity * sphere_gravity() * kRadius));
}

// h2 and l2 on 10, 20, 40 and 80 cells against the classical sphere's, l2 = (3/4) / (1 + 19 mu
// / (2 rho g R)) = (3/10) h2: elastic (a Maxwell viscosity far above the tide's), Maxwell at
// omega tau = 1 and, for l2, a Maxwell body far below relaxation, whose l2 reaches the fluid
// sphere's 3/4. Each halving of the cells divides the errors by 4, k2 = (3/5) h2 (only the
// surface moves mass; the mean density is the sphere's) and the reported grid error of l2 is
// the true one. Caught: the centre's regularity row of u_{j-1} replaced by the traction row of
// a fluid core (the error no longer falls as h^2); the self-gravitation loads left off for a
// solid body (h2 tends to 1 / (1 + 19 mu / (5 rho g R)) instead); the grid's half spacing
// rout / (2N - 2) kept at the centre (the central node no longer at r = 0); the tide's
// inner-boundary pressure still loaded at the centre; the surface's tangential displacement
// taken at the outermost node instead of the mean of the two around the surface (order 1, and
// the grid error estimate 30 % off the true error); the weight of u_{j+1} taken as
// 1/sqrt(j(2j+1)) (l2 6 % off, no convergence).
TEST(SolidSphere, LoveNumbersConvergeAtOrderTwoToTheClassicalSphere) {
    const double mu = balanced_rigidity();
    for (const double omega_tau : {1e40, 1.0, 1e-9}) {
        const Body coarse = read_ok(solid_sphere(10));
        const Complex s(0.0, coarse.angular_frequency());
        const double eta = omega_tau * mu / coarse.angular_frequency();
        const Complex h2 = classical_h2(mu * s * eta / (mu + s * eta)), l2 = 0.3 * h2;
        if (omega_tau < 1e-6) {
            EXPECT_LT(std::abs(l2 - 0.75), 1e-8);
        }
        std::vector<double> h_error, l_error;
        for (const int cells : {10, 20, 40, 80}) {
            const Engine engine(read_ok(solid_sphere(cells)));
            const double etas[] = {eta};
            const SteadyPair pair = engine.steady(etas)[0][Rheology::Maxwell];
            const LoveNumbers& love = pair.continuous.love;
            h_error.push_back(std::abs(love.h2 - h2) / std::abs(h2));
            l_error.push_back(std::abs(love.l2 - l2) / std::abs(l2));
            EXPECT_LT(std::abs(love.k2 - 0.6 * love.h2), 1e-12 * std::abs(love.h2)) << cells;
            const auto e = grid_error(pair, engine.model().grid);
            ASSERT_TRUE(e);
            EXPECT_NEAR(e->l2 / l_error.back(), 1.0, 0.02) << omega_tau << " " << cells;
        }
        // h2 elastic and at omega tau = 1, l2 at all three.
        for (const std::vector<double>* error : {&h_error, &l_error}) {
            if (error == &h_error && omega_tau < 1e-6) continue;
            EXPECT_LT((*error)[3], 1e-4) << "omega tau " << omega_tau;
            for (std::size_t i = 0; i + 1 < error->size(); ++i)
                EXPECT_NEAR(std::log2((*error)[i] / (*error)[i + 1]), 2.0, 0.12)
                    << "omega tau " << omega_tau << " cells " << (10 << i);
        }
    }
}

// The grid error that a run reports for h2 (Richardson's estimate from N and 2N cells) is the
// true error against the classical sphere, and the extrapolated h2 is closer to it than the
// finer grid's. Caught: the ratio of the spacings taken as a shell's (2N - 1) / (N - 1) on
// the grid that reaches the centre, whose is (4N - 1) / (2N - 1) (the estimate then off by
// 1.7 % at 10 cells, where the error of h2 is C h^2 to nine digits).
TEST(SolidSphere, GridErrorEstimateIsTheTrueError) {
    const double mu = balanced_rigidity();
    const Complex h2 = classical_h2(mu);
    for (const int cells : {10, 20}) {
        const Engine engine(read_ok(solid_sphere(cells)));
        const double etas[] = {1e40};
        const SteadyPair pair = engine.steady(etas)[0][Rheology::Maxwell];
        ASSERT_TRUE(pair.refined);
        const auto e = grid_error(pair, engine.model().grid);
        ASSERT_TRUE(e);
        const double truth = std::abs(pair.continuous.love.h2 / h2 - 1.0);
        EXPECT_NEAR(e->h2 / truth, 1.0, 0.01) << cells;
        const auto x = extrapolated(pair, engine.model().grid);
        ASSERT_TRUE(x);
        EXPECT_LT(std::abs(x->h2 - h2), 0.05 * std::abs(pair.refined->love.h2 - h2)) << cells;
    }
}

// The heating profile's cells tile the sphere from its surface to the centre and add up to
// its power; the maps' area integral converges to the power as their step shrinks.
// Caught: the innermost profile cell ending at its mid-radius (a gap above the centre);
// the power's radial sum weighting the innermost cell by one half (the profile's cells then
// add up to more than the power); the maps' depth integral weighting it by one half.
TEST(SolidSphere, ProfileAndMapsCoverTheWholeSphere) {
    const Body b = read_ok(solid_sphere(20));
    const Engine engine(b);
    const double etas[] = {1e14};
    const PeriodRecord s = engine.steady(etas)[0][Rheology::Maxwell].continuous;
    const std::vector<ProfileLayer> p = heating_profile(s.layer_heating, engine.model().grid);
    ASSERT_EQ(p.size(), 20u);
    EXPECT_EQ(p.front().outer_radius, kRadius);
    EXPECT_EQ(p.back().inner_radius, 0.0);
    double sum = 0.0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (i > 0) {
            EXPECT_EQ(p[i].outer_radius, p[i - 1].inner_radius);
        }
        sum += p[i].power;
    }
    EXPECT_NEAR(sum / s.power - 1.0, 0.0, 1e-13);

    double error[2];
    const double steps[2] = {4.0, 2.0};
    for (int k = 0; k < 2; ++k) {
        const MapGrid grid{steps[k]};
        const HeatingMap map = surface_maps(engine.model(), 1e14, Flavour::Continuous, grid).front();
        error[k] = std::fabs(map_integral(map, grid) * kRadius * kRadius / s.power - 1.0);
    }
    EXPECT_LT(error[0], 1e-2);
    EXPECT_GT(error[0] / error[1], 3.5);
}

// The time integration of the solid sphere: the batched lanes give the plain substitution's
// records bit for bit, every rheology's last period has the Love numbers of the scheme's
// periodic state (l2 too, and the exact-in-time state's to the step error of the power),
// and the power it dissipates is the tide's work on it.
// Caught: the time integration's l2 taken from the order-2 cosine component instead of the
// order-0 one (l2 off by the ratio of their tides); the tide's inner-boundary pressure still loaded at the centre (the central node
// pushed off zero: the runs' power no longer the tide's work); the plain path's power summed
// on a shell's grid instead of the sphere's (lanes and plain no longer the same bits).
TEST(SolidSphere, TimeIntegrationReachesThePeriodicStateInBothPaths) {
    const Body b = read_ok(solid_sphere(12, kEveryModel, 400, 10));
    const Engine engine(b);
    const ShellModel& m = engine.model();
    RunWorkspace ws(m);
    SteadyEngine periodic(m);
    const std::vector<double> etas = {1e11, 1e12};
    for (const RheologyNames& r : kRheologies) {
        const std::vector<RunRecords> runs = run_batch(r.id, m, etas, ws);
        ASSERT_EQ(runs.size(), etas.size());
        for (const RunRecords& run : runs) {
            testing_records::expect_same_bits(run, run_reference(m, run.eta, r.id),
                                              std::string(r.name));
            const PeriodRecord s = periodic.solve(r.id, Flavour::Discrete,
                                                   std::vector<double>(12, run.eta));
            const double settled = r.id == Rheology::Andrade ? 1e-6 : 1e-8;
            EXPECT_LT(std::abs(run.period.love.h2 - s.love.h2) / std::abs(s.love.h2), settled) << r.name;
            EXPECT_LT(std::abs(run.period.love.k2 - s.love.k2) / std::abs(s.love.k2), settled) << r.name;
            EXPECT_LT(std::abs(run.period.love.l2 - s.love.l2) / std::abs(s.love.l2), settled) << r.name;
            const PeriodRecord c = periodic.solve(r.id, Flavour::Continuous,
                                                   std::vector<double>(12, run.eta));
            const double step_error = std::fabs(s.power / c.power - 1.0);
            EXPECT_LT(std::abs(run.period.love.l2 - c.love.l2) / std::abs(c.love.l2),
                      step_error + settled) << r.name;
            EXPECT_LT(std::fabs(run.period.power / s.power - 1.0), 10.0 * settled) << r.name;
            EXPECT_LT(std::fabs(tide_work(b, run.period.love.k2) / run.period.power - 1.0), 5e-3) << r.name;
        }
    }
}

} // namespace
} // namespace tidal
