// Method: docs/method.md §4 and §8 (radial displacement, the power).
#include "loads/diagnostics.hpp"

#include <cmath>

#include "description/body.hpp"
#include "discretisation/unknowns.hpp"
#include "loads/heating_profile.hpp"

namespace tidal {

EquatorHarmonics equator_harmonics() {
    const double theta = kPi / 2.0;
    return {(3.0 * std::cos(theta) * std::cos(theta) - 1.0) * std::sqrt(5.0 / kPi),
            std::sin(theta) * std::sin(theta) * std::sqrt(7.5 / kPi)};
}

void vypocitejur(int N, double j, Vec1View<const double> x, Vec1View<double> ur) {
    const DegreeFactors f = degree_factors(j);
    for (int i = 1; i <= N + 1; ++i)
        ur(i) = radial_displacement(f, x(unknowns::u_minus(i)), x(unknowns::u_plus(i)));
}

double vypocitejpcelk(int N, int nperiod, Mat1View<const double> window, double dt,
                      const std::function<double(int, double)>& dissipation,
                      const RadialGrid& grid, Vec1View<double> layer_power) {
    const int m = nperiod;
    for (int i = 1; i <= N; ++i) {
        double sum = 0.0;
        for (int c = 1; c <= m + 1; ++c)
            sum += window(i, c);
        layer_power(i) = dissipation(i, window_integral(sum, window(i, 1), window(i, m + 1), dt));
    }
    return shell_power(N, nperiod, dt, layer_power, grid);
}

double shell_power(int N, int nperiod, double dt, Vec1View<const double> layer_power,
                   const RadialGrid& grid) {
    const auto term = [&](int i) {
        const RadialCell c = radial_cell(i, grid);
        return layer_power(i) * (c.mid * c.mid) * c.thickness;
    };
    double S = 0.0;
    if (grid.liquid_layer > 0) {
        // A shell over an ocean over a core: each cell's share of its region (heating_profile).
        for (int i = 1; i <= N; ++i)
            S += radial_cell(i, grid).end_factor * term(i);
        return S / (static_cast<double>(nperiod) * dt);
    }
    for (int i = 1; i <= N; ++i)
        S += term(i);
    // The halves of the end cells that lie outside the solid; a body solid to the centre has
    // its whole innermost cell.
    S = grid.centre ? S - term(1) / 2.0 : S - term(1) / 2.0 - term(N) / 2.0;

    // Mean over the last forcing period: the averaging time is the window length.
    const double tau = static_cast<double>(nperiod) * dt;
    return S / tau;
}

} // namespace tidal
