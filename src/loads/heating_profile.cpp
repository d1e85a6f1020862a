#include "loads/heating_profile.hpp"

#include "description/body.hpp"

namespace tidal {

std::vector<double> period_means(const std::vector<double>& integrals, int nperiod, double dt) {
    const double tau = static_cast<double>(nperiod) * dt;
    std::vector<double> out;
    out.reserve(integrals.size());
    for (const double v : integrals)
        out.push_back(v / tau);
    return out;
}

std::vector<ProfileLayer> heating_profile(const std::vector<double>& sphere_heating,
                                          const RadialGrid& grid) {
    const auto r = vec1(grid.r);
    const int N = static_cast<int>(sphere_heating.size());
    std::vector<ProfileLayer> out;
    out.reserve(sphere_heating.size());
    for (int i = 1; i <= N; ++i) {
        const RadialCell c = radial_cell(i, grid);
        const double Q = sphere_heating[static_cast<std::size_t>(i - 1)];
        // The cell reaches halfway to the neighbouring mid-radii, that is to the layer's nodes;
        // the end layers' mid-radii are the shell's surfaces, so their cells are half layers
        // (but for the innermost one of a body solid to the centre, which reaches r = 0).
        const int ocean = grid.liquid_layer;
        if (ocean > 0 && i >= ocean - 1 && i <= ocean + 1) {
            // The shell's base and the core's top on their layers' mid-radii, the ocean
            // between them, dissipating nothing.
            const double top = (r(ocean - 1) + r(ocean)) / 2.0;
            const double floor = (r(ocean + 1) + r(ocean + 2)) / 2.0;
            const double outer = i == ocean - 1 ? r(i) : i == ocean ? top : floor;
            const double inner = i == ocean - 1 ? top : i == ocean ? floor : r(i + 1);
            const double q = i == ocean ? 0.0 : Q;
            out.push_back({outer, inner, q / (4.0 * kPi),
                           c.end_factor * (q * (c.mid * c.mid) * c.thickness)});
            continue;
        }
        const double outer = i == 1 ? c.mid : r(i);
        const double inner = i == N && !grid.centre ? c.mid : r(i + 1);
        out.push_back({outer, inner, Q / (4.0 * kPi),
                       c.end_factor * (Q * (c.mid * c.mid) * c.thickness)});
    }
    return out;
}

} // namespace tidal
