#pragma once
// Everything that defines a run, once: the shell, the orbit, the viscosity sweep, the
// rheologies and the numerics, in SI units, one field per key of a body file and under its
// name (body/body_file.cpp reads and writes them, body/body_check.cpp says what makes them
// meaningful). What the equations need beyond the keys is derived here, by the functions
// below, never stored beside them.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "rheology/rheologies.hpp"

namespace tidal {

inline constexpr double kPi = 3.141592653589793;

// Newtonian constant of gravitation, m^3 kg^-1 s^-2 (CODATA 2018): the one value behind the
// gravities of a layered body, the self-gravitation loads and the Love number k2.
inline constexpr double kGravitationalConstant = 6.67430e-11;

// One concentric layer of a body described by its layers, as its body file gives it.
struct InteriorLayer {
    std::string name;
    double thickness = 0.0; // m
    double density = 0.0;   // kg/m^3
    bool solid = true;      // false: a static inviscid liquid
    // A solid layer's material and cells.
    double rigidity = 0.0;          // Pa
    bool swept = true;              // viscosity = the swept one times viscosity_factor
    double viscosity_factor = 1.0;  // over the swept viscosity
    double viscosity = 0.0;         // Pa s, when not swept
    std::optional<Rheology> rheology; // a fixed-viscosity layer's own rheology
    int cells = 0;                  // radial cells
};

// A density jump inside a layered body's solid region: the interface between two solid layers
// of different densities, which lies on a node of the grid (docs/method.md §10).
struct DensityJump {
    int node;       // the grid node on the interface (node 1 the outermost)
    double radius;  // m
    double jump;    // density below minus density above, kg/m^3
    double gravity; // g at the interface, m/s^2
};

struct Body {
    std::string name; // free text, shown in titles

    // [shell]
    double outer_radius = 0.0; // m
    double thickness = 0.0;    // m
    std::vector<double>
        rigidity;         // Pa: one value for every layer, or one per layer (outermost first)
    double density = 0.0; // kg/m^3
    double density_contrast = 0.0; // kg/m^3: density below the shell minus `density`
    double surface_gravity = 0.0;  // m/s^2
    double bottom_gravity = 0.0;   // m/s^2
    // Per layer, outermost first, multiplying the swept viscosity; empty means all 1.
    std::vector<double> viscosity_factors;
    // Per cell, outermost first, of a layered body's solid region: a fixed viscosity (Pa s) for
    // the cells of a layer whose viscosity is not swept, 0 for the swept cells; empty when
    // every cell is swept (always, for a [shell]).
    std::vector<double> fixed_viscosities;
    // Per cell as fixed_viscosities: the rheology of a fixed layer's cells, none for the swept
    // cells (which run the sweep's rheology); empty when every cell is swept.
    std::vector<std::optional<Rheology>> fixed_rheologies;
    // The degree-2 potential of the displaced surface and inner interface loads the shell
    // (loads/self_gravity.hpp).
    bool self_gravity = false;

    // The body as concentric layers, listed from the surface down (the order kept in every file
    // and table); empty for a body given by its [shell]. A layered body's shell keys above are
    // derived from its layers (body/interior_model.cpp), its gravities from the densities.
    std::vector<InteriorLayer> interior;

    // [orbit]
    double period = 0.0; // s
    double eccentricity = 0.0;
    // The body's spin: "synchronous" (at the mean motion) or "3:2" (at 3/2 of it, as
    // Mercury's). The older key `second_order = true` names the 3:2 resonance too.
    std::string rotation = "synchronous";
    bool second_order = false; // the 3:2 resonance's tide, kept for stored files
    // The tide: "expansion" (first order in the eccentricity for a synchronous body, to e^2
    // in each harmonic for 3:2) or "exact" (the potential of the Keplerian orbit).
    std::string tide = "expansion";
    // The tilt of the spin axis from the orbit normal, degrees (0 to 180), and the argument of
    // the pericentre measured from the orbit's ascending node on the body's equator, degrees
    // (docs/method.md §2.2): an oblique body feels the order-1 tide as well.
    double obliquity = 0.0;
    double pericentre_argument = 0.0;

    // [sweep]: viscosities 10^(k/steps_per_decade) Pa s for min <= k/steps_per_decade <= max
    double log10_viscosity_min = 0.0;
    double log10_viscosity_max = 0.0;
    int steps_per_decade = 20;

    // [rheology]: the rheologies swept, in the order of the list (a body file may name them
    // in any order; the reader puts them in this one, so that every table has the same
    // columns in the same order; Maxwell and Kelvin-Voigt alone write the legacy files).
    std::vector<Rheology> models = {Rheology::Maxwell, Rheology::KelvinVoigt};
    // [rheology.<name>]: each rheology's parameters, as it declares them
    RheologyParameters rheology;

    // [numerics]
    int layers = 20;
    int periods = 10;
    int steps_per_period = 2000;
    // The grid error of every result, from the periodic state on twice the cells.
    bool grid_error = true;
    // Beside each N-cell result, its Richardson extrapolation from N and 2N cells (needs the
    // solve on twice the cells, so the grid error too).
    bool extrapolate = false;
    // A result is in doubt, and the run says so, when one of its estimated errors (transient,
    // time step, grid, a rheology's fitted law) exceeds this fraction of it.
    double doubt_limit = 1e-2;

    // Derived quantities.
    double inner_radius() const { return outer_radius - thickness; } // m
    // The density below the shell, kg/m^3: for a layered body whose solid region's densities
    // differ, the liquid's own (density_contrast is the jump from the solid just above it).
    double density_below() const {
        const std::size_t m = solid_region_layers();
        if (m >= 2 && m < interior.size() && interior[m - 1].density != density)
            return interior[m].density;
        return density + density_contrast;
    }
    double angular_frequency() const { return (kPi + kPi) / period; } // orbital, rad/s
    // Whether the body spins in the 3:2 resonance, and its spin over the mean motion.
    bool three_to_two() const { return second_order || rotation == "3:2"; }
    double spin_ratio() const { return three_to_two() ? 1.5 : 1.0; }
    bool exact_tide() const { return tide == "exact"; }
    // Whether the spin axis is tilted: the tide then has order-1 components (§2.2), and the
    // runs carry their two extra load components.
    bool oblique() const { return obliquity != 0.0; }
    // The obliquity and the pericentre's argument in radians.
    double obliquity_rad() const { return obliquity * (kPi / 180.0); }
    double pericentre_argument_rad() const { return pericentre_argument * (kPi / 180.0); }
    // Outer radius of interior layer i (0 the outermost), m.
    double interior_outer_radius(std::size_t i) const {
        double r = outer_radius;
        for (std::size_t k = 0; k < i; ++k)
            r -= interior[k].thickness;
        return r;
    }
    // Gravity at radius r of the layered body (0 <= r <= outer_radius), m/s^2: G M(r)/r^2 with
    // M(r) the mass of the uniform layers below r (Gauss's law for spherical shells).
    double interior_gravity(double r) const {
        if (!(r > 0.0)) return 0.0;
        double mass = 0.0;
        for (std::size_t i = interior.size(); i-- > 0;) {
            const double top = interior_outer_radius(i);
            const double bottom = i + 1 < interior.size() ? interior_outer_radius(i + 1) : 0.0;
            if (bottom >= r) break;
            const double t = top < r ? top : r;
            mass += ((4.0 * kPi) / 3.0) * interior[i].density * (t * t * t - bottom * bottom * bottom);
        }
        return (kGravitationalConstant * mass) / (r * r);
    }

    // The rigidity of every layer (`layers` values, outermost first), Pa.
    std::vector<double> layer_rigidities() const {
        return rigidity.size() == 1
                   ? std::vector<double>(static_cast<std::size_t>(layers), rigidity[0])
                   : rigidity;
    }
    // The factor of layer i's viscosity (0-based, outermost first) over the swept one.
    double viscosity_factor(std::size_t i) const {
        return viscosity_factors.empty() ? 1.0 : viscosity_factors[i];
    }
    // The viscosity of cell i (0-based, outermost first) at the swept viscosity `swept`, Pa s:
    // the swept one times the cell's factor, or the cell's fixed viscosity.
    double cell_viscosity(std::size_t i, double swept) const {
        if (!fixed_viscosities.empty() && fixed_viscosities[i] > 0.0) return fixed_viscosities[i];
        return swept * viscosity_factor(i);
    }
    // The rheology of cell i (0-based, outermost first) in a run of the swept rheology
    // `swept`: the fixed layer's own, or the sweep's.
    Rheology cell_rheology(std::size_t i, Rheology swept) const {
        if (!fixed_rheologies.empty() && fixed_rheologies[i]) return *fixed_rheologies[i];
        return swept;
    }
    // cell_rheology of every cell, outermost first.
    std::vector<Rheology> cell_rheologies(Rheology swept) const {
        std::vector<Rheology> out(static_cast<std::size_t>(layers));
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = cell_rheology(i, swept);
        return out;
    }
    // The density jumps inside the solid region of a layered body, outermost first (none for a
    // [shell], or where the solid layers share one density). Layer i's cells are its own, so
    // the interface below layer i is node 1 + the cells of layers 0..i.
    // Under an ocean the jumps inside the solid core follow, on the core's nodes.
    std::vector<DensityJump> density_jumps() const {
        std::vector<DensityJump> jumps;
        const auto region = [&](std::size_t first, std::size_t end, int node) {
            for (std::size_t i = first; i + 1 < end; ++i) {
                node += interior[i].cells;
                const double jump = interior[i + 1].density - interior[i].density;
                if (jump == 0.0) continue;
                const double r = interior_outer_radius(i + 1);
                jumps.push_back({node, r, jump, interior_gravity(r)});
            }
        };
        const std::size_t m = solid_region_layers();
        region(0, m, 1);
        if (has_ocean()) region(m + 1, core_region_end(), core_first_node());
        return jumps;
    }
    // A liquid layer between the solid shell above and a solid core reaching the centre (an
    // ocean, docs/method.md §10): the shell is the solid region, the core a second block of
    // the same band system, the ocean one inert layer of the band between them.
    bool has_ocean() const {
        const std::size_t m = solid_region_layers();
        return m >= 1 && m + 1 < interior.size() && !interior[m].solid;
    }
    // Under an ocean, the end (0-based, one past the last) of the solid region below it: the
    // layers down to the centre, or down to a liquid core beneath that region.
    std::size_t core_region_end() const {
        return !interior.empty() && !interior.back().solid && has_ocean() ? interior.size() - 1
                                                                          : interior.size();
    }
    // An ocean between solid regions whose inner one lies over a liquid core: the inner
    // region's base takes the liquid core's rows as a [shell] body's base does.
    bool has_core_under_ocean() const { return has_ocean() && core_region_end() < interior.size(); }
    // The liquid core's top under such an inner region, as an interface: `node` the grid's
    // last but one node (the two straddle it), the jump the liquid's density minus the solid's
    // above it, the gravity there from the densities.
    DensityJump liquid_core_top() const {
        const std::size_t c = interior.size() - 1;
        const double r = interior_outer_radius(c);
        return {layers, r, interior[c].density - interior[c - 1].density, interior_gravity(r)};
    }
    // The cells of the solid region above the ocean.
    int shell_cells() const {
        int n = 0;
        for (std::size_t i = 0; i < solid_region_layers(); ++i)
            n += interior[i].cells;
        return n;
    }
    // The band's inert layer of the ocean (1-based: the shell's cells + 1), 0 without one.
    int ocean_band_layer() const { return has_ocean() ? shell_cells() + 1 : 0; }
    // The core's first node: half a spacing above its top, as node 1 lies above the surface.
    int core_first_node() const { return shell_cells() + 2; }
    // The core's top, the ocean's floor, as an interface: `node` the first of the two nodes
    // that straddle it, the jump the core's density minus the ocean's.
    DensityJump core_top() const {
        const std::size_t o = solid_region_layers();
        const double r = interior_outer_radius(o + 1);
        return {core_first_node(), r, interior[o + 1].density - interior[o].density,
                interior_gravity(r)};
    }
    // The density at interior node k (2..N) of the solid region: its layer's, and at a density
    // jump the mean of the two sides weighted by their spacings, h_a/(h_a+h_b) and
    // h_b/(h_a+h_b), as the node's momentum rows weigh the two sides' equations (grid.hpp).
    // `above_weight`, `below_weight` are the grid's weights at the node (twice those).
    // Under an ocean, the core's nodes (from core_first_node()) take the core's layers'.
    double node_density(int k, double above_weight, double below_weight) const {
        if (interior.empty()) return density;
        const auto region = [&](std::size_t first, std::size_t end, int node) {
            for (std::size_t i = first; i < end; ++i) {
                const int bottom = node + interior[i].cells;
                if (k < bottom) return interior[i].density;
                if (k == bottom && i + 1 < end && interior[i + 1].density != interior[i].density)
                    return (above_weight * interior[i].density + below_weight * interior[i + 1].density) / 2.0;
                node = bottom;
            }
            return interior[end - 1].density;
        };
        const std::size_t m = solid_region_layers();
        if (has_ocean() && k >= core_first_node())
            return region(m + 1, core_region_end(), core_first_node());
        return region(0, m, 1);
    }
    // The solid layers of a layered body that the shell model runs as one solid region
    // (outermost first): every layer down to the first liquid one, or to the centre.
    std::size_t solid_region_layers() const {
        std::size_t m = 0;
        while (m < interior.size() && interior[m].solid)
            ++m;
        return m;
    }
};

} // namespace tidal
