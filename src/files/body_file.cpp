#include "files/body_file.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <sstream>
#include <type_traits>
#include <variant>

#include <toml++/toml.h>

#include "files/toml_document.hpp"

#include "body/body_check.hpp"
#include "body/interior_layers.hpp"
#include "body/key_suggestion.hpp"
#include "files/layer_file.hpp"
#include "rheology/rheologies.hpp"

namespace tidal {

namespace {

enum class Kind { Text, Real, RealOrLayers, Layers, Integer, Boolean, Rheologies };

// The field of the body a key fills.
using Field =
    std::variant<std::string Body::*, double Body::*, std::vector<double> Body::*,
                 int Body::*, bool Body::*, std::vector<Rheology> Body::*,
                 const RheologyParameter*>;

// One key of the file: where it lives, what it holds and which field it fills.
struct Key {
    std::string_view section; // "" for the top level, "a.b" for a table [a.b]
    std::string_view name;
    Kind kind;
    bool required;
    std::string unit_comment; // written after the value
    Field field;
    // Whether the writer writes the key; nullptr: always.
    bool (*written)(const Body&) = nullptr;
};

bool runs(const Body& b, Rheology r) {
    return std::find(b.models.begin(), b.models.end(), r) != b.models.end();
}

// A rheology's parameters are written where it runs, and where one of them in the same table
// differs from its default (given for a rheology that does not run, they are kept so that the
// file written reads back to the same body).
bool parameter_written(const Body& b, const RheologyParameter& p) {
    if (runs(b, p.rheology)) return true;
    for (const RheologyParameter& q : rheology_parameters())
        if (q.rheology == p.rheology && q.table == p.table &&
            parameter_value(b.rheology, q) != q.default_value)
            return true;
    return false;
}

// Self-gravitation is written where it is on: a body without it writes the file it always has.
bool self_gravity_written(const Body& b) {
    return b.self_gravity;
}

// The grid error is written where it is turned off, for the same reason.
bool grid_error_written(const Body& b) {
    return !b.grid_error;
}

// Extrapolated values are written where they are asked for.
bool extrapolate_written(const Body& b) {
    return b.extrapolate;
}

// The threshold of doubt is written where it is not the default.
bool doubt_limit_written(const Body& b) {
    return b.doubt_limit != Body{}.doubt_limit;
}

// The spin and the tide are written where they differ from the defaults: a body without
// them writes the file it always has (the 3:2 resonance of older files keeps second_order).
bool rotation_written(const Body& b) {
    return b.rotation != "synchronous";
}
bool tide_written(const Body& b) {
    return b.tide != "expansion";
}
// The tilt of the spin axis and the pericentre's argument, where they are not zero.
bool obliquity_written(const Body& b) {
    return b.obliquity != 0.0;
}
bool pericentre_argument_written(const Body& b) {
    return b.pericentre_argument != 0.0;
}

std::string dotted(const Key& k) {
    return k.section.empty() ? std::string(k.name)
                             : std::string(k.section) + "." + std::string(k.name);
}

std::string layers_text(const std::vector<double>& v) {
    if (v.size() == 1) return toml_real(v[0]);
    std::string s = "[";
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i > 0) s += (i % 6 == 0) ? ",\n    " : ", ";
        s += toml_real(v[i]);
    }
    return s + "]";
}


double as_real(const toml::node& n) {
    if (const auto* f = n.as_floating_point()) return f->get();
    return static_cast<double>(n.as_integer()->get());
}

// The comment of rheology.models: the names it takes.
std::string_view models_comment() {
    static const std::string text = [] {
        std::string s = "any of";
        for (const RheologyNames& r : kRheologies)
            s += (r.id == kRheologies[0].id ? " " : ", ") + std::string(r.name);
        return s;
    }();
    return text;
}

// Every key, in the order in which a body file is written.
const std::vector<Key>& keys() {
    using B = Body;
    static const std::vector<Key> k = {
        {"", "name", Kind::Text, false, "", &B::name},
        {"shell", "outer_radius", Kind::Real, true, "m", &B::outer_radius},
        {"shell", "thickness", Kind::Real, true, "m", &B::thickness},
        {"shell", "rigidity", Kind::RealOrLayers, true,
         "Pa; or an array of `layers` values, outermost layer first", &B::rigidity},
        {"shell", "density", Kind::Real, true, "kg/m^3", &B::density},
        {"shell", "density_contrast", Kind::Real, true,
         "kg/m^3: density below the shell minus `density`", &B::density_contrast},
        {"shell", "surface_gravity", Kind::Real, true, "m/s^2", &B::surface_gravity},
        {"shell", "bottom_gravity", Kind::Real, true, "m/s^2", &B::bottom_gravity},
        {"shell", "viscosity_factors", Kind::Layers, false,
         "per layer, outermost first: multiplies the swept viscosity", &B::viscosity_factors},
        {"shell", "self_gravity", Kind::Boolean, false,
         "the displaced surface's and interface's potential loads the shell", &B::self_gravity,
         self_gravity_written},
        {"orbit", "period", Kind::Real, true, "s", &B::period},
        {"orbit", "eccentricity", Kind::Real, true, "", &B::eccentricity},
        {"orbit", "rotation", Kind::Text, false, "\"synchronous\" or \"3:2\"", &B::rotation,
         rotation_written},
        {"orbit", "second_order", Kind::Boolean, false,
         "true: the older name of rotation = \"3:2\", the 3:2 resonance's tide", &B::second_order},
        {"orbit", "tide", Kind::Text, false, "\"expansion\" or \"exact\"", &B::tide,
         tide_written},
        {"orbit", "obliquity", Kind::Real, false,
         "degrees: tilt of the spin axis from the orbit normal, 0 to 180", &B::obliquity,
         obliquity_written},
        {"orbit", "pericentre_argument", Kind::Real, false,
         "degrees: argument of the pericentre from the orbit's ascending node on the equator",
         &B::pericentre_argument, pericentre_argument_written},
        {"sweep", "log10_viscosity_min", Kind::Real, true, "log10 of the viscosity in Pa s",
         &B::log10_viscosity_min},
        {"sweep", "log10_viscosity_max", Kind::Real, true, "", &B::log10_viscosity_max},
        {"sweep", "steps_per_decade", Kind::Integer, false, "viscosities 10^(k/steps_per_decade)",
         &B::steps_per_decade},
        {"rheology", "models", Kind::Rheologies, false, std::string(models_comment()),
         &B::models},
        {"numerics", "layers", Kind::Integer, false, "radial layers of the shell", &B::layers},
        {"numerics", "periods", Kind::Integer, false, "orbital periods of each run", &B::periods},
        {"numerics", "steps_per_period", Kind::Integer, false, "time steps per orbital period",
         &B::steps_per_period},
        {"numerics", "grid_error", Kind::Boolean, false,
         "the grid error from a second solve on twice the layers", &B::grid_error,
         grid_error_written},
        {"numerics", "extrapolate", Kind::Boolean, false,
         "values extrapolated to zero spacing from N and twice N layers", &B::extrapolate,
         extrapolate_written},
        {"numerics", "doubt_limit", Kind::Real, false,
         "relative error beyond which a result is reported as in doubt", &B::doubt_limit,
         doubt_limit_written},
    };
    static const std::vector<Key> all = [] {
        // Each rheology's parameters: in a table of the file's own after the rheology list, or
        // after the last key of the table the rheology names.
        std::vector<Key> out = k;
        const auto after = [&](std::string_view section) {
            std::size_t at = 0;
            for (std::size_t i = 0; i < out.size(); ++i)
                if (out[i].section == section || out[i].section.starts_with(std::string(section) + "."))
                    at = i + 1;
            return at;
        };
        for (const RheologyParameter& p : rheology_parameters()) {
            const std::size_t at =
                after(p.own_table ? std::string_view("rheology") : std::string_view(p.table));
            std::string comment = p.unit.empty() ? std::string(p.meaning)
                                                 : std::string(p.unit) + ": " + std::string(p.meaning);
            out.insert(out.begin() + static_cast<std::ptrdiff_t>(at),
                       Key{p.table, p.key, p.integer ? Kind::Integer : Kind::Real, false,
                           std::move(comment), &p, nullptr});
        }
        return out;
    }();
    return all;
}

} // namespace

std::string key_comment(std::string_view dotted_key) {
    for (const Key& k : keys()) {
        const std::string dotted =
            k.section.empty() ? std::string(k.name) : std::string(k.section) + "." + std::string(k.name);
        if (dotted == dotted_key) return k.unit_comment;
    }
    // A body given by its layers: its radius at the top level, and the keys of its [[layer]]
    // tables, "layer.NAME.KEY" or "layer.N.KEY".
    if (dotted_key == "outer_radius") return "m; the body's radius";
    if (dotted_key.starts_with("layer.")) {
        const std::size_t last = dotted_key.rfind('.');
        if (last > 5) return layer_key_comment(dotted_key.substr(last + 1));
    }
    return "";
}

namespace {

// Stores a node of the checked type into the key's field.
void read_value(const Key& k, Body& b, const toml::node& n) {
    if (const auto* p = std::get_if<const RheologyParameter*>(&k.field)) {
        set_parameter_value(b.rheology, **p, as_real(n));
        return;
    }
    std::visit(
        [&](auto member) {
            if constexpr (std::is_pointer_v<decltype(member)>) {
                return;
            } else {
            auto& field = b.*member;
            using T = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_same_v<T, std::string>) {
                field = n.as_string()->get();
            } else if constexpr (std::is_same_v<T, double>) {
                field = as_real(n);
            } else if constexpr (std::is_same_v<T, std::vector<double>>) {
                field.clear();
                if (const auto* a = n.as_array())
                    for (const auto& e : *a)
                        field.push_back(as_real(e));
                else
                    field.push_back(as_real(n));
            } else if constexpr (std::is_same_v<T, int>) {
                field = static_cast<int>(n.as_integer()->get());
            } else if constexpr (std::is_same_v<T, std::vector<Rheology>>) {
                field.clear();
                for (const auto& e : *n.as_array())
                    field.push_back(*rheology_named(e.as_string()->get()));
                // The list's order, whatever the file's: every table has the same columns in
                // the same order.
                std::stable_sort(field.begin(), field.end(), [](Rheology x, Rheology y) {
                    return index_of(x) < index_of(y);
                });
            } else {
                field = n.as_boolean()->get();
            }
            }
        },
        k.field);
}

// The key's value as TOML text; "" for an empty optional array.
std::string value_text(const Key& k, const Body& b) {
    if (const auto* p = std::get_if<const RheologyParameter*>(&k.field)) {
        const double v = parameter_value(b.rheology, **p);
        return (*p)->integer ? std::to_string(static_cast<int>(v)) : toml_real(v);
    }
    return std::visit(
        [&](auto member) -> std::string {
            if constexpr (std::is_pointer_v<decltype(member)>) {
                return {};
            } else {
            const auto& field = b.*member;
            using T = std::remove_cvref_t<decltype(field)>;
            if constexpr (std::is_same_v<T, std::string>)
                return toml_string(field);
            else if constexpr (std::is_same_v<T, double>)
                return toml_real(field);
            else if constexpr (std::is_same_v<T, std::vector<double>>)
                return field.empty() ? std::string() : layers_text(field);
            else if constexpr (std::is_same_v<T, int>)
                return std::to_string(field);
            else if constexpr (std::is_same_v<T, std::vector<Rheology>>) {
                std::string s = "[";
                for (std::size_t i = 0; i < field.size(); ++i)
                    s += (i > 0 ? ", " : "") + toml_string(kRheologies[index_of(field[i])].name);
                return s + "]";
            } else
                return field ? "true" : "false";
            }
        },
        k.field);
}

// The tables of a body file, in the order of its keys.
const std::vector<std::string>& sections() {
    static const std::vector<std::string> out = [] {
        std::vector<std::string> s;
        for (const Key& k : keys())
            if (!k.section.empty() &&
                std::find(s.begin(), s.end(), k.section) == s.end())
                s.emplace_back(k.section);
        return s;
    }();
    return out;
}

// The node at a dotted path of tables ("" is the document), or nullptr.
const toml::node* node_at(const toml::table& doc, std::string_view path) {
    const toml::node* n = &doc;
    while (!path.empty()) {
        const auto dot = path.find('.');
        const toml::table* t = n->as_table();
        n = t != nullptr ? t->get(path.substr(0, dot)) : nullptr;
        if (n == nullptr) return nullptr;
        path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
    }
    return n;
}

std::vector<std::string> known_keys() {
    std::vector<std::string> out;
    for (const Key& k : keys())
        out.push_back(dotted(k));
    return out;
}

const Key* find_key(std::string_view dotted_key) {
    for (const Key& k : keys())
        if (dotted(k) == dotted_key) return &k;
    return nullptr;
}

struct Failure {
    std::string message;
};

// Where a key's value came from, for messages: "file:line" or the --set option.
class Locator {
  public:
    explicit Locator(std::string_view source) : source_(source) {}
    void overridden(const std::string& key, std::string option) { set_[key] = std::move(option); }
    void overridden(const toml::node* n, std::string option) { set_nodes_[n] = std::move(option); }
    std::string at(const std::string& key, const toml::node* n) const {
        if (const auto it = set_.find(key); it != set_.end()) return it->second;
        return at(n);
    }
    std::string at(const toml::node* n) const {
        if (const auto it = set_nodes_.find(n); it != set_nodes_.end()) return it->second;
        std::string s(source_);
        if (n != nullptr && n->source().begin.line > 0) {
            s += ':';
            s += std::to_string(n->source().begin.line);
        }
        return s;
    }
    std::string source() const { return std::string(source_); }

  private:
    std::string_view source_;
    std::map<std::string, std::string> set_;
    std::map<const toml::node*, std::string> set_nodes_;
};

[[noreturn]] void fail(const std::string& where, const std::string& key, const std::string& what) {
    throw Failure{where + ": " + key + ": " + what};
}

std::string suggestion(std::string_view given) {
    const std::string best = nearest_key(given, known_keys());
    return best.empty() ? "" : " (did you mean " + best + "?)";
}

const char* type_name(const toml::node& n) {
    switch (n.type()) {
    case toml::node_type::string:
        return "a string";
    case toml::node_type::integer:
        return "an integer";
    case toml::node_type::floating_point:
        return "a number";
    case toml::node_type::boolean:
        return "a boolean";
    case toml::node_type::array:
        return "an array";
    case toml::node_type::table:
        return "a table";
    default:
        return "a date or time";
    }
}

// "unknown rheology "x"" with the nearest name, or every name where none is near.
std::string unknown_rheology(std::string_view name) {
    std::vector<std::string> names;
    std::string all;
    for (const RheologyNames& r : kRheologies) {
        names.emplace_back(r.name);
        all += (all.empty() ? "" : ", ") + toml_string(r.name);
    }
    const std::string best = nearest_key(name, names);
    return "unknown rheology " + toml_string(name) +
           (best.empty() ? " (the rheologies are " + all + ")"
                         : " (did you mean " + toml_string(best) + "?)");
}

// Checks the node's type against the key's kind; throws a Failure naming what was expected.
void check_type(const Key& k, const toml::node& n, const std::string& where) {
    const auto is_number = [](const toml::node& v) {
        return v.is_integer() || v.is_floating_point();
    };
    bool ok = false;
    const char* expected = "";
    switch (k.kind) {
    case Kind::Text:
        ok = n.is_string();
        expected = "a string";
        break;
    case Kind::Real:
        ok = is_number(n);
        expected = "a number";
        break;
    case Kind::Boolean:
        ok = n.is_boolean();
        expected = "true or false";
        break;
    case Kind::Integer: {
        expected = "an integer";
        if (const auto* i = n.as_integer()) {
            const auto v = i->get();
            if (v < -2147483647 || v > 2147483647) fail(where, dotted(k), "integer out of range");
            ok = true;
        }
        break;
    }
    case Kind::Rheologies: {
        expected = "an array of rheology names";
        if (const auto* a = n.as_array()) {
            ok = true;
            for (std::size_t i = 0; i < a->size(); ++i) {
                const std::string entry = "entry " + std::to_string(i + 1);
                const auto* name = a->get(i)->as_string();
                if (name == nullptr)
                    fail(where, dotted(k),
                         entry + " is " + type_name(*a->get(i)) + ", expected a rheology name");
                if (!rheology_named(name->get()))
                    fail(where, dotted(k), unknown_rheology(name->get()));
            }
        }
        break;
    }
    case Kind::RealOrLayers:
    case Kind::Layers: {
        expected =
            k.kind == Kind::Layers ? "an array of numbers" : "a number or an array of numbers";
        if (const auto* a = n.as_array()) {
            ok = true;
            for (std::size_t i = 0; i < a->size(); ++i)
                if (!is_number(*a->get(i)))
                    fail(where, dotted(k),
                         "entry " + std::to_string(i + 1) + " is " + type_name(*a->get(i)) +
                             ", expected a number");
        } else {
            ok = k.kind == Kind::RealOrLayers && is_number(n);
        }
        break;
    }
    }
    if (!ok) fail(where, dotted(k), std::string("expected ") + expected + ", got " + type_name(n));
}

// Replaces a key of one layer, "layer.NAME.KEY=VALUE" (NAME the layer's name, or its number
// from the surface down), in the document.
void apply_layer_override(toml::table& doc, const std::string& key, const std::string& value,
                          const std::string& option, Locator& where) {
    const auto dot = key.rfind('.');
    const std::string layer = key.substr(6, dot > 6 ? dot - 6 : 0);
    const std::string leaf = key.substr(dot + 1);
    toml::array* layers = doc.get("layer") != nullptr ? doc.get("layer")->as_array() : nullptr;
    if (layers == nullptr || dot <= 6)
        throw Failure{option + ": " + key + ": " +
                      (layers == nullptr ? "the body has no [[layer]] tables"
                                         : "expected layer.NAME.KEY, such as layer.mantle.thickness")};
    if (!is_layer_key(leaf)) throw Failure{option + ": " + key + ": unknown key of a layer"};
    toml::table* table = nullptr;
    for (std::size_t i = 0; i < layers->size() && table == nullptr; ++i) {
        toml::table* t = layers->get(i)->as_table();
        const toml::node* name = t != nullptr ? t->get("name") : nullptr;
        const bool named = name != nullptr && name->is_string() && name->as_string()->get() == layer;
        if (named || (name == nullptr && layer == "layer " + std::to_string(i + 1)) ||
            layer == std::to_string(i + 1))
            table = t;
    }
    if (table == nullptr) throw Failure{option + ": " + key + ": no layer is named " + toml_string(layer)};
    toml::table parsed;
    try {
        parsed = toml::parse("v = " + value);
    } catch (const toml::parse_error&) {
        parsed.insert_or_assign("v", value); // a bare text: a name, a state, "swept"
    }
    const toml::node* v = parsed.get("v");
    if (v == nullptr || parsed.size() != 1)
        throw Failure{option + ": " + key + ": '" + value + "' is not a single value"};
    v->visit([&](const auto& node) { table->insert_or_assign(leaf, node); });
    where.overridden(table->get(leaf), option);
}

// Replaces the key of one "KEY=VALUE" override in the document.
void apply_override(toml::table& doc, const std::string& text, Locator& where) {
    const std::string option = "--set " + text;
    const auto eq = text.find('=');
    if (eq == std::string::npos)
        throw Failure{option + ": expected KEY=VALUE, such as shell.thickness=20000"};
    std::string key = text.substr(0, eq);
    const std::string value = text.substr(eq + 1);
    key.erase(0, key.find_first_not_of(" \t"));
    key.erase(key.find_last_not_of(" \t") + 1);
    if (key.starts_with("layer.")) {
        apply_layer_override(doc, key, value, option, where);
        return;
    }
    const Key* k = find_key(key);
    if (k == nullptr) throw Failure{option + ": " + key + ": unknown key" + suggestion(key)};

    toml::table parsed;
    try {
        parsed = toml::parse("v = " + value);
    } catch (const toml::parse_error&) {
        if (k->kind != Kind::Text)
            throw Failure{option + ": " + key + ": '" + value + "' is not a value"};
        parsed.insert_or_assign("v", value); // a bare text for the name
    }
    const toml::node* v = parsed.get("v");
    if (v == nullptr || parsed.size() != 1)
        throw Failure{option + ": " + key + ": '" + value + "' is not a single value"};
    // The key's table, made (with the tables around it) where the document has none.
    toml::table* section = &doc;
    for (std::string_view rest = k->section; !rest.empty();) {
        const auto dot = rest.find('.');
        const std::string_view part = rest.substr(0, dot);
        toml::node* s = section->get(part);
        if (s == nullptr) {
            section->insert_or_assign(part, toml::table{});
            s = section->get(part);
        }
        section = s->as_table();
        if (section == nullptr)
            throw Failure{option + ": " +
                          std::string(k->section.substr(0, k->section.size() - rest.size())) +
                          std::string(part) + " is not a section in the body"};
        rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
    }
    v->visit([&](const auto& node) { section->insert_or_assign(k->name, node); });
    where.overridden(key, option);
}

// Refuses the first unknown section or key of the table at `path` ("" for the document).
void check_names(const toml::table& table, const std::string& path, const Locator& where) {
    for (const auto& [name, node] : table) {
        const std::string key =
            path.empty() ? std::string(name.str()) : path + "." + std::string(name.str());
        if (path.empty() && table.get("layer") != nullptr) {
            // A layered body: its layers are read on their own, and no [shell] describes it.
            if (key == "layer" || key == "outer_radius") continue;
            if (key == "shell")
                fail(where.at(&node), "[shell]",
                     "a body is described by its [shell] or by [[layer]] tables, not both");
        }
        if (node.is_table()) {
            if (std::find(sections().begin(), sections().end(), key) == sections().end()) {
                const std::string best = nearest_key(key, sections());
                fail(where.at(&node), "[" + key + "]",
                     "unknown section" + (best.empty() ? "" : " (did you mean [" + best + "]?)"));
            }
            check_names(*node.as_table(), key, where);
        } else if (find_key(key) == nullptr) {
            fail(where.at(key, &node), key, "unknown key" + suggestion(key));
        }
    }
}

// Reads every key of the document into a body, checking names and types.
Body read_document(const toml::table& doc, const Locator& where) {
    // Unknown sections and keys first: a typo must not leave a default in place silently.
    check_names(doc, "", where);

    Body b;
    b.name = where.source();
    const toml::node* layer_tables = doc.get("layer");
    if (layer_tables != nullptr) {
        const toml::node* R = doc.get("outer_radius");
        if (R == nullptr) fail(where.at(&doc), "outer_radius", "missing (m): the body's radius");
        if (!R->is_number()) fail(where.at(R), "outer_radius", "expected a number");
        b.outer_radius = as_real(*R);
        if (!(b.outer_radius > 0.0) || !std::isfinite(b.outer_radius))
            fail(where.at(R), "outer_radius", "must be positive, got " + shortest(b.outer_radius));
        if (const toml::node* n = node_at(doc, "numerics.layers"))
            fail(where.at("numerics.layers", n), "numerics.layers",
                 "a layered body gives its cells per layer (cells)");
        if (auto error = read_interior_layers(
                *layer_tables, b.outer_radius, [&](const toml::node* n) { return where.at(n); },
                b.interior))
            throw Failure{*error};
        if (auto problem = derive_shell_from_layers(b)) {
            const toml::node* t = layer_tables->as_array()->get(problem->layer);
            const toml::node* n = t->as_table()->get(problem->key);
            fail(where.at(n != nullptr ? n : t), "layer[" + std::to_string(problem->layer + 1) + "]." + problem->key,
                 problem->what);
        }
    }
    for (const Key& k : keys()) {
        const std::string key = dotted(k);
        if (layer_tables != nullptr && (k.section == "shell" || key == "numerics.layers")) continue;
        const toml::node* section = node_at(doc, k.section);
        const toml::node* n =
            section != nullptr && section->is_table() ? section->as_table()->get(k.name) : nullptr;
        if (n == nullptr) {
            if (k.required)
                fail(where.at(section), key,
                     k.unit_comment.empty() ? std::string("missing")
                                            : "missing (" + std::string(k.unit_comment) + ")");
            continue;
        }
        check_type(k, *n, where.at(key, n));
        read_value(k, b, *n);
    }
    if (const auto problem = check_body(b)) {
        // Name the line of the key at fault where the document has it.
        fail(where.at(problem->key, node_at(doc, problem->key)), problem->key, problem->what);
    }
    return b;
}

} // namespace

std::variant<Body, BodyError> read_body(std::string_view text, std::string_view source,
                                            std::span<const std::string> overrides) {
    Locator where(source);
    try {
        toml::table doc;
        if (auto error = parse_toml_document(text, where.source(), doc)) return BodyError{*error};
        for (const std::string& o : overrides)
            apply_override(doc, o, where);
        return read_document(doc, where);
    } catch (const Failure& f) {
        return BodyError{f.message};
    }
}

std::variant<Body, BodyError> override_body(const Body& body, std::string_view source,
                                                std::span<const std::string> overrides) {
    return read_body(write_body(body, ""), source, overrides);
}

std::string toml_real(double v) {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, r.ptr);
    if (s.find_first_of(".eEin") == std::string::npos) s += ".0";
    return s;
}

std::string write_body(const Body& body, std::string_view header) {
    std::ostringstream out;
    if (!header.empty()) out << "# " << header << "\n";
    std::string_view section = "";
    const bool layered = !body.interior.empty();
    for (const Key& k : keys()) {
        if (layered && (k.section == "shell" || (k.section == "numerics" && k.name == "layers")))
            continue;
        if (layered && k.section == "orbit" && section.empty()) {
            // The layers, after the name and before the orbit.
            out << write_interior_layers(body);
            section = "layer";
        }
        if (k.written != nullptr && !k.written(body)) continue;
        if (const auto* p = std::get_if<const RheologyParameter*>(&k.field);
            p != nullptr && !parameter_written(body, **p))
            continue;
        if (k.section != section) {
            out << "\n[" << k.section << "]\n";
            section = k.section;
        }
        const std::string value = value_text(k, body);
        std::string line = std::string(k.name) + " = " + value;
        if (value.empty()) {
            // An optional array left out: show the key commented, so the user finds it.
            line = "# " + std::string(k.name) + " = [...]";
        }
        if (!k.unit_comment.empty()) {
            const std::size_t last_line = line.rfind('\n');
            const std::size_t width =
                line.size() - (last_line == std::string::npos ? 0 : last_line + 1);
            line +=
                std::string(width < 31 ? 31 - width : 1, ' ') + "# " + std::string(k.unit_comment);
        }
        out << line << "\n";
    }
    return out.str();
}

} // namespace tidal
