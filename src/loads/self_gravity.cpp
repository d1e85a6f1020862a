#include "loads/self_gravity.hpp"

namespace tidal {

double mean_density(const Body& body) {
    return (3.0 * body.surface_gravity) / (((4.0 * kPi) * kGravitationalConstant) * body.outer_radius);
}

namespace {

// Potential at radius x per metre of displacement of an interface of density jump d at radius
// a: (4 pi G / 5) a d, times (x/a)^2 inside it and (a/x)^3 outside (c = 4 pi G / 5).
double interface_potential(double c, double a, double d, double x) {
    const double at = c * a * d;
    if (x < a) return at * ((x / a) * (x / a));
    if (x > a) return at * ((a / x) * (a / x) * (a / x));
    return at;
}

} // namespace

SelfGravityCoupling self_gravity_coupling(const Body& body, const RadialGrid& grid) {
    const double R = body.outer_radius, r = body.inner_radius();
    // Potential at radius R (or r) per metre of displacement of a layer of density jump d at
    // radius a: (4 pi G / 5) a d, times (x/a)^2 inside the layer and (a/x)^3 outside.
    const double c = (4.0 * kPi * kGravitationalConstant) / 5.0;
    const double surface_at_top = c * R * body.density;
    const double surface_at_bottom = surface_at_top * ((r / R) * (r / R));
    const double interface_at_bottom = c * r * body.density_contrast;
    const double interface_at_top = interface_at_bottom * ((r / R) * (r / R) * (r / R));
    SelfGravityCoupling g;
    g.at = {{CoupledInterface::Kind::Surface}, {CoupledInterface::Kind::Bottom}};
    g.G = {{-body.density * surface_at_top, -body.density * interface_at_top},
           {body.density_contrast * surface_at_bottom, body.density_contrast * interface_at_bottom}};
    const std::vector<DensityJump> jumps = body.density_jumps();
    const int ocean = grid.liquid_layer;
    if (jumps.empty() && ocean == 0) return g;
    // The density jumps inside the solid: each loads its node with [rho] V(r_k) and moves the
    // potential everywhere. Radii and densities of every interface, in the coupling's order.
    std::vector<double> radius = {R, r}, jump = {body.density, body.density_contrast};
    std::vector<double> sign = {-1.0, 1.0};
    if (ocean > 0) {
        // Under an ocean: the shell's base on its own nodes, and the core's top, an outer
        // face whose load is -[rho] V in zadanisily's signs, as the surface's.
        g.at[1].node = grid.bottom_node();
        const DensityJump top = body.core_top();
        g.at.push_back({CoupledInterface::Kind::Top, top.node});
        radius.push_back(top.radius);
        jump.push_back(top.jump);
        sign.push_back(-1.0);
    }
    for (const DensityJump& d : jumps) {
        g.at.push_back({CoupledInterface::Kind::Jump, d.node,
                        grid.rtilded[static_cast<std::size_t>(d.node - 2)]});
        radius.push_back(d.radius);
        jump.push_back(d.jump);
        sign.push_back(1.0);
    }
    if (body.has_core_under_ocean()) {
        // The inner region's base over a liquid core, last: an inner face like the shell's
        // base over a liquid, on the grid's last two nodes, its load +[rho] V.
        const DensityJump base = body.liquid_core_top();
        g.at.push_back({CoupledInterface::Kind::Bottom, base.node});
        radius.push_back(base.radius);
        jump.push_back(base.jump);
        sign.push_back(1.0);
    }
    const std::size_t K = g.at.size();
    // The surface's load is -rho V(R), the others' +[rho] V(r) (the boundary-row routines' and
    // the assembly's signs), but for a core's top under an ocean, an outer face like the
    // surface: -[rho] V.
    g.G.assign(K, std::vector<double>(K, 0.0));
    for (std::size_t i = 0; i < K; ++i)
        for (std::size_t k = 0; k < K; ++k)
            g.G[i][k] = (sign[i] * jump[i]) * interface_potential(c, radius[k], jump[k], radius[i]);
    return g;
}

} // namespace tidal
