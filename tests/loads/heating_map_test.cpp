// The surface heat-flux maps held to mathematics and physics: the stress parts keep the norm
// of the tensor components, the angular functions are orthogonal with the norms the power
// assumes, the maps integrate to the power (exactly under a quadrature that integrates their
// polynomials exactly; the exact tide's too, summed over its harmonics), have the symmetries of the eccentricity tide of a synchronous
// body, and a shell over an ocean heats most at its poles; an oblique body's maps (the order-1
// pair beside) integrate to both runs' power and have the symmetries of the order-1 tide.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "body/presets.hpp"
#include "loads/heating_map.hpp"
#include "same_records.hpp"
#include "shell_fixtures.hpp"
#include "steady/period_reduction.hpp"
#include "steady/steady_sweep.hpp"
#include "steady/surface_maps.hpp"

namespace tidal {
namespace {

// Gauss-Legendre nodes and weights on [-1, 1] (Newton on the Legendre recurrence).
void gauss_legendre(int n, std::vector<double>& x, std::vector<double>& w) {
    x.assign(static_cast<std::size_t>(n), 0.0);
    w.assign(static_cast<std::size_t>(n), 0.0);
    for (int i = 0; i < n; ++i) {
        double z = std::cos(kPi * (i + 0.75) / (n + 0.5)), dp = 0.0;
        for (int it = 0; it < 100; ++it) {
            double p0 = 1.0, p1 = z;
            for (int k = 2; k <= n; ++k) {
                const double p2 = ((2.0 * k - 1.0) * z * p1 - (k - 1.0) * p0) / k;
                p0 = p1;
                p1 = p2;
            }
            dp = n * (z * p1 - p0) / (z * z - 1.0);
            const double dz = p1 / dp;
            z -= dz;
            if (std::fabs(dz) < 1e-16) break;
        }
        x[static_cast<std::size_t>(i)] = z;
        w[static_cast<std::size_t>(i)] = 2.0 / ((1.0 - z * z) * dp * dp);
    }
}

// Integral over the unit sphere of f(colatitude, longitude), exact for polynomials of degree
// below 2 * 8 in cos(colatitude) times trigonometric ones below 16 in longitude.
template <class F> double sphere_integral(F f) {
    std::vector<double> x, w;
    gauss_legendre(8, x, w);
    const int m = 16;
    double sum = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
        for (int k = 0; k < m; ++k)
            sum += w[i] * (2.0 * kPi / m) * f(std::acos(x[i]), 2.0 * kPi * k / m);
    return sum;
}

TEST(HeatingMap, StressPartsKeepTheNormOfTheTensorComponents) {
    // 3/2 A^2 + 12 B^2 + 12 C^2 = |t|^2 for any components t: the parts are those of the same
    // tensor (a wrong sign between the stresses' coefficients breaks it).
    const StressParts P = stress_parts(make_shell_model(*preset_body(1)).K, 2.0);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int trial = 0; trial < 20; ++trial) {
        const double t[3] = {u(rng), u(rng), u(rng)};
        double p[3];
        for (std::size_t r = 0; r < 3; ++r)
            p[r] = P[r][0] * t[0] + P[r][1] * t[1] + P[r][2] * t[2];
        EXPECT_NEAR(1.5 * p[0] * p[0] + 12.0 * p[1] * p[1] + 12.0 * p[2] * p[2],
                    t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1e-13);
    }
}

TEST(HeatingMap, AngularFunctionsAreOrthogonalWithThePowersNorms) {
    // Y_0 = Y20, Y_c = 2 Re Y22, Y_s = -2 Im Y22, Y_c1 = 2 Re Y21, Y_s1 = -2 Im Y21: norms 1,
    // 2, 2, 2, 2 (the orders 1 and 2 count twice in every dissipation sum); their gradients
    // and traceless Hessians j(j+1) = 6 and 12 times as much. Caught: the order-1 traceless
    // Hessian's theta-phi part written with cos(theta) in place of 1 (n1 s c sin phi).
    const double norm[kMapComponents] = {1.0, 2.0, 2.0, 2.0, 2.0};
    for (std::size_t a = 0; a < kMapComponents; ++a)
        for (std::size_t b = 0; b < kMapComponents; ++b) {
            const double want = a == b ? norm[a] : 0.0;
            const auto f = [&](int what) {
                return sphere_integral([&](double th, double ph) {
                    const AngularFunctions y = degree2_functions(th, ph);
                    if (what == 0) return y.value[a] * y.value[b];
                    if (what == 1)
                        return y.gradient[a][0] * y.gradient[b][0] +
                               y.gradient[a][1] * y.gradient[b][1];
                    return 2.0 * (y.traceless[a][0] * y.traceless[b][0] +
                                  y.traceless[a][1] * y.traceless[b][1]);
                });
            };
            EXPECT_NEAR(f(0), want, 1e-13) << a << b;
            EXPECT_NEAR(f(1), 6.0 * want, 1e-12) << a << b;
            EXPECT_NEAR(f(2), 12.0 * want, 1e-12) << a << b;
        }
}

TEST(HeatingMap, GradientsAndHessiansAreTheDerivativesOfTheValues) {
    // Central differences of the values: grad = (d/dtheta, d/dphi / sin theta); the traceless
    // Hessian's theta-theta part (f_tt - f_pp) / 2 with f_pp = f_phiphi / sin^2 + cot f_t, and
    // theta-phi part (f_tphi - cot f_phi) / sin.
    const double h = 1e-4;
    for (const double th : {0.3, 1.1, 2.5})
        for (const double ph : {0.2, 1.9, 4.0}) {
            const auto v = [&](double t, double p, std::size_t a) {
                return degree2_functions(t, p).value[a];
            };
            const AngularFunctions f = degree2_functions(th, ph);
            for (std::size_t a = 0; a < kMapComponents; ++a) {
                const double ft = (v(th + h, ph, a) - v(th - h, ph, a)) / (2 * h);
                const double fp = (v(th, ph + h, a) - v(th, ph - h, a)) / (2 * h);
                const double ftt = (v(th + h, ph, a) - 2 * v(th, ph, a) + v(th - h, ph, a)) / (h * h);
                const double fpp = (v(th, ph + h, a) - 2 * v(th, ph, a) + v(th, ph - h, a)) / (h * h);
                const double ftp = (v(th + h, ph + h, a) - v(th + h, ph - h, a) -
                                    v(th - h, ph + h, a) + v(th - h, ph - h, a)) /
                                   (4 * h * h);
                const double s = std::sin(th), cot = std::cos(th) / s;
                EXPECT_NEAR(f.gradient[a][0], ft, 1e-6) << a;
                EXPECT_NEAR(f.gradient[a][1], fp / s, 1e-6) << a;
                EXPECT_NEAR(f.traceless[a][0], (ftt - (fpp / (s * s) + cot * ft)) / 2.0, 1e-5) << a;
                EXPECT_NEAR(f.traceless[a][1], (ftp - cot * fp) / s, 1e-5) << a;
            }
        }
}

ShellModel model_of(int preset, int nperiod = 200) {
    return make_shell_model(*preset_body(preset), RunConstants{2.0, nperiod, nperiod * 4});
}

// The depth-integrated flux of layer maps at a point, W/m^2.
double flux_at(const std::vector<LayerMap>& layers, const ShellModel& m, double th, double ph) {
    const AngularFunctions f = degree2_functions(th, ph);
    const int N = m.body.layers;
    const auto r = vec1(m.grid.r);
    double flux = 0.0;
    for (int i = 1; i <= N; ++i) {
        const double mid = (r(i) + r(i + 1)) / 2.0, d = r(i) - r(i + 1);
        const double w = (i == 1 || i == N) ? 0.5 : 1.0;
        flux += w * mid * mid * d * local_heating(layers[static_cast<std::size_t>(i - 1)], f);
    }
    return flux / (m.body.outer_radius * m.body.outer_radius);
}

// A body's layer maps and power at the swept viscosity eta (times each layer's factor) from
// the plain solver: an oblique body's five components from the states of its two runs (orders
// 0 and 2, and the order-1 pair), and the power the steady engine adds up.
struct ExactMaps {
    std::vector<LayerMap> layers;
    double power;
};
ExactMaps exact_maps(const ShellModel& m, Rheology r, Flavour flavour, double eta) {
    PeriodicSolver solver(m);
    const PeriodReduction reduction(m, solver.forcing().harmonics);
    PeriodicState state, one_state;
    std::vector<double> layer_eta(static_cast<std::size_t>(m.body.layers));
    for (std::size_t l = 0; l < layer_eta.size(); ++l)
        layer_eta[l] = eta * m.body.viscosity_factor(l);
    solver.solve(r, flavour, layer_eta, state);
    if (m.body.oblique()) PeriodicSolver(order_one_model(m)).solve(r, flavour, layer_eta, one_state);
    return {reduction.layer_maps(state, r, flavour, layer_eta, m.body.oblique() ? &one_state : nullptr),
            SteadyEngine(m).solve(r, flavour, layer_eta).power};
}

// A written map's flux at latitude row i and longitude column k (taken round the circle).
double grid_flux(const HeatingMap& map, const MapGrid& grid, int i, int k) {
    const int M = grid.longitudes();
    return map.flux[static_cast<std::size_t>(i * M + ((k % M) + M) % M)];
}

Body exact_body(double e, int layers = 8) {
    Body b = *preset_body(1);
    b.layers = layers;
    b.eccentricity = e;
    b.tide = "exact";
    return b;
}

Body oblique_body(double e, double obliquity, const char* tide = "expansion") {
    Body b = exact_body(e, 6);
    b.obliquity = obliquity;
    b.pericentre_argument = 35.0;
    b.tide = tide;
    return b;
}

// The area integral of the depth-integrated flux times R^2 is the power of the same periodic
// state, exactly under Gauss-Legendre, both flavours, every rheology: a layered shell with
// viscosity factors; the exact tide at e = 0.5 (34 harmonics), the sum over harmonics of
// every harmonic's map; eccentricity and obliquity together, the first-order and the exact
// tide (the cross terms of the order-1 pair with the others vanish over the sphere).
// Caught: the harmonics' products in the map's means summed over the first two harmonics
// only; a cross term of different harmonics kept in the continuous means; the order-1 pair's
// products left out of the maps; the order-1 state's cosine slot read for both of its
// components.
TEST(HeatingMap, MapsIntegrateToThePowerOfTheirPeriodicState) {
    Body layered = *preset_body(3);
    layered.layers = 12;
    layered.rigidity.assign(12, 3.3e9);
    layered.viscosity_factors.assign(12, 1.0);
    for (int l = 0; l < 12; ++l) layered.viscosity_factors[static_cast<std::size_t>(l)] = std::pow(10.0, -0.2 * l);
    for (const Body& b : {layered, exact_body(0.5), oblique_body(0.05, 25.0),
                          oblique_body(0.05, 25.0, "exact")}) {
        const ShellModel m = make_shell_model(b, RunConstants{2.0, 200, 800});
        for (const RheologyNames& r : kRheologies)
            for (const Flavour flavour : {Flavour::Continuous, Flavour::Discrete}) {
                const ExactMaps x = exact_maps(m, r.id, flavour, 1e14);
                const double integral =
                    sphere_integral([&](double th, double ph) { return flux_at(x.layers, m, th, ph); }) *
                    (m.body.outer_radius * m.body.outer_radius);
                EXPECT_NEAR(integral / x.power - 1.0, 0.0, 1e-12) << b.name << " " << b.tide << " " << r.name;
            }
    }
}

TEST(HeatingMap, EccentricityTideIsSymmetricAndHeatsAnIceShellMostAtThePoles) {
    // Enceladus' shell over its ocean near and away from the Maxwell peak: north and south
    // alike, east and west of the sub-planet meridian alike; the poles hottest.
    const ShellModel m = model_of(1);
    const MapGrid grid{10.0};
    for (const double eta : {1e13, 1e15})
        for (const HeatingMap& map : surface_maps(m, eta, Flavour::Continuous, grid)) {
            const int L = grid.latitudes(), M = grid.longitudes();
            const auto at = [&](int i, int k) { return grid_flux(map, grid, i, k); };
            double top = 0.0, low = 1e300;
            for (int i = 0; i < L; ++i)
                for (int k = 0; k < M; ++k) {
                    EXPECT_NEAR(at(i, k), at(L - 1 - i, k), 1e-12 * at(i, k));
                    EXPECT_NEAR(at(i, k), at(i, -k), 1e-12 * at(i, k));
                    top = std::max(top, at(i, k));
                    low = std::min(low, at(i, k));
                }
            EXPECT_GT(low, 0.0);
            EXPECT_NEAR(at(L - 1, 0), top, 1e-12 * top) << eta;
            EXPECT_GT(at(L - 1, 0), 1.2 * at(L / 2, 0)) << eta;
        }
}

// Caught: the cross terms of the order-1 pair with the order-0 and order-2 components left
// out (the tilted eccentric map then keeps the north-south symmetry); the order-1 cosine's
// gradient written with sin(phi) (it breaks the east-west symmetry of the obliquity map).
TEST(HeatingMap, ObliquityMapHasTheSymmetriesOfTheOrderOneTide) {
    // The first-order obliquity tide alone (e = 0) forces the single real function
    // Y_c1 = 2 Re Y21 = -n1 sin(colat) cos(colat) cos(lon), whose square, squared gradient and
    // squared traceless Hessian are each unchanged by lat -> -lat, by lon -> -lon and by
    // lon -> lon + 180 deg: so is its map, to rounding, whatever the pericentre's argument.
    // The pattern is not the eccentricity tide's: an ice shell over its ocean heats most on
    // the equator at 90 deg from the sub-planet meridian, its poles not at all by the membrane
    // part (where the eccentricity tide heats most). With e and the obliquity together the
    // cross terms break the north-south symmetry; the antipodal one of every degree-2 field,
    // (lat, lon) -> (-lat, lon + 180 deg), stays.
    const MapGrid grid{10.0};
    const int L = grid.latitudes(), M = grid.longitudes();
    const auto at = [&](const HeatingMap& map, int i, int k) { return grid_flux(map, grid, i, k); };
    Body b = *preset_body(1);
    b.layers = 10;
    b.eccentricity = 0.0;
    b.obliquity = 10.0;
    for (const double pericentre : {0.0, 70.0}) {
        b.pericentre_argument = pericentre;
        const ShellModel m = make_shell_model(b, RunConstants{2.0, 200, 800});
        for (const double eta : {1e13, 1e15}) {
            const HeatingMap map = surface_maps(m, eta, Flavour::Continuous, grid).front();
            double top = 0.0;
            for (int i = 0; i < L; ++i)
                for (int k = 0; k < M; ++k) {
                    const double q = at(map, i, k);
                    top = std::max(top, q);
                    EXPECT_NEAR(at(map, L - 1 - i, k), q, 1e-12 * q) << i << " " << k;
                    EXPECT_NEAR(at(map, i, -k), q, 1e-12 * q) << i << " " << k;
                    EXPECT_NEAR(at(map, i, k + M / 2), q, 1e-12 * q) << i << " " << k;
                }
            // Equator at 90 deg: the hottest points; the poles far cooler.
            EXPECT_NEAR(at(map, L / 2, M / 4), top, 1e-12 * top) << eta;
            EXPECT_LT(at(map, L - 1, 0), 0.5 * top) << eta;
        }
    }
    // Eccentricity and obliquity together.
    b.eccentricity = 0.01;
    b.obliquity = 20.0;
    const ShellModel m = make_shell_model(b, RunConstants{2.0, 200, 800});
    const HeatingMap map = surface_maps(m, 1e14, Flavour::Continuous, grid).front();
    double asymmetry = 0.0;
    for (int i = 0; i < L; ++i)
        for (int k = 0; k < M; ++k) {
            const double q = at(map, i, k);
            EXPECT_NEAR(at(map, L - 1 - i, k + M / 2), q, 1e-12 * q) << i << " " << k;
            asymmetry = std::max(asymmetry, std::fabs(at(map, L - 1 - i, k) - q) / q);
        }
    EXPECT_GT(asymmetry, 0.1);
}

} // namespace
} // namespace tidal
