#include "loads/self_gravity.hpp"

namespace tidal {

double mean_density(const Body& body) {
    return (3.0 * body.surface_gravity) / (((4.0 * kPi) * kGravitationalConstant) * body.outer_radius);
}

SelfGravityCoupling self_gravity_coupling(const Body& body) {
    const double R = body.outer_radius, r = body.inner_radius();
    // Potential at radius R (or r) per metre of displacement of a layer of density jump d at
    // radius a: (4 pi G / 5) a d, times (x/a)^2 inside the layer and (a/x)^3 outside.
    const double c = (4.0 * kPi * kGravitationalConstant) / 5.0;
    const double surface_at_top = c * R * body.density;
    const double surface_at_bottom = surface_at_top * ((r / R) * (r / R));
    const double interface_at_bottom = c * r * body.density_contrast;
    const double interface_at_top = interface_at_bottom * ((r / R) * (r / R) * (r / R));
    SelfGravityCoupling g;
    g.top = {-body.density * surface_at_top, -body.density * interface_at_top};
    g.bottom = {body.density_contrast * surface_at_bottom, body.density_contrast * interface_at_bottom};
    return g;
}

} // namespace tidal
