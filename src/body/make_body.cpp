#include "body/make_body.hpp"

#include <algorithm>

#include "body/presets.hpp"
#include "rheology/rheologies.hpp"

namespace tidal {

Body make_body(const BodySpec& s) {
    Body b;
    b.N = s.layers;
    const std::size_t N = static_cast<std::size_t>(s.layers);
    b.rout = s.outer_radius;
    b.rin = s.outer_radius - s.thickness;
    b.mu = s.rigidity.size() == 1 ? std::vector<double>(N, s.rigidity[0]) : s.rigidity;
    b.rho = s.density;
    b.drho = s.density_contrast;
    b.rhobelow = s.density + s.density_contrast;
    b.gsurf = s.surface_gravity;
    b.gbot = s.bottom_gravity;
    b.ecc = s.eccentricity;
    b.omega = (kPi + kPi) / s.period;
    b.viscosity_factor =
        s.viscosity_factors.empty() ? std::vector<double>(N, 1.0) : s.viscosity_factors;
    b.eccentric_forcing = s.second_order;
    b.self_gravity = s.self_gravity;
    // The list's order, whatever the file's: every table has the same columns in the same order.
    b.models.clear();
    for (const RheologyNames& r : kRheologies)
        if (std::find(s.models.begin(), s.models.end(), r.id) != s.models.end())
            b.models.push_back(r.id);
    b.rheology = s.rheology;
    return b;
}

std::optional<Body> preset_body(int choice) {
    if (choice < kFirstChoice || choice > kLastChoice) return std::nullopt;
    return make_body(preset(choice).body_spec);
}

} // namespace tidal
