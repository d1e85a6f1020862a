// Body files: presets restated through TOML read back to the same bits, overrides, every class
// of bad input refused with one line naming source, line and key, and a fuzzed reader that
// never crashes (on the presets and the layered body). Caught by the fuzz: a layer's refused
// state given as two lines.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "body/body_check.hpp"
#include "files/body_file.hpp"
#include "files/body_source.hpp"
#include "body/presets.hpp"
#include "same_records.hpp"
#include "shell_fixtures.hpp"
#include "test_data.hpp"

namespace tidal {
namespace {

std::string preset_text(int choice) {
    return write_body(preset(choice).body_spec, "preset");
}

// Replaces the first line that starts with `key` by `line` (or removes it when empty).
std::string with_line(std::string text, const std::string& key, const std::string& line) {
    const auto at = text.find("\n" + key + " ");
    EXPECT_NE(at, std::string::npos) << key;
    const auto end = text.find('\n', at + 1);
    text.replace(at + 1, end - at - 1 + (line.empty() ? 1 : 0), line);
    return text;
}

// A value of parameter p inside its range and not its default: a third of the way from the
// default to an end (a whole number: the next one), so that a real has all its digits.
double other_than_default(const RheologyParameter& p) {
    const double d = p.default_value;
    for (const double end : {p.range.max, p.range.min}) {
        const double far = std::isfinite(end) ? end : d + (end > d ? 1.0 : -1.0) * (1.0 + std::fabs(d));
        const double v = p.integer ? d + (far > d ? 1.0 : -1.0) : d + (far - d) / 3.0;
        if (v != d && p.range.contains(v)) return v;
    }
    ADD_FAILURE() << p.dotted() << ": no value in its range but the default";
    return d;
}

TEST(BodyFile, EveryPresetAndEveryRheologyReadsBackToTheSameBitsAndTheSameText) {
    std::vector<Body> bodies;
    for (int c = kFirstChoice; c <= kLastChoice; ++c)
        bodies.push_back(preset(c).body_spec);
    // Every rheology of the list, each parameter at a value that is not its default (a
    // parameter the writer put where the reader does not look, or under a key the file already
    // has, fails here); and a parameter of a rheology that does not run, which must not be lost
    // on the way.
    Body all = preset(3).body_spec;
    all.models.clear();
    for (const RheologyNames& r : kRheologies)
        all.models.push_back(r.id);
    for (const RheologyParameter& p : rheology_parameters())
        set_parameter_value(all.rheology, p, other_than_default(p));
    all.self_gravity = true;
    all.rotation = "3:2";
    all.tide = "exact";
    all.extrapolate = true;
    all.doubt_limit = 0.03;
    Body unused = preset(1).body_spec;
    unused.grid_error = false;
    unused.rheology.of<Andrade>().alpha = 0.45;
    Body unused_zeta = preset(2).body_spec; // alone: written only because it differs
    unused_zeta.rheology.of<Andrade>().zeta = 10.0;
    unused_zeta.name = "C:\\shells\\\"thin\" \\u0041"; // backslashes and quotes kept as given
    // An oblique body with its pericentre's argument: both keys written and read back (a
    // writer that skipped them loses the tilt here).
    Body oblique = preset(4).body_spec;
    oblique.obliquity = 180.0 / 7.0;
    oblique.pericentre_argument = -33.3;
    for (const Body& body : {all, unused, unused_zeta, oblique})
        bodies.push_back(body);
    for (const Body& body : bodies) {
        SCOPED_TRACE(body.name);
        const std::string text = write_body(body, "preset");
        const Body back = read_ok(text);
        expect_same_record(back, body);
        EXPECT_EQ(write_body(back, "preset"), text);
    }
    // A file's own order of the rheologies reads as the list's, that of every table's columns.
    EXPECT_EQ(read_ok(preset_text(1), {"rheology.models=[\"zener\", \"andrade\", \"maxwell\"]"}).models,
              (std::vector<Rheology>{Rheology::Maxwell, Rheology::Andrade, Rheology::Zener}));
    // Every body file says which rheologies ran; the parameters only where they matter.
    EXPECT_NE(preset_text(1).find("\n[rheology]\nmodels = [\"maxwell\", \"kelvin_voigt\"]"), std::string::npos);
    for (const char* absent : {"[rheology.burgers]", "[rheology.andrade]", "andrade_elements", "self_gravity", "obliquity",
                               "pericentre_argument"})
        EXPECT_EQ(preset_text(1).find(absent), std::string::npos) << absent;
    // Self-gravitation off, said or not, is the same body and the same file.
    EXPECT_EQ(write_body(read_ok(preset_text(1), {"shell.self_gravity=false"}), "preset"), preset_text(1));
}

// A refused body file's message names the file by its path, however deep the directory:
// control bytes shown as '?' and the line after it, and a path too long for one line shortened at its start so that
// the file's own name and line stay. Caught: the path cut to its first 40 bytes like a token
// (the file name lost), and a long path shortened at its end.
TEST(BodyFile, RefusalsNameTheFileByItsWholePathOrItsEnd) {
    namespace fs = std::filesystem;
    const fs::path top = fs::temp_directory_path() / ("tidal-path-test-" + std::to_string(::getpid()));
    fs::path deep = top / "a-directory-with-a-long-name-for-results";
    fs::path deeper = deep;
    for (int i = 0; i < 12; ++i) deeper /= "another-level-of-directories-" + std::to_string(i);
    fs::create_directories(deeper);
    for (const fs::path& dir : {deep, deeper}) {
        const fs::path file = dir / "my-shell\x01.toml";
        std::ofstream(file) << "[shell]\nthickness = -1\n";
        auto r = read_body_file(file.string(), {});
        ASSERT_TRUE(std::holds_alternative<BodyError>(r)) << file;
        const std::string m = std::get<BodyError>(r).message;
        const std::size_t name = m.find("my-shell?.toml:");
        ASSERT_NE(name, std::string::npos) << m;
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(m[name + 15]))) << m; // its line
        EXPECT_TRUE(file.string().size() <= 400 ? m.starts_with(file.parent_path().string())
                                                : m.starts_with("...") && m.size() < 400u + 200u) << m;
    }
    fs::remove_all(top);
}

TEST(BodyFile, OverridesReplaceOneKeyEach) {
    const Body base = preset(3).body_spec;
    auto r = override_body(base, "body 3", std::vector<std::string>{"shell.thickness=20000", "numerics.layers = 40",
                           "name=Europa, thin shell", "shell.viscosity_factors=[1.0,2.0]", "numerics.layers=2"});
    ASSERT_TRUE(std::holds_alternative<Body>(r)) << std::get<BodyError>(r).message;
    Body want = base;
    want.thickness = 20000.0;
    want.layers = 2; // the last one given counts
    want.name = "Europa, thin shell";
    want.viscosity_factors = {1.0, 2.0};
    expect_same_record(std::get<Body>(r), want);
    // A rigidity profile and its layer count, given together.
    EXPECT_EQ(read_ok(preset_text(1), {"shell.rigidity=[1e9, 2e9, 3e9]", "numerics.layers=3"}).rigidity,
              (std::vector<double>{1e9, 2e9, 3e9}));
    EXPECT_EQ(preset(1).body_spec.layer_rigidities(), std::vector<double>(20, 3.3e9));

    // Rheologies and their parameters: the tables made by --set, the runs in the list's order
    // whatever the order given.
    const Body chosen = read_ok(preset_text(2), {"rheology.models=[\"andrade\", \"maxwell\"]", "rheology.andrade.alpha=0.25",
                                                 "rheology.burgers.transient_viscosity_ratio=0.5", "numerics.andrade_elements=9"});
    const auto& andrade = chosen.rheology.of<Andrade>();
    EXPECT_EQ(std::tuple(chosen.models, andrade.alpha, andrade.elements, andrade.zeta,
                         chosen.rheology.of<Burgers>().viscosity_ratio),
              std::tuple(std::vector<Rheology>{Rheology::Maxwell, Rheology::Andrade}, 0.25, 9,
                         AndradeParameters{}.zeta, 0.5));
    // The same from a file that gives the sections in its own way.
    const Body written = read_ok(preset_text(2) + "[rheology.andrade]\nalpha = 0.25\n[rheology.burgers]\n",
                                 {"rheology.models=[\"andrade\", \"maxwell\"]"});
    EXPECT_EQ(std::tuple(written.models, written.rheology.of<Andrade>().alpha), std::tuple(chosen.models, 0.25));
}

TEST(BodyFile, EveryClassOfBadInputIsOneLineNamingSourceLineAndKey) {
    const std::string good = preset_text(1);
    struct Case {
        std::string text;
        std::vector<std::string> overrides;
        std::string expected; // a part of the message
    };
    const auto edit = [&](const std::string& key, const std::string& line) { return with_line(good, key, line); };
    // clang-format off
    const std::vector<Case> cases = {
        {"[shell\nouter_radius = 1.0\n", {}, "test.toml:1: not a valid TOML file"},
        {good + "\n[shel]\nx = 1\n", {}, "[shel]: unknown section (did you mean [shell]?)"},
        {edit("thickness", "thicknes = 26000.0"), {}, "test.toml:6: shell.thicknes: unknown key (did you mean shell.thickness?)"},
        {edit("density", "period = 925.0"), {}, "shell.period: unknown key (did you mean orbit.period?)"},
        {good + "colour = 1\n", {}, "numerics.colour: unknown key"},
        {edit("density", ""), {}, "shell.density: missing"},
        {edit("thickness", "thickness = \"26 km\""), {}, "test.toml:6: shell.thickness: expected a number, got a string"},
        {edit("layers", "layers = 20.5"), {}, "numerics.layers: expected an integer, got a number"},
        {edit("second_order", "second_order = 1"), {}, "orbit.second_order: expected true or false"},
        {good, {"shell.self_gravity=\"on\""}, "shell.self_gravity: expected true or false"},
        {edit("rigidity", "rigidity = [1e9, 2e9]"), {}, "shell.rigidity: has 2 values but numerics.layers is 20"},
        {edit("rigidity", "rigidity = [1e9, \"x\"]"), {}, "shell.rigidity: entry 2 is a string"},
        {edit("thickness", "thickness = -1.0"), {}, "test.toml:6: shell.thickness: must be positive"},
        {edit("thickness", "thickness = 252100.0"), {}, "shell.thickness: must be less than shell.outer_radius"},
        {edit("rigidity", "rigidity = nan"), {}, "shell.rigidity: must be a finite number"},
        {edit("density_contrast", "density_contrast = 0.0"), {}, "shell.density_contrast: must be positive"},
        {edit("eccentricity", "eccentricity = 1.0"), {}, "orbit.eccentricity: must be more than 0 and less than 1"},
        {edit("eccentricity", "eccentricity = 0.0"), {}, "orbit.eccentricity: must be more than 0 and less than 1 (got 0): a circular orbit"},
        {edit("layers", "layers = 1"), {}, "numerics.layers: must be from 2"},
        {edit("periods", "periods = 0"), {}, "numerics.periods: must be at least 1"},
        {edit("steps_per_period", "steps_per_period = 3"), {}, "to sample a period"},
        {edit("log10_viscosity_min", "log10_viscosity_min = 23.0"), {}, "must not exceed sweep.log10_viscosity_max"},
        {edit("steps_per_period", "steps_per_period = 99999999"), {}, "fit in memory"},
        {edit("steps_per_decade", "steps_per_decade = 100000"), {}, "at most 100000 fit in one sweep"},
        {edit("layers", "layers = 99999999999"), {}, "numerics.layers: integer out of range"},
        {good, {"shell.thicknes=1"}, "--set shell.thicknes=1: shell.thicknes: unknown key (did you mean shell.thickness?)"},
        {good, {"shell.thickness"}, "--set shell.thickness: expected KEY=VALUE"},
        {good, {"shell.thickness=abc"}, "--set shell.thickness=abc: shell.thickness: 'abc' is not a value"},
        {good, {"shell.thickness=300000"}, "--set shell.thickness=300000: shell.thickness: must be less than"},
        // The spin and the tide: names that do not exist, and an exact tide whose harmonics
        // do not converge within the cap (e = 0.9 needs about 510; fails when the cap is not
        // checked).
        {edit("second_order", "rotation = \"4:3\""), {}, "test.toml:17: orbit.rotation: unknown rotation \"4:3\""},
        {edit("second_order", "tide = \"exactly\""), {}, "test.toml:17: orbit.tide: unknown tide \"exactly\""},
        {edit("eccentricity", "eccentricity = 0.9\ntide = \"exact\""), {}, "test.toml:16: orbit.eccentricity: the exact tide at eccentricity 0.9 needs more than 400 harmonics"},
        {good, {"orbit.tide=exact", "orbit.eccentricity=0.9"}, "--set orbit.eccentricity=0.9"},
        // The obliquity: not a number, infinite, below 0, beyond 180 degrees; an oblique 3:2
        // body, whose geometry is not the synchronous one of the obliquity tide. Caught: the
        // finiteness check left out (nan and inf then read "must be from 0 to 180").
        {edit("eccentricity", "eccentricity = 0.0101\nobliquity = nan"), {}, "test.toml:17: orbit.obliquity: must be a finite number"},
        {edit("eccentricity", "eccentricity = 0.0101\nobliquity = inf"), {}, "test.toml:17: orbit.obliquity: must be a finite number"},
        {good, {"orbit.obliquity=-1"}, "--set orbit.obliquity=-1: orbit.obliquity: must be from 0 to 180 degrees (got -1)"},
        {good, {"orbit.obliquity=180.5"}, "orbit.obliquity: must be from 0 to 180 degrees (got 180.5)"},
        {good, {"orbit.pericentre_argument=-inf"}, "orbit.pericentre_argument: must be a finite number"},
        {good, {"orbit.obliquity=1", "orbit.rotation=\"3:2\""}, "orbit.obliquity: the obliquity tide is that of a synchronous body"},
        // The rheologies and their parameters.
        {edit("models", "models = [\"maxwell\", \"andrad\"]"), {}, "test.toml:25: rheology.models: unknown rheology \"andrad\" (did you mean \"andrade\"?)"},
        {edit("models", "models = [\"maxwell\", \"burgers\", \"maxwell\"]"), {}, "test.toml:25: rheology.models: names \"maxwell\" twice"},
        {edit("models", "models = []"), {}, "rheology.models: must name at least one"},
        {edit("models", "models = \"maxwell\""), {}, "rheology.models: expected an array of rheology names, got a string"},
        {good + "[rheology.andrade]\nalpha = 1.0\n", {}, "test.toml:32: rheology.andrade.alpha: must be greater than 0 and less than 1"},
        {good + "[rheology.andrade]\nalfa = 0.3\n", {}, "test.toml:32: rheology.andrade.alfa: unknown key (did you mean rheology.andrade.alpha?)"},
        {good + "[rheology.andrde]\n", {}, "[rheology.andrde]: unknown section (did you mean [rheology.andrade]?)"},
        {good, {"rheology.andrade.zeta=0"}, "rheology.andrade.zeta: must be from 1e-6 to 1e6"},
        {good, {"rheology.burgers.transient_rigidity_ratio=-1"}, "rheology.burgers.transient_rigidity_ratio: must be from 1e-6 to 1e6"},
        {good, {"rheology.burgers.transient_viscosity_ratio=1e-40"}, "rheology.burgers.transient_viscosity_ratio: must be from 1e-6 to 1e6 (got 1e-40)"},
        // One factor for twenty layers is not a scalar: the factors are per layer only.
        {good, {"shell.viscosity_factors=[0.5]"}, "shell.viscosity_factors: has 1 values but numerics.layers is 20 (give one value per layer)"},
        {good, {"rheology.models.andrade=1"}, "--set rheology.models.andrade=1: rheology.models.andrade: unknown key"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const std::string m = read_refusal(c.text, c.overrides);
        EXPECT_NE(m.find(c.expected), std::string::npos) << "got: " << m << "\nwanted: " << c.expected;
        EXPECT_EQ(m.find('\n'), std::string::npos) << m;
        EXPECT_TRUE(!c.overrides.empty() || m.starts_with("test.toml")) << m;
    }
}

TEST(BodyFile, TheExactTideHoldsUpToTheEccentricityItsHarmonicsCapAllows) {
    // The exact tide up to the eccentricity whose harmonics the cap still holds (0.85 needs
    // 270 of its 400), either rotation; the rotations and tides by name.
    for (const char* rotation : {"synchronous", "3:2"}) {
        const Body exact =
            read_ok(preset_text(1), {"orbit.tide=exact", "orbit.eccentricity=0.85", std::string("orbit.rotation=") + rotation});
        EXPECT_EQ(std::tuple(exact.exact_tide(), exact.spin_ratio()), std::tuple(true, std::string(rotation) == "3:2" ? 1.5 : 1.0));
    }
    EXPECT_FALSE(read_ok(preset_text(1), {"orbit.tide=expansion"}).exact_tide());
}

// Each place named as it is set: the rheology's table, or its key in another; where the
// rheology runs, its parameters count.
TEST(BodyFile, ParametersOfARheologyThatDoesNotRunAreSaidToDoNothing) {
    const Body base = preset(1).body_spec; // Maxwell and Kelvin-Voigt
    const auto warning = [&](void (*change)(Body&)) {
        Body b = base;
        change(b);
        return unused_rheology_parameters(b).value_or("(none)");
    };
    const std::string burgers = "warning: [rheology.burgers] is set but burgers is not in rheology.models";
    const std::pair<void (*)(Body&), std::string> cases[] = {
        {[](Body&) {}, "(none)"},
        {[](Body& b) { b.rheology.of<Burgers>().viscosity_ratio = 0.5; }, burgers},
        {[](Body& b) { b.rheology.of<Burgers>().rigidity_ratio = 0.5; }, burgers},
        {[](Body& b) { b.rheology.of<Andrade>().zeta = 10.0; },
         "warning: [rheology.andrade] is set but andrade is not in rheology.models: it has no effect on this run\n"},
        {[](Body& b) { b.rheology.of<Andrade>().elements = 9; }, "warning: numerics.andrade_elements is set but andrade"},
        {[](Body& b) { b.models.push_back(Rheology::Burgers), void(b.rheology.of<Burgers>().viscosity_ratio = 0.5); },
         "(none)"},
    };
    // A line feed at the end of a case: the whole warning, else its start.
    for (const auto& [change, expected] : cases)
        EXPECT_TRUE(expected.ends_with('\n') ? warning(change) + "\n" == expected : warning(change).starts_with(expected))
            << warning(change);
}

TEST(BodyFile, MutatedPresetsNeverCrashAndWhatIsAcceptedIsSound) {
    std::mt19937 rng(20261206);
    const std::vector<std::string> junk = {"nan", "inf", "-inf", "1e308", "1e999", "-0.0",
                                           "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[", "{a={b={c={d={e={f={}}}}}}}",
                                           "\"\\u0000\"", "0x7f", "\xff\xfe", "=", "[", "]", "\n[shell]\n",
                                           "9223372036854775808"};
    // The eight presets and the layered body of tests/data, whose [[layer]] tables have a
    // reader of their own.
    std::vector<std::string> texts = {test_data("layered_body.toml")};
    for (int c = kFirstChoice; c <= kLastChoice; ++c)
        texts.push_back(preset_text(c));
    int accepted = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string text = texts[static_cast<std::size_t>(i) % texts.size()];
        std::uniform_int_distribution<std::size_t> at(0, text.size() - 1);
        switch (i % 4) {
        case 0:
            text.resize(at(rng));
            break; // truncated
        case 1:
            text[at(rng)] ^= static_cast<char>(1 << (rng() % 8));
            break; // a flipped bit
        case 2:
            text.insert(at(rng), junk[rng() % junk.size()]);
            break; // junk inserted
        default: { // a value replaced
            const auto eq = text.find(" = ", at(rng));
            if (eq == std::string::npos) break;
            const auto end = text.find_first_of("#\n", eq + 3);
            text.replace(eq + 3, end - eq - 3, junk[rng() % junk.size()] + " ");
        }
        }
        const auto r = read_body(text, "fuzz.toml");
        if (const auto* b = std::get_if<Body>(&r)) {
            ++accepted;
            EXPECT_FALSE(check_body(*b).has_value()) << text;
        } else {
            const std::string& m = std::get<BodyError>(r).message;
            EXPECT_EQ(m.find('\n'), std::string::npos) << m;
            EXPECT_EQ(m.rfind("fuzz.toml", 0), 0u) << m;
        }
    }
    EXPECT_GT(accepted, 0); // some mutations (in comments, say) leave a valid body
}

TEST(Sweep, EveryRepresentableBoundIsIncludedExactlyOnce) {
    // A sweep from k/s to k/s is the one viscosity 10^(k/s), however k/s rounds.
    for (int s : {1, 3, 7, 20, 33, 100})
        for (int k = -3000; k <= 3000; k += 7) {
            const double bound = k / static_cast<double>(s);
            const SweepIndices one = sweep_indices(bound, bound, s);
            ASSERT_EQ(one.first_k, k) << k << "/" << s;
            ASSERT_EQ(one.last_k, k) << k << "/" << s;
        }
    EXPECT_EQ(sweep_indices(10, 22, 20).count(), 241);
    EXPECT_EQ(sweep_indices(10.01, 10.04, 20).count(), 0);
    EXPECT_EQ(sweep_indices(-1.5, 1.5, 2).count(), 7);
}

} // namespace
} // namespace tidal
