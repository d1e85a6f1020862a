#include "body/interior_layers.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "body/body_check.hpp"
#include "body/quoted_text.hpp"

namespace tidal {

namespace {

// Several solid layers in contact, over one liquid layer or down to the centre: one solid
// region of `m` layers on the grid of make_layered_grid, each cell with its layer's rigidity
// and viscosity (swept times the layer's factor, or fixed).
void derive_solid_region(Body& b, std::size_t m) {
    const auto& L = b.interior;
    const bool centre = m == L.size();
    double thickness = 0.0;
    int cells = 0;
    bool factors = false, fixed = false;
    for (std::size_t i = 0; i < m; ++i) {
        thickness += L[i].thickness;
        cells += L[i].cells;
        factors = factors || (L[i].swept && L[i].viscosity_factor != 1.0);
        fixed = fixed || !L[i].swept;
    }
    b.thickness = centre ? b.outer_radius : thickness;
    b.density = L[0].density;
    // The jump at the liquid's top, from the solid layer just above it.
    b.density_contrast = centre ? 0.0 : L[m].density - L[m - 1].density;
    b.surface_gravity = b.interior_gravity(b.outer_radius);
    b.bottom_gravity = centre ? 0.0 : b.interior_gravity(b.interior_outer_radius(m));
    b.layers = cells;
    b.rigidity.clear();
    b.viscosity_factors.clear();
    b.fixed_viscosities.clear();
    b.fixed_rheologies.clear();
    for (std::size_t i = 0; i < m; ++i)
        for (int c = 0; c < L[i].cells; ++c) {
            b.rigidity.push_back(L[i].rigidity);
            if (factors) b.viscosity_factors.push_back(L[i].swept ? L[i].viscosity_factor : 1.0);
            if (fixed) b.fixed_viscosities.push_back(L[i].swept ? 0.0 : L[i].viscosity);
            if (fixed) b.fixed_rheologies.push_back(L[i].swept ? std::nullopt : L[i].rheology);
        }
    b.self_gravity = true;
}

// A solid shell of `m` layers over an ocean (layer m) over a solid core reaching the centre
// or lying over a liquid core (the last layer, which has no cells: the core's base is then
// an inner face over it, its density and gravity read from the layers by the model):
// one band system of the shell's cells, one inert cell for the ocean and the core's cells
// (discretisation/grid.hpp, make_ocean_grid), the shell's keys those of the shell over a
// liquid of the ocean's density; the core's top is the ocean's floor (docs/method.md §10).
void derive_ocean(Body& b, std::size_t m) {
    const auto& L = b.interior;
    double thickness = 0.0;
    bool factors = false, fixed = false;
    for (std::size_t i = 0; i < L.size(); ++i) {
        if (i < m) thickness += L[i].thickness;
        if (!L[i].solid) continue;
        factors = factors || (L[i].swept && L[i].viscosity_factor != 1.0);
        fixed = fixed || !L[i].swept;
    }
    b.thickness = thickness;
    b.density = L[0].density;
    // A liquid core under the inner region has no cells (its top is that region's base).
    const std::size_t end = b.core_region_end();
    b.density_contrast = L[m].density - L[m - 1].density;
    b.surface_gravity = b.interior_gravity(b.outer_radius);
    b.bottom_gravity = b.interior_gravity(b.interior_outer_radius(m));
    b.rigidity.clear();
    b.viscosity_factors.clear();
    b.fixed_viscosities.clear();
    b.fixed_rheologies.clear();
    int cells = 0;
    for (std::size_t i = 0; i < end; ++i) {
        // The ocean's inert cell: its rows hold its stresses at zero, so its material is
        // never used (the shell's lowest layer's, to keep every coefficient finite).
        const InteriorLayer& c = L[i].solid ? L[i] : L[m - 1];
        const int n = L[i].solid ? L[i].cells : 1;
        for (int k = 0; k < n; ++k) {
            b.rigidity.push_back(c.rigidity);
            if (factors) b.viscosity_factors.push_back(c.swept ? c.viscosity_factor : 1.0);
            if (fixed) b.fixed_viscosities.push_back(c.swept ? 0.0 : c.viscosity);
            if (fixed) b.fixed_rheologies.push_back(c.swept ? std::nullopt : c.rheology);
        }
        cells += n;
    }
    b.layers = cells;
    b.self_gravity = true;
}

std::optional<InteriorProblem> derive_shell_keys(Body& b) {
    const auto& L = b.interior;
    const std::size_t m = b.solid_region_layers();
    // Below the solid region: nothing (it reaches the centre), one liquid core, or one ocean
    // over a solid core that reaches the centre.
    // Under an ocean, the solid region below it may itself lie over a liquid core (the last
    // layer); no other liquid is run.
    const bool ocean = m + 1 < L.size();
    const bool liquid_core = ocean && !L.back().solid && L[m + 1].solid;
    if (ocean)
        for (std::size_t i = m + 1; i < L.size(); ++i)
            if (!L[i].solid && !(liquid_core && i + 1 == L.size()))
                return InteriorProblem{i, "state",
                                       "a second liquid layer below a solid one cannot be run so "
                                       "far (one ocean between solid layers, over a solid reaching the "
                                       "centre or over one liquid core, or one liquid core)"};
    // Each density jump inside the solid is one more interface of the self-gravitation
    // coupling, which holds a few (loads/self_gravity.hpp); an ocean's floor is one more.
    // (A liquid core under the inner region: one more.)
    const std::size_t most = ocean ? kMaxDensityJumps - (liquid_core ? 2 : 1) : kMaxDensityJumps;
    std::size_t jumps = 0;
    for (std::size_t i = 1; i < L.size(); ++i)
        if (L[i].solid && L[i - 1].solid && L[i].density != L[i - 1].density && ++jumps > most)
            return InteriorProblem{i, "density",
                                   "more than " + std::to_string(most) +
                                       " density jumps inside the solid cannot be run (merge "
                                       "layers of nearly equal density)"};
    if (ocean) {
        derive_ocean(b, m);
        return std::nullopt;
    }
    if (m >= 2) {
        derive_solid_region(b, m);
        return std::nullopt;
    }
    // One solid, swept layer reaching the centre: the shell model on the grid whose last node
    // is the centre (docs/method.md §4.1), with no inner boundary.
    // (The reader has made sure that some layer is swept: this one.)
    if (L.size() == 1) {
        b.thickness = b.outer_radius;
        b.rigidity = {L[0].rigidity};
        b.density = L[0].density;
        b.density_contrast = 0.0;
        b.surface_gravity = b.interior_gravity(b.outer_radius);
        b.bottom_gravity = 0.0;
        b.layers = L[0].cells;
        b.viscosity_factors.clear();
        if (L[0].viscosity_factor != 1.0)
            b.viscosity_factors.assign(static_cast<std::size_t>(b.layers), L[0].viscosity_factor);
        b.self_gravity = true; // the displaced surface's potential acts on the whole body
        return std::nullopt;
    }
    // One solid, swept layer over one liquid layer reaching the centre. The [shell] model is
    // exactly that, with the gravities from the densities.
    const double R = b.outer_radius;
    const double r_in = b.interior_outer_radius(1);
    b.thickness = L[0].thickness;
    b.rigidity = {L[0].rigidity};
    b.density = L[0].density;
    b.density_contrast = L[1].density - L[0].density;
    b.surface_gravity = b.interior_gravity(R);
    b.bottom_gravity = b.interior_gravity(r_in);
    b.layers = L[0].cells;
    b.viscosity_factors.clear();
    if (L[0].viscosity_factor != 1.0)
        b.viscosity_factors.assign(static_cast<std::size_t>(b.layers), L[0].viscosity_factor);
    b.self_gravity = true; // every interface's potential acts on the whole body
    return std::nullopt;
}

} // namespace

std::optional<InteriorProblem> derive_shell_from_layers(Body& b) {
    if (auto problem = derive_shell_keys(b)) return problem;
    // Over a liquid the gravity at its top, g = G M(r)/r^2 from the densities below, must be
    // positive: a liquid so light that g rounds to 0 is refused at its own density (the
    // derived shell.bottom_gravity is no key of a layered file).
    const bool centre = b.solid_region_layers() == b.interior.size();
    if (!centre && !(b.bottom_gravity > 0.0)) {
        const std::size_t liquid = b.solid_region_layers();
        return InteriorProblem{liquid, "density",
                               "too small: the gravity at the liquid's top from the densities "
                               "below it is " +
                                   shortest(b.bottom_gravity) + " m/s^2"};
    }
    return std::nullopt;
}

std::optional<std::string> density_inversion_warning(const Body& b) {
    for (std::size_t i = 0; i + 1 < b.interior.size(); ++i)
        if (b.interior[i].density > b.interior[i + 1].density)
            return "warning: layer " + toml_string(b.interior[i].name) + " (" +
                   shortest(b.interior[i].density) + " kg/m^3) is denser than layer " +
                   toml_string(b.interior[i + 1].name) + " below it (" +
                   shortest(b.interior[i + 1].density) + " kg/m^3): density increases outward";
    return std::nullopt;
}

} // namespace tidal
