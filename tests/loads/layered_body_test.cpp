// A body given by its layers against physics: in the fluid limit its Love numbers are those of
// the equilibrium figure of its density profile (each interface an equipotential of the tide
// plus the potential of every displaced interface), derived here independently; the [shell]
// form with the gravities of the same densities gives the same numbers (so what the [shell]
// form is shown to satisfy holds for the layers too).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <variant>
#include <vector>

#include "files/body_file.hpp"
#include "engine/engine.hpp"
#include "shell_fixtures.hpp"

namespace tidal {
namespace {

const double kG = kGravitationalConstant;

std::string two_layers(double R, double shell, double rho_shell, double rho_core, double mu,
                       int cells) {
    return "name = \"two layers\"\nouter_radius = " + toml_real(R) +
           "\n[[layer]]\nname = \"shell\"\nthickness = " + toml_real(shell) +
           "\ndensity = " + toml_real(rho_shell) + "\nstate = \"solid\"\nrigidity = " +
           toml_real(mu) + "\nviscosity = \"swept\"\ncells = " + std::to_string(cells) +
           "\n[[layer]]\nname = \"core\"\nthickness = " + toml_real(R - shell) +
           "\ndensity = " + toml_real(rho_core) +
           "\nstate = \"liquid\"\n[orbit]\nperiod = 118386.0\neccentricity = 0.0047\n"
           "[sweep]\nlog10_viscosity_min = 13.0\nlog10_viscosity_max = 15.0\n"
           "[rheology]\nmodels = [\"maxwell\"]\n";
}

// Fluid Love numbers of two uniform liquid layers (outer radius R, density rho1 above the
// interface at a, rho2 below): the surface and the interface are equipotentials of the tide
// W (r/R)^2 plus the potentials of both displaced interfaces, g(r) U = W(r) + V(r), a surface
// mass sigma Y at radius b having the potential (4 pi G b sigma / 5) (r/b)^2 inside and
// (b/r)^3 outside. Returns (h2, k2) = (g(R) U(R) / W, V(R) / W).
std::pair<double, double> equilibrium_figure(double R, double a, double rho1, double rho2) {
    const double pi = 3.141592653589793;
    const double mass_a = 4.0 / 3.0 * pi * rho2 * a * a * a;
    const double mass = mass_a + 4.0 / 3.0 * pi * rho1 * (R * R * R - a * a * a);
    const double gR = kG * mass / (R * R), ga = kG * mass_a / (a * a);
    const double c = 4.0 * pi * kG / 5.0;
    const double s1 = rho1, s2 = rho2 - rho1; // density jumps at R and at a
    // Unknowns U(R), U(a) for a tide of unit amplitude at R:
    //   gR U1 - c R s1 U1 - c a s2 (a/R)^3 U2 = 1
    //   ga U2 - c R s1 (a/R)^2 U1 - c a s2 U2 = (a/R)^2
    const double A11 = gR - c * R * s1, A12 = -c * a * s2 * std::pow(a / R, 3);
    const double A21 = -c * R * s1 * std::pow(a / R, 2), A22 = ga - c * a * s2;
    const double b1 = 1.0, b2 = std::pow(a / R, 2);
    const double det = A11 * A22 - A12 * A21;
    const double U1 = (b1 * A22 - A12 * b2) / det, U2 = (A11 * b2 - A21 * b1) / det;
    const double V = c * R * s1 * U1 + c * a * s2 * std::pow(a / R, 3) * U2;
    return {gR * U1, V};
}

// The fluid limit: a Maxwell shell far below its relaxation time responds as a liquid, so the
// body is a liquid of two layers whose Love numbers the grid approaches at order 2 in the cell
// size (the boundary values are means of the nodes around them), with k2 = h2 - 1 (the surface
// an equipotential). Faults this caught: the liquid's gravity taken at the surface
// (bottom_gravity = surface_gravity: h2 off by 12%); self-gravitation left off by the layered
// reader (h2 near 1).
TEST(LayeredBody, FluidLimitIsTheEquilibriumFigureOfTheDensitiesAtOrderTwo) {
    const double R = 252000.0;
    for (const auto& [shell, rho1, rho2] :
         {std::tuple{42000.0, 950.0, 1800.0}, std::tuple{120000.0, 1000.0, 3500.0},
          std::tuple{42000.0, 1500.0, 1500.0}}) {
        const auto [h2, k2] = equilibrium_figure(R, R - shell, rho1, rho2);
        if (rho1 == rho2) { EXPECT_NEAR(h2, 2.5, 1e-12); } // the homogeneous fluid sphere
        std::vector<double> error_h2, error_k2;
        for (int cells : {20, 40, 80}) {
            const Engine engine(read_ok(two_layers(R, shell, rho1, rho2, 4e9, cells)));
            const double eta[] = {1e3}; // omega eta / mu ~ 1e-11
            const LoveNumbers love = engine.steady(eta)[0][Rheology::Maxwell].continuous.love;
            error_h2.push_back(std::abs(love.h2.real() / h2 - 1.0));
            error_k2.push_back(std::abs(love.k2.real() / k2 - 1.0));
            EXPECT_NEAR(love.k2.real(), love.h2.real() - 1.0, 2e-4);
        }
        EXPECT_LT(error_h2[2], 2e-5) << shell << " " << rho1 << " " << rho2;
        EXPECT_LT(error_k2[2], 2e-5);
        for (const auto* e : {&error_h2, &error_k2}) {
            const double order = std::log2((*e)[1] / (*e)[2]);
            EXPECT_NEAR(order, 2.0, 0.15) << shell << " " << rho1 << " " << rho2;
        }
    }
}

// The [shell] form with the gravities of the same densities and self-gravitation on: the same
// numbers (every field of the steady records), so the layered reader maps every key.
TEST(LayeredBody, ShellFormWithTheSameGravitiesGivesTheSameNumbers) {
    const double R = 252000.0, shell = 42000.0, rho1 = 950.0, rho2 = 1800.0, a = R - shell;
    const double pi = 3.141592653589793;
    const double mass = 4.0 / 3.0 * pi * (rho1 * (R * R * R - a * a * a) + rho2 * a * a * a);
    const std::string shell_text =
        "name = \"shell\"\n[shell]\nouter_radius = 252000.0\nthickness = 42000.0\n"
        "rigidity = 4e9\ndensity = 950.0\ndensity_contrast = 850.0\nsurface_gravity = " +
        toml_real(kG * mass / (R * R)) + "\nbottom_gravity = " +
        toml_real(4.0 / 3.0 * pi * kG * rho2 * a) +
        "\nviscosity_factors = [" + [] {
            std::string s;
            for (int i = 0; i < 30; ++i) s += (i ? ", " : "") + std::string("2.0");
            return s;
        }() + "]\nself_gravity = true\n[orbit]\nperiod = 118386.0\neccentricity = 0.0047\n"
              "[sweep]\nlog10_viscosity_min = 13.0\nlog10_viscosity_max = 15.0\n"
              "[rheology]\nmodels = [\"maxwell\", \"andrade\"]\n[numerics]\nlayers = 30\n";
    std::string layered = two_layers(R, shell, rho1, rho2, 4e9, 30);
    layered.replace(layered.find("viscosity = \"swept\""), 19, "viscosity = \"swept\"\nviscosity_factor = 2.0");
    layered.replace(layered.find("models = [\"maxwell\"]"), 20, "models = [\"maxwell\", \"andrade\"]");
    const Engine plain(read_ok(shell_text)), layers(read_ok(layered));
    const std::vector<double> etas = {1e13, 3e14, 1e16};
    const auto x = plain.steady(etas), y = layers.steady(etas);
    for (std::size_t i = 0; i < etas.size(); ++i)
        for (Rheology r : {Rheology::Maxwell, Rheology::Andrade}) {
            const PeriodRecord &p = x[i][r].continuous, &q = y[i][r].continuous;
            const auto close = [](double u, double v) { return std::abs(u - v) <= 1e-13 * std::abs(u); };
            EXPECT_TRUE(close(p.power, q.power)) << p.power << " " << q.power;
            EXPECT_TRUE(close(p.amplitude, q.amplitude));
            EXPECT_TRUE(close(p.phase_lag_deg, q.phase_lag_deg));
            EXPECT_TRUE(close(p.urmin, q.urmin));
            EXPECT_TRUE(close(p.urthmax, q.urthmax));
            EXPECT_TRUE(close(p.love.h2.real(), q.love.h2.real()) && close(p.love.h2.imag(), q.love.h2.imag()));
            EXPECT_TRUE(close(p.love.k2.real(), q.love.k2.real()) && close(p.love.k2.imag(), q.love.k2.imag()));
            ASSERT_EQ(p.layer_heating.size(), q.layer_heating.size());
            for (std::size_t l = 0; l < p.layer_heating.size(); ++l)
                EXPECT_TRUE(close(p.layer_heating[l], q.layer_heating[l]));
        }
}

} // namespace
} // namespace tidal
