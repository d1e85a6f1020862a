// Every numeric key of a body file at both ends of what it accepts, through the reader as a
// user's --set reaches it: at a closed end the end itself and the nearest value inside are
// accepted and the nearest value outside is refused; at an open end the end is refused and the
// nearest value inside (the smallest positive double above an open 0) accepted. The keys come
// from the bodies' own key lists (body/body_keys.cpp) and the rheologies' declarations
// (rheology/parameter.hpp), so that a key added to either without a range here fails.
// Caught: the eccentricity's open upper end made inclusive (`<= 1.0` in body_check.cpp) and a
// layer's cells accepted from 1 (`*cells >= 1.0` in interior_layers.cpp); the hand-made tests
// these loops replace caught Andrade's open lower end of alpha made inclusive (`v >= min` for an
// open end in ParameterRange::contains) and the layer count's upper end off by one.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "body/body_check.hpp"
#include "files/body_file.hpp"
#include "files/body_keys.hpp"
#include "body/presets.hpp"
#include "test_data.hpp"

namespace tidal {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// What a key accepts: from min to max, each end included unless open; whole numbers or reals.
// `low_key`, `high_key`: the key a refusal beyond that end names, when a relation with another
// key is what refuses it (the thickness against the outer radius); empty for the key itself.
struct KeyRange {
    double min, max;
    bool min_open, max_open, integer;
    std::vector<std::string> setting = {}; // overrides that make both ends reachable
    std::string low_key = "", high_key = "";
};

KeyRange positive() {
    return {0.0, kInf, true, true, false};
}

// A [shell] body (Europa, choice 3) with every optional numeric key written.
std::string shell_text() {
    Body b = preset(3).body_spec;
    b.doubt_limit = 0.02;
    // Written only when not 0: a tilted axis, so the obliquity's keys are tried too.
    b.obliquity = 10.0;
    b.pericentre_argument = 30.0;
    return write_body(b, "shell");
}

// A layered body: a swept ice layer with a viscosity factor over a solid layer of fixed
// viscosity, over a liquid reaching the centre (its thickness follows from the others).
std::string layers_text() {
    return test_data("layered_body.toml");
}

// The ranges of the body's own numeric keys (a [[layer]] key as layer.<i>.<key>): what
// body_check.cpp and interior_layers.cpp accept for the two bodies above.
std::map<std::string, KeyRange> body_key_ranges() {
    const double sweep_decades = 22.0 - 10.0; // choice 3 sweeps 1e10 .. 1e22 Pa s
    const double steps = 2000.0, periods = 10.0;
    std::map<std::string, KeyRange> r = {
        {"numerics.layers", {2, kMaxLayers, false, false, true}},
        // The outer radius only bounds the thickness from above.
        {"shell.outer_radius", {30000.0, kInf, true, true, false, {}, "shell.thickness"}},
        {"shell.thickness", {0.0, 1561000.0, true, true, false}},
        {"shell.rigidity", positive()},
        {"shell.density", positive()},
        {"shell.density_contrast", positive()},
        {"shell.surface_gravity", positive()},
        {"shell.bottom_gravity", positive()},
        {"orbit.period", positive()},
        // A circular orbit is accepted once the axis is tilted (its tide is the obliquity's);
        // without a tilt e = 0 is refused (BodyFile.EveryClassOfBadInputIsOneLine...).
        {"orbit.eccentricity", {0.0, 1.0, false, true, false}},
        {"orbit.obliquity", {0.0, 180.0, false, false, false}},
        {"orbit.pericentre_argument", {-kInf, kInf, false, false, false}},
        {"sweep.log10_viscosity_min", {-300.0, 22.0, false, false, false}},
        {"sweep.log10_viscosity_max",
         {10.0, 300.0, false, false, false, {}, "sweep.log10_viscosity_min"}},
        // 12 decades at s steps: 12 s + 1 viscosities.
        {"sweep.steps_per_decade",
         {1, std::floor((kMaxViscosities - 1) / sweep_decades), false, false, true}},
        {"numerics.periods",
         {1, std::floor(kMaxStepsPerRun / steps), false, false, true, {}, "", "numerics.steps_per_period"}},
        {"numerics.steps_per_period",
         {kMinStepsPerPeriod, std::floor(kMaxStepsPerRun / periods), false, false, true}},
        {"numerics.doubt_limit", {0.0, 1.0, true, true, false}},
    };
    for (const char* layer : {"layer.1.", "layer.2."}) {
        for (const char* key : {"density", "rigidity"})
            r[layer + std::string(key)] = positive();
        // The thicknesses' upper ends are the room left by the other layers, to the rounding
        // of the radii (InteriorLayers.EveryRefusalNamesFileLineAndKey).
        r[layer + std::string("thickness")] = positive();
    }
    // The cells of all layers together are the numerics.layers of the solid region (6 + 3).
    r["layer.1.cells"] = {2, kMaxLayers - 3, false, false, true, {}, "", "numerics.layers"};
    r["layer.2.cells"] = {2, kMaxLayers - 6, false, false, true, {}, "", "numerics.layers"};
    // (The liquid's density is not tried here: its smallest positive values are refused, at the
    // density, because the gravity at its top underflows to 0; InteriorLayers.EveryRefusal...)
    r["layer.1.viscosity_factor"] = positive();
    r["layer.2.viscosity"] = positive();
    return r;
}

// The key a refusal names: "layer.2.cells" is "layer[2].cells" in messages.
std::string message_key(const std::string& key) {
    if (key.rfind("layer.", 0) != 0) return key;
    const auto dot = key.find('.', 6);
    return "layer[" + key.substr(6, dot - 6) + "]" + key.substr(dot);
}

std::string value_text(double v, bool integer) {
    return integer ? std::to_string(static_cast<long long>(v)) : toml_real(v);
}

// One end of one key: the values accepted and refused there, each read with the key set.
void check_end(const std::string& text, const std::string& key, const KeyRange& r, bool upper) {
    const double end = upper ? r.max : r.min;
    if (!std::isfinite(end)) return;
    const bool open = upper ? r.max_open : r.min_open;
    const double out = upper ? kInf : -kInf;
    const double outside = r.integer ? end + (upper ? 1.0 : -1.0) : std::nextafter(end, out);
    const double inside = r.integer ? end - (upper ? 1.0 : -1.0) : std::nextafter(end, -out);
    const std::string refusing = message_key(
        (upper ? r.high_key : r.low_key).empty() ? key : (upper ? r.high_key : r.low_key));
    const auto read = [&](double v) {
        std::vector<std::string> o = r.setting;
        o.push_back(key + "=" + value_text(v, r.integer));
        return read_body(text, "test.toml", o);
    };
    struct Try {
        double value;
        bool accepted;
    };
    std::vector<Try> tries = {{inside, true}, {outside, false}};
    tries.push_back({end, !open});
    for (const Try& t : tries) {
        SCOPED_TRACE(key + (upper ? " upper end: " : " lower end: ") + value_text(t.value, r.integer));
        const auto got = read(t.value);
        if (t.accepted) {
            EXPECT_TRUE(std::holds_alternative<Body>(got)) << std::get<BodyError>(got).message;
        } else {
            ASSERT_TRUE(std::holds_alternative<BodyError>(got)) << "accepted";
            const std::string& m = std::get<BodyError>(got).message;
            EXPECT_NE(m.find(refusing + ":"), std::string::npos) << m;
            EXPECT_EQ(m.find('\n'), std::string::npos) << m;
        }
    }
}

TEST(KeyBounds, EveryNumericKeyOfBothKindsOfBodyAtBothEndsOfItsRange) {
    const std::map<std::string, KeyRange> ranges = body_key_ranges();
    std::set<std::string> declared;
    for (const RheologyParameter& p : rheology_parameters())
        declared.insert(p.dotted());
    std::set<std::string> tested;
    const std::string layers = layers_text();
    for (const std::string& text : {shell_text(), layers}) {
        const auto body = read_body(text, "test.toml");
        ASSERT_TRUE(std::holds_alternative<Body>(body)) << std::get<BodyError>(body).message;
        const bool layered = text == layers;
        for (const BodyKey& k : body_keys(std::get<Body>(body))) {
            if (std::holds_alternative<std::string>(k.value) || declared.count(k.name)) continue;
            // Of the layered body its layers' keys (its radius is the layers' sum; the other
            // tables are the [shell] body's).
            if (layered && k.name.rfind("layer.", 0) != 0) continue;
            if (k.name == "layer.3.density") continue;
            const auto r = ranges.find(k.name);
            if (r == ranges.end()) {
                ADD_FAILURE() << k.name << ": a numeric key without a range in this test";
                continue;
            }
            for (const bool upper : {false, true})
                check_end(text, k.name, r->second, upper);
            tested.insert(k.name);
        }
    }
    // Every range above belongs to a key of one of the bodies.
    for (const auto& [key, r] : ranges)
        EXPECT_TRUE(tested.count(key)) << key << " is in no body's key list";
}

// Every declared rheology parameter, on the [shell] body that runs every rheology.
TEST(KeyBounds, EveryDeclaredRheologyParameterAtBothEndsOfItsRange) {
    Body all = preset(3).body_spec;
    all.models.clear();
    for (const RheologyNames& r : kRheologies)
        all.models.push_back(r.id);
    const std::string text = write_body(all, "every rheology");
    int ends = 0;
    for (const RheologyParameter& p : rheology_parameters()) {
        const KeyRange r{p.range.min, p.range.max, p.range.min_open, p.range.max_open, p.integer};
        for (const bool upper : {false, true}) {
            check_end(text, p.dotted(), r, upper);
            ends += std::isfinite(upper ? r.max : r.min) ? 1 : 0;
        }
        // The refusal says what the declaration accepts.
        if (!std::isfinite(p.range.max)) continue;
        const auto bad = read_body(text, "test.toml",
                                   std::vector<std::string>{p.dotted() + "=" +
                                                            value_text(p.range.max + 1.0, p.integer)});
        ASSERT_TRUE(std::holds_alternative<BodyError>(bad)) << p.dotted();
        EXPECT_NE(std::get<BodyError>(bad).message.find("must be " + range_text(p.range)),
                  std::string::npos)
            << std::get<BodyError>(bad).message;
    }
    EXPECT_GE(ends, 2 * static_cast<int>(rheology_parameters().size()) - 2);
}

// The unit of every numeric key of a [shell] body and of a body given by its layers (one of
// whose layers has a fixed viscosity), as study.nc's axes carry them: read from the key's
// comment, "1" for a count, a ratio or a phrase. Caught: a two-word unit ("Pa s") cut to its
// first word; a layer's key without its unit.
TEST(KeyUnits, EveryNumericKeyOfBothKindsOfBodyHasItsUnit) {
    const std::map<std::string, std::string> unit_of = {
        {"outer_radius", "m"},     {"thickness", "m"},        {"rigidity", "Pa"},
        {"density", "kg/m^3"},     {"density_contrast", "kg/m^3"},
        {"surface_gravity", "m/s^2"}, {"bottom_gravity", "m/s^2"},
        {"viscosity", "Pa s"},     {"viscosity_factor", "1"}, {"cells", "1"},
        {"period", "s"},           {"eccentricity", "1"},     {"obliquity", "degrees"},
        {"log10_viscosity_min", "1"}, {"log10_viscosity_max", "1"}, {"steps_per_decade", "1"},
        {"layers", "1"},           {"periods", "1"},          {"steps_per_period", "1"},
        {"doubt_limit", "1"},      {"andrade_elements", "1"}};
    const std::string io = file_text(std::filesystem::path(TIDAL_TEST_DATA_DIR) / ".." / ".." /
                                     "examples" / "io-asthenosphere-over-liquid-core.toml");
    const auto layered = read_body(io, "io.toml", std::vector<std::string>{"orbit.obliquity=1.0"});
    ASSERT_TRUE(std::holds_alternative<Body>(layered)) << std::get<BodyError>(layered).message;
    std::size_t checked = 0;
    for (const Body& body : {*preset_body(1), std::get<Body>(layered)})
        for (const BodyKey& k : body_keys(body)) {
            if (std::holds_alternative<std::string>(k.value)) continue;
            const std::string last = k.name.substr(k.name.rfind('.') + 1);
            const auto want = unit_of.find(last);
            if (want == unit_of.end()) continue; // a rheology's parameter: a ratio or exponent
            EXPECT_EQ(key_units(k.name), want->second) << k.name;
            ++checked;
        }
    // Both bodies' keys, the layers' included: a fixed viscosity among them.
    EXPECT_GT(checked, 25u);
    EXPECT_EQ(key_units("layer.2.viscosity"), "Pa s");
    EXPECT_EQ(key_units("layer.mantle.thickness"), "m");
    EXPECT_EQ(key_units("no.such_key"), "1");
}

} // namespace
} // namespace tidal
