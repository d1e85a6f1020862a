#include "files/layer_file.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "body/body_check.hpp"
#include "body/interior_layers.hpp"
#include "body/key_suggestion.hpp"
#include "files/body_file.hpp"

namespace tidal {

namespace {

// The keys of a [[layer]] table, each with what it holds (its unit first where it has one,
// as the body keys' comments say it).
struct LayerKey {
    std::string_view name, comment;
};
constexpr LayerKey kLayerKeys[] = {
    {"name", "free text naming the layer"},
    {"thickness", "m; thickness of the layer"},
    {"outer_radius", "m; radius of the layer's top"},
    {"density", "kg/m^3; density of the layer"},
    {"state", "\"solid\" or \"liquid\""},
    {"rigidity", "Pa; shear modulus of a solid layer"},
    {"viscosity", "Pa s; a fixed viscosity, or \"swept\""},
    {"viscosity_factor", "times the swept viscosity"},
    {"rheology", "the rheology of a layer of fixed viscosity"},
    {"cells", "radial cells of the layer"},
};

// The key named `key`, or null.
const LayerKey* layer_key(std::string_view key) {
    for (const LayerKey& k : kLayerKeys)
        if (k.name == key) return &k;
    return nullptr;
}

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
                if (layer_key(k) == nullptr) {
                    std::vector<std::string> known;
                    for (const LayerKey& lk : kLayerKeys)
                        known.emplace_back(lk.name);
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

std::string layer_key_comment(std::string_view key) {
    const LayerKey* k = layer_key(key);
    return k ? std::string(k->comment) : std::string();
}

bool is_layer_key(std::string_view key) {
    return layer_key(key) != nullptr;
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
