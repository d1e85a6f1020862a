// Self-gravitation against physics: the classical homogeneous incompressible sphere, the
// fluid limit (a fluid boundary follows the tide plus the potential of the displaced mass),
// and the plain and batched runs agreeing to the bit. (The energy balance of self-gravitating
// bodies: LayerRheology and SolidSphere.) (The time integration of self-gravitating bodies reaching their
// periodic state: the layered bodies' tests, DensityJump, SolidSphere and LayerRheology.)
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "body/presets.hpp"
#include "loads/self_gravity.hpp"
#include "steady/steady_sweep.hpp"
#include "timestep/reference_run.hpp"
#include "timestep/run.hpp"
#include "same_records.hpp"
#include "shell_fixtures.hpp"

namespace tidal {
namespace {

using C = std::complex<double>;

// A homogeneous body of radius R: a shell of thickness 0.999 R over a fluid core of the same
// density, the density the mean density of gravity g at R, gravity g r/R at the core.
Body homogeneous(int layers, double mu, bool self_gravity) {
    Body b = *preset_body(3);
    b.layers = layers;
    b.thickness = b.outer_radius - 0.001 * b.outer_radius;
    b.rigidity.assign(static_cast<std::size_t>(layers), mu);
    b.viscosity_factors.assign(static_cast<std::size_t>(layers), 1.0);
    b.density = mean_density(b);
    b.density_contrast = 0.0;
    b.bottom_gravity = b.surface_gravity * (b.inner_radius() / b.outer_radius);
    b.self_gravity = self_gravity;
    return b;
}

// The complex amplitudes (orbital frequency) of the order-0 radial displacement of the outer
// surface and the inner boundary in the exact periodic state of rheology r at viscosity eta.
std::array<C, 2> boundary_amplitudes(const ShellModel& m, Rheology r, double eta) {
    PeriodicSolver solver(m);
    PeriodicState state;
    const std::vector<double> layer_eta(static_cast<std::size_t>(m.body.layers), eta);
    solver.solve(r, Flavour::Continuous, layer_eta, state);
    const auto& x = state.x[0][kComponentOrder0];
    const DegreeFactors f = degree_factors(2.0);
    const auto u = [&](int k) {
        return f.s1 * x[static_cast<std::size_t>(unknowns::u_minus(k) - 1)] -
               f.s2 * x[static_cast<std::size_t>(unknowns::u_plus(k) - 1)];
    };
    const int N = m.body.layers;
    return {(u(1) + u(2)) / 2.0, (u(N) + u(N + 1)) / 2.0};
}

// The order-0 tidal potential's amplitude at radius r, J/kg: -sqrt(9 pi/5) r^2 omega^2 e
// (the coefficient of the orthonormal Y20 of the eccentricity tide's -3/2 r^2 omega^2 e P20
// cos M).
double tide(const Body& b, double r) {
    return -std::sqrt(9.0 * kPi / 5.0) * (r * r) * (b.angular_frequency() * b.angular_frequency()) * b.eccentricity;
}

// The potential Love number k2: the potential at R of the displaced surface and interface
// (surface layers of density rho and drho) over the tide's.
C love_k2(const Body& b, const std::array<C, 2>& u) {
    const double G = kGravitationalConstant, R = b.outer_radius, r = b.inner_radius();
    const C V = (4.0 * kPi * G / 5.0) * (b.density * R * u[0] + b.density_contrast * r * std::pow(r / R, 3) * u[1]);
    return V / tide(b, R);
}

// The classical radial Love number of a homogeneous incompressible sphere of complex rigidity
// mu: 1/(1 + 19 mu/(5 rho g R)) without self-gravitation, (5/2)/(1 + 19 mu/(2 rho g R)) with.
C classical_h2(const Body& b, C mu, bool self_gravity) {
    const double rgR = b.density * b.surface_gravity * b.outer_radius;
    return self_gravity ? 2.5 / (1.0 + 19.0 * mu / (2.0 * rgR)) : 1.0 / (1.0 + 19.0 * mu / (5.0 * rgR));
}

TEST(SelfGravity, HomogeneousSphereConvergesToTheClassicalLoveNumbers) {
    const double mu = 3.3e9;
    const double omega = preset_body(3)->angular_frequency();
    // Elastic (a Maxwell viscosity far beyond the period) and at the Maxwell peak, where the
    // correspondence principle gives the rigidity mu i omega eta / (mu + i omega eta).
    for (const double eta : {1e40, mu / omega}) {
        const C i_omega_eta(0.0, omega * eta);
        const C mu_c = mu * i_omega_eta / (mu + i_omega_eta);
        for (const bool sg : {false, true}) {
            SCOPED_TRACE(testing::Message() << "eta " << eta << (sg ? ", self-gravitating" : ""));
            std::vector<double> error;
            for (const int layers : {10, 20, 40}) {
                const Body b = homogeneous(layers, mu, sg);
                const ShellModel m = make_shell_model(b, RunConstants{2.0, 100, 1000});
                const auto u = boundary_amplitudes(m, Rheology::Maxwell, eta);
                const C h2 = u[0] * b.surface_gravity / tide(b, b.outer_radius);
                const C want = classical_h2(b, mu_c, sg);
                error.push_back(std::abs(h2 / want - 1.0));
            }
            // Second order in the layer thickness.
            EXPECT_NEAR(std::log2(error[0] / error[1]), 2.0, 0.2);
            EXPECT_NEAR(std::log2(error[1] / error[2]), 2.0, 0.2);
            EXPECT_LT(error[2], 1e-3);
        }
    }
}

TEST(SelfGravity, FluidBoundariesFollowTheTidePlusThePotentialOfTheDisplacedMass) {
    // Europa's ice shell over its ocean and the exoplanet's mantle over its core, fluid: each
    // boundary is an equipotential, U = (W + V)/g with V the displaced mass's potential, so the
    // surface's h2 is 1 + k2 (the remainder is the grid's error, second order in the layers).
    for (const int choice : {3, 5}) {
        SCOPED_TRACE(choice);
        Body b = *preset_body(choice);
        b.self_gravity = true;
        const ShellModel m = with_layers(b, 40, 100, 10);
        b = m.body;
        const double eta = 1e-8 * b.rigidity[0] / b.angular_frequency();
        const auto u = boundary_amplitudes(m, Rheology::Maxwell, eta);
        const C h2 = u[0] * b.surface_gravity / tide(b, b.outer_radius);
        const C k2 = love_k2(b, u);
        EXPECT_GT(k2.real(), 0.2);
        EXPECT_LT(std::abs(h2 / (1.0 + k2) - 1.0), 4e-5);
        // The inner boundary: the tide and both layers' potentials there.
        const double G = kGravitationalConstant, R = b.outer_radius, r = b.inner_radius();
        const C V_in = (4.0 * kPi * G / 5.0) *
                       (b.density * R * std::pow(r / R, 2) * u[0] + b.density_contrast * r * u[1]);
        EXPECT_LT(std::abs(u[1] * b.bottom_gravity / (tide(b, r) + V_in) - 1.0), 4e-5);
    }
}

TEST(SelfGravity, BatchedRunsMatchThePlainOnesBitForBit) {
    // Europa, Mercury and a two-layer Europa, whose nodes around the surface and the inner
    // boundary overlap.
    for (const int choice : {3, 8, 0}) {
        Body b = *preset_body(choice == 0 ? 3 : choice);
        b.self_gravity = true;
        const ShellModel m = with_layers(b, choice == 0 ? 2 : b.layers, 40, 5);
        RunWorkspace ws(m);
        // Viscosities across the sweep, so that the lanes pivot differently.
        const std::vector<double> etas = {1e12, 1e14, 1e16, 1e18, 1e20};
        for (const RheologyNames& r : kRheologies) {
            SCOPED_TRACE(testing::Message() << "body " << choice << ", " << r.name);
            const auto batch = run_batch(r.id, m, etas, ws);
            for (std::size_t i = 0; i < etas.size(); ++i)
                expect_same_record(batch[i], run_reference(m, etas[i], r.id));
        }
    }
}

} // namespace
} // namespace tidal
