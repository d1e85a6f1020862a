#include "body/interior_layers.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "body/body_check.hpp"
#include "body/body_file.hpp"
#include "body/key_suggestion.hpp"

namespace tidal {

namespace {

constexpr std::string_view kLayerKeys[] = {"name",      "thickness",        "outer_radius",
                                           "density",   "state",            "rigidity",
                                           "viscosity", "viscosity_factor", "rheology",
                                           "cells"};

// A radius or thickness for messages, in plain digits: 200000, 10000.5.
std::string metres(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

struct LayerFailure {
    std::string message;
};

// Reads one [[layer]] table; `label` is its name in messages ("layer[2]").
class LayerReader {
  public:
    LayerReader(const toml::table& t, std::string label, const NodeWhere& where)
        : t_(t), label_(std::move(label)), where_(where) {}

    [[noreturn]] void fail(std::string_view key, const std::string& what) const {
        const toml::node* n = key.empty() ? nullptr : t_.get(key);
        throw LayerFailure{where_(n != nullptr ? n : &t_) + ": " + label_ +
                           (key.empty() ? "" : "." + std::string(key)) + ": " + what};
    }
    bool has(std::string_view key) const { return t_.get(key) != nullptr; }
    bool is_text(std::string_view key) const { return has(key) && t_.get(key)->is_string(); }

    std::optional<double> number(std::string_view key) const {
        const toml::node* n = t_.get(key);
        if (n == nullptr) return std::nullopt;
        if (const auto* f = n->as_floating_point()) return f->get();
        if (const auto* i = n->as_integer()) return static_cast<double>(i->get());
        fail(key, "expected a number");
    }
    double positive(std::string_view key) const {
        const auto v = number(key);
        if (!v) fail(key, "missing");
        if (!(*v > 0.0) || !std::isfinite(*v)) fail(key, "must be positive, got " + shortest(*v));
        return *v;
    }
    std::optional<std::string> text(std::string_view key) const {
        const toml::node* n = t_.get(key);
        if (n == nullptr) return std::nullopt;
        if (const auto* s = n->as_string()) return s->get();
        fail(key, "expected a string");
    }
    void refuse(std::string_view key, const std::string& why) const {
        if (has(key)) fail(key, why);
    }

  private:
    const toml::table& t_;
    std::string label_;
    const NodeWhere& where_;
};

// One layer's keys; `top` is its outer radius as the layers above leave it (m).
InteriorLayer read_layer(const LayerReader& in, double top, double body_radius, bool innermost) {
    InteriorLayer L;
    L.name = in.text("name").value_or("");
    const auto given_top = in.number("outer_radius");
    if (given_top) {
        // Layers meet: the top of each is the bottom of the one above, to rounding.
        const double slack = 1e-9 * body_radius;
        if (*given_top > top + slack)
            in.fail("outer_radius", metres(*given_top) + " m overlaps the layer above, which ends at " +
                                        metres(top) + " m");
        if (*given_top < top - slack)
            in.fail("outer_radius", metres(*given_top) + " m leaves a gap below the layer above, which ends at " +
                                        metres(top) + " m");
    }
    if (!in.has("thickness") && !given_top && !innermost)
        in.fail("", "missing thickness (or outer_radius, with the next layer's outer_radius or the centre below)");
    if (in.has("thickness")) L.thickness = in.positive("thickness");
    L.density = in.positive("density");
    const std::string state = in.text("state").value_or("");
    if (state == "liquid") {
        L.solid = false;
        for (std::string_view k : {"rigidity", "viscosity", "viscosity_factor", "rheology", "cells"})
            in.refuse(k, "a liquid layer is inviscid and static and takes no " + std::string(k));
        return L;
    }
    if (state != "solid")
        in.fail("state", in.has("state") ? "expected \"solid\" or \"liquid\", got " + toml_string(state)
                                         : std::string("missing (\"solid\" or \"liquid\")"));
    const auto mu = in.number("rigidity");
    if (!mu) in.fail("rigidity", "missing (Pa)");
    if (*mu == 0.0)
        in.fail("rigidity", "zero: a layer without rigidity is liquid (state = \"liquid\")");
    L.rigidity = in.positive("rigidity");
    if (!in.has("viscosity")) in.fail("viscosity", "missing (\"swept\", or a value in Pa s)");
    if (in.is_text("viscosity")) {
        const std::string swept = *in.text("viscosity");
        if (swept != "swept")
            in.fail("viscosity", "expected \"swept\" or a value in Pa s, got " + toml_string(swept));
        L.swept = true;
        if (in.has("viscosity_factor")) L.viscosity_factor = in.positive("viscosity_factor");
        in.refuse("rheology", "a swept layer runs every rheology of rheology.models");
    } else {
        L.swept = false;
        L.viscosity = in.positive("viscosity");
        in.refuse("viscosity_factor", "multiplies the swept viscosity, and this layer's is fixed");
        const auto name = in.text("rheology");
        if (!name) in.fail("rheology", "missing: a layer of fixed viscosity names its rheology");
        L.rheology = rheology_named(*name);
        if (!L.rheology) in.fail("rheology", "unknown rheology " + toml_string(*name));
    }
    const auto cells = in.number("cells");
    if (!cells) in.fail("cells", "missing (radial cells of the layer)");
    if (!(*cells >= 2.0 && *cells <= kMaxLayers) || std::floor(*cells) != *cells)
        in.fail("cells", "must be an integer from 2 to " + std::to_string(kMaxLayers) + ", got " +
                             shortest(*cells));
    L.cells = static_cast<int>(*cells);
    return L;
}

} // namespace

std::optional<std::string> read_interior_layers(const toml::node& array, double outer_radius,
                                                const NodeWhere& where,
                                                std::vector<InteriorLayer>& layers) {
    try {
        const toml::array* a = array.as_array();
        if (a == nullptr || a->empty() || !a->is_array_of_tables())
            throw LayerFailure{where(&array) + ": layer: expected [[layer]] tables, listed from the surface down"};
        layers.clear();
        double top = outer_radius;
        std::vector<std::string> names;
        for (std::size_t i = 0; i < a->size(); ++i) {
            const toml::table& t = *a->get(i)->as_table();
            const std::string label = "layer[" + std::to_string(i + 1) + "]";
            const LayerReader in(t, label, where);
            for (const auto& [key, node] : t) {
                const std::string_view k = key.str();
                if (std::find(std::begin(kLayerKeys), std::end(kLayerKeys), k) == std::end(kLayerKeys)) {
                    std::vector<std::string> known(std::begin(kLayerKeys), std::end(kLayerKeys));
                    const std::string best = nearest_key(k, known);
                    in.fail(k, "unknown key" + (best.empty() ? "" : " (did you mean " + best + "?)"));
                }
            }
            if (i == 0 && in.text("state").value_or("") != "solid" && in.has("state"))
                in.fail("state", "the outermost layer must be solid (a surface ocean is not modelled)");
            InteriorLayer L = read_layer(in, top, outer_radius, i + 1 == a->size());
            if (L.name.empty()) L.name = "layer " + std::to_string(i + 1);
            if (std::find(names.begin(), names.end(), L.name) != names.end())
                in.fail("name", toml_string(L.name) + " names an earlier layer too");
            names.push_back(L.name);
            // A layer given by its outer radius alone reaches the next one's, or the centre.
            if (L.thickness == 0.0 && i + 1 == a->size()) {
                L.thickness = top; // the innermost layer, given no thickness, reaches the centre
            } else if (L.thickness == 0.0) {
                double bottom = 0.0;
                if (i + 1 < a->size()) {
                    const toml::table& next = *a->get(i + 1)->as_table();
                    const LayerReader below(next, "layer[" + std::to_string(i + 2) + "]", where);
                    const auto r = below.number("outer_radius");
                    if (!r) in.fail("", "missing thickness (the layer below gives no outer_radius)");
                    bottom = *r;
                }
                if (!(bottom < top))
                    in.fail("outer_radius", "radii must decrease downward: the layer below starts at " +
                                                metres(bottom) + " m");
                L.thickness = top - bottom;
            }
            top -= L.thickness;
            const double slack = 1e-9 * outer_radius;
            if (top < -slack)
                in.fail(in.has("thickness") ? "thickness" : "outer_radius",
                        "the layers reach " + metres(-top) + " m beyond the centre (they overlap)");
            if (i + 1 == a->size() && top > slack)
                in.fail(in.has("thickness") ? "thickness" : "outer_radius",
                        "the innermost layer ends at r = " + metres(top) +
                            " m, leaving a gap above the centre (it must reach r = 0)");
            if (i + 1 == a->size()) L.thickness += top; // the centre exactly
            else if (top <= slack)
                in.fail(in.has("thickness") ? "thickness" : "outer_radius",
                        "reaches the centre, but layers follow it");
            layers.push_back(std::move(L));
        }
        if (std::none_of(layers.begin(), layers.end(),
                         [](const InteriorLayer& L) { return L.solid && L.swept; }))
            throw LayerFailure{where(a->get(0)) +
                               ": layer: no layer has viscosity = \"swept\", and the sweep needs one"};
    } catch (const LayerFailure& f) {
        return f.message;
    }
    return std::nullopt;
}

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

bool is_layer_key(std::string_view key) {
    return std::find(std::begin(kLayerKeys), std::end(kLayerKeys), key) != std::end(kLayerKeys);
}

std::string write_interior_layers(const Body& b) {
    std::string s = "outer_radius = " + toml_real(b.outer_radius) + "\n";
    s += "# layers listed from the surface down\n";
    for (const InteriorLayer& L : b.interior) {
        s += "\n[[layer]]\nname = " + toml_string(L.name) + "\n";
        if (&L == &b.interior.back())
            s += "# thickness: the rest, down to the centre\n";
        else
            s += "thickness = " + toml_real(L.thickness) + "\n";
        s += "density = " + toml_real(L.density) + "\n";
        s += std::string("state = ") + (L.solid ? "\"solid\"" : "\"liquid\"") + "\n";
        if (!L.solid) continue;
        s += "rigidity = " + toml_real(L.rigidity) + "\n";
        if (L.swept) {
            s += "viscosity = \"swept\"\n";
            if (L.viscosity_factor != 1.0)
                s += "viscosity_factor = " + toml_real(L.viscosity_factor) + "\n";
        } else {
            s += "viscosity = " + toml_real(L.viscosity) + "\n";
            s += "rheology = " + toml_string(kRheologies[index_of(*L.rheology)].name) + "\n";
        }
        s += "cells = " + std::to_string(L.cells) + "\n";
    }
    return s;
}

} // namespace tidal
