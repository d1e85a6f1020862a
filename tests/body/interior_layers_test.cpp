// Bodies given by their layers: every refusal names the file, line and key; the accepted
// bounds (rounding of the radii, a layer given by its outer radius) read; the layers written
// back read to the same body; a density increasing outward warns once; a fuzzed file never
// crashes the reader.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <variant>

#include "body/body_file.hpp"
#include "body/interior_layers.hpp"
#include "body/plausibility.hpp"
#include "same_records.hpp"

namespace tidal {
namespace {

// Lines: 1 name, 2 outer_radius, 4 [[layer]], 5-11 the ice, 13 [[layer]], 14-17 the liquid.
const std::string kTwoLayers = R"(name = "two layers"
outer_radius = 252000.0

[[layer]]
name = "ice"
thickness = 42000.0
density = 950.0
state = "solid"
rigidity = 4e9
viscosity = "swept"
cells = 20

[[layer]]
name = "interior"
thickness = 210000.0
density = 1800.0
state = "liquid"

[orbit]
period = 118386.0
eccentricity = 0.0047

[sweep]
log10_viscosity_min = 13.0
log10_viscosity_max = 15.0
)";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::variant<Body, BodyError> read(const std::string& text) {
    return read_body(text, "test.toml");
}

std::string error_of(const std::string& text) {
    const auto r = read(text);
    return std::holds_alternative<Body>(r) ? "(accepted)" : std::get<BodyError>(r).message;
}

TEST(InteriorLayers, EveryRefusalNamesFileLineAndKey) {
    struct Case {
        std::string from, to, expected;
    };
    const std::string ice_thickness = "thickness = 42000.0";
    const std::string inner_thickness = "thickness = 210000.0";
    const Case cases[] = {
        // gaps and overlaps, by thickness and by outer radius
        {inner_thickness, "thickness = 200000.0", "test.toml:15: layer[2].thickness: the innermost layer ends at r = 10000 m, leaving a gap above the centre"},
        {inner_thickness, "thickness = 220000.0", "test.toml:15: layer[2].thickness: the layers reach 10000 m beyond the centre"},
        {inner_thickness, "outer_radius = 200000.0", "test.toml:15: layer[2].outer_radius: 200000 m leaves a gap below the layer above, which ends at 210000 m"},
        {inner_thickness, "outer_radius = 230000.0", "test.toml:15: layer[2].outer_radius: 230000 m overlaps the layer above"},
        // a layer given by its outer radius alone needs the next one's
        {ice_thickness, "outer_radius = 252000.0", "test.toml:4: layer[1]: missing thickness (the layer below gives no outer_radius)"},
        // densities, rigidity, states
        {"density = 950.0", "density = -950.0", "test.toml:7: layer[1].density: must be positive, got -950"},
        {"density = 1800.0", "density = 0.0", "test.toml:16: layer[2].density: must be positive, got 0"},
        // A liquid so light that the gravity at its top rounds to 0, refused at its density
        // (it was refused at shell.bottom_gravity, a key a layered file has not).
        {"density = 1800.0", "density = 5e-324", "test.toml:16: layer[2].density: too small: the gravity at the liquid's top from the densities below it is 0 m/s^2"},
        {"rigidity = 4e9", "rigidity = 0.0", "test.toml:9: layer[1].rigidity: zero: a layer without rigidity is liquid"},
        {"state = \"solid\"", "state = \"liquid\"", "test.toml:8: layer[1].state: the outermost layer must be solid"},
        {"state = \"liquid\"", "state = \"slush\"", "test.toml:17: layer[2].state: expected \"solid\" or \"liquid\", got \"slush\""},
        {"state = \"liquid\"", "state = \"liquid\"\nrigidity = 1e9", "test.toml:18: layer[2].rigidity: a liquid layer is inviscid and static and takes no rigidity"},
        // the sweep needs a swept layer
        {"viscosity = \"swept\"", "viscosity = 1e14\nrheology = \"maxwell\"", "test.toml:4: layer: no layer has viscosity = \"swept\", and the sweep needs one"},
        {"viscosity = \"swept\"", "viscosity = \"sweep\"", "test.toml:10: layer[1].viscosity: expected \"swept\" or a value in Pa s, got \"sweep\""},
        {"viscosity = \"swept\"", "viscosity = \"swept\"\nrheology = \"maxwell\"", "test.toml:11: layer[1].rheology: a swept layer runs every rheology of rheology.models"},
        {"viscosity = \"swept\"", "viscosity = \"swept\"\nviscosity_factor = -2.0", "test.toml:11: layer[1].viscosity_factor: must be positive"},
        {"cells = 20", "cells = 1", "test.toml:11: layer[1].cells: must be an integer from 2 to 10000, got 1"},
        {"cells = 20", "cells = 20.5", "test.toml:11: layer[1].cells: must be an integer"},
        {"cells = 20", "", "test.toml:4: layer[1].cells: missing"},
        {"rigidity = 4e9", "rigidty = 4e9", "test.toml:9: layer[1].rigidty: unknown key (did you mean rigidity?)"},
        {"name = \"interior\"", "name = \"ice\"", "test.toml:14: layer[2].name: \"ice\" names an earlier layer too"},
        // the two descriptions of a body, and cells that are the layers' own
        {"[orbit]", "[shell]\nthickness = 1.0\n\n[orbit]", "test.toml:19: [shell]: a body is described by its [shell] or by [[layer]] tables, not both"},
        {"[sweep]", "[numerics]\nlayers = 40\n\n[sweep]", "test.toml:24: numerics.layers: a layered body gives its cells per layer"},
        {"outer_radius = 252000.0", "", "test.toml:1: outer_radius: missing (m)"},
    };
    for (const Case& c : cases) {
        const std::string e = error_of(replaced(kTwoLayers, c.from, c.to));
        EXPECT_NE(e.find(c.expected), std::string::npos) << c.to << "\n  got: " << e;
        EXPECT_EQ(e.find('\n'), std::string::npos) << e;
    }
    // Radii that do not decrease downward.
    const std::string upside = replaced(replaced(kTwoLayers, ice_thickness, "outer_radius = 252000.0"),
                                        inner_thickness, "outer_radius = 260000.0");
    EXPECT_NE(error_of(upside).find("test.toml:6: layer[1].outer_radius: radii must decrease downward"),
              std::string::npos)
        << error_of(upside);
    // Valid layers that the methods cannot run yet say so, at the layer at fault.
    const std::string three = replaced(
        replaced(kTwoLayers, inner_thickness, "thickness = 20000.0"), "[orbit]",
        "[[layer]]\nname = \"core\"\nthickness = 190000.0\ndensity = 2400.0\nstate = \"solid\"\n"
        "rigidity = 1e11\nviscosity = 1e17\nrheology = \"maxwell\"\ncells = 20\n\n[orbit]");
    // An ocean over a core runs, the core's fixed viscosity with its own rheology beside the
    // sweep's two as well as with the sweep's one alone.
    EXPECT_EQ(error_of(three), "(accepted)");
    EXPECT_EQ(error_of(replaced(three, "[sweep]", "[rheology]\nmodels = [\"maxwell\"]\n\n[sweep]")),
              "(accepted)");
    // A second liquid layer below a solid one is refused at its state.
    const std::string four = replaced(
        replaced(three, "thickness = 190000.0", "thickness = 100000.0"), "[orbit]",
        "[[layer]]\nname = \"inner ocean\"\ndensity = 3000.0\nstate = \"liquid\"\n\n[orbit]");
    EXPECT_NE(error_of(four).find("test.toml:32: layer[4].state: a second liquid layer below a solid one "
                                  "cannot be run so far"),
              std::string::npos)
        << error_of(four);
    EXPECT_EQ(error_of(four).find('\n'), std::string::npos);
}

// An ice shell over an ocean over a core: the band's layers are the shell's cells, one inert
// cell for the ocean and the core's cells, each with its layer's rigidity; the shell keys
// are the shell over a liquid of the ocean's density; the core's top is an interface of the
// core's density minus the ocean's, on the core's first node; the jumps inside the core lie
// on the core's nodes. Caught: the core's jumps numbered from the shell's first node instead
// of the core's (its jump on node 7 instead of 28).
TEST(InteriorLayers, AnOceanBetweenSolidsMapsOntoTwoBlocks) {
    const std::string ocean = replaced(
        replaced(replaced(kTwoLayers, "thickness = 210000.0", "thickness = 20000.0"), "[orbit]",
                 "[[layer]]\nname = \"mantle\"\nthickness = 90000.0\ndensity = 2400.0\nstate = \"solid\"\n"
                 "rigidity = 1e11\nviscosity = \"swept\"\ncells = 6\n\n"
                 "[[layer]]\nname = \"core\"\ndensity = 5000.0\nstate = \"solid\"\n"
                 "rigidity = 5e10\nviscosity = \"swept\"\ncells = 4\n\n[orbit]"),
        "name = \"interior\"", "name = \"ocean\"");
    const auto r = read(ocean);
    ASSERT_TRUE(std::holds_alternative<Body>(r)) << std::get<BodyError>(r).message;
    const Body b = std::get<Body>(r);
    ASSERT_EQ(b.interior.size(), 4u);
    EXPECT_TRUE(b.has_ocean());
    EXPECT_EQ(b.layers, 20 + 1 + 6 + 4);
    EXPECT_EQ(b.ocean_band_layer(), 21);
    EXPECT_EQ(b.thickness, 42000.0);
    EXPECT_EQ(b.density, 950.0);
    EXPECT_EQ(b.density_contrast, 1800.0 - 950.0);
    EXPECT_TRUE(b.self_gravity);
    ASSERT_EQ(b.rigidity.size(), 31u);
    EXPECT_EQ(b.rigidity[19], 4e9);
    EXPECT_EQ(b.rigidity[21], 1e11);
    EXPECT_EQ(b.rigidity[30], 5e10);
    const DensityJump top = b.core_top();
    EXPECT_EQ(top.node, 22);
    EXPECT_EQ(top.radius, 190000.0);
    EXPECT_EQ(top.jump, 2400.0 - 1800.0);
    EXPECT_EQ(top.gravity, b.interior_gravity(190000.0));
    const std::vector<DensityJump> jumps = b.density_jumps();
    ASSERT_EQ(jumps.size(), 1u);
    EXPECT_EQ(jumps[0].node, 28);
    EXPECT_EQ(jumps[0].radius, 100000.0);
    EXPECT_EQ(jumps[0].jump, 5000.0 - 2400.0);
    // The nodes' densities: the shell's, the core's layers', the jump's node weighted.
    EXPECT_EQ(b.node_density(10, 1.0, 1.0), 950.0);
    EXPECT_EQ(b.node_density(24, 1.0, 1.0), 2400.0);
    EXPECT_EQ(b.node_density(28, 1.0, 1.0), (2400.0 + 5000.0) / 2.0);
    EXPECT_EQ(b.node_density(30, 1.0, 1.0), 5000.0);
}

TEST(InteriorLayers, AcceptedFormsGiveTheShellOfTheirDensities) {
    const auto r = read(kTwoLayers);
    ASSERT_TRUE(std::holds_alternative<Body>(r)) << std::get<BodyError>(r).message;
    const Body b = std::get<Body>(r);
    ASSERT_EQ(b.interior.size(), 2u);
    EXPECT_EQ(b.interior[0].name, "ice");
    EXPECT_EQ(b.interior[1].name, "interior");
    EXPECT_EQ(b.layers, 20);
    EXPECT_EQ(b.thickness, 42000.0);
    EXPECT_EQ(b.density_contrast, 850.0);
    EXPECT_TRUE(b.self_gravity);
    // Gravity from the densities: at the surface G M / R^2 for the layers' mass, inside the
    // liquid that of a uniform sphere, linear in r.
    const double G = 6.67430e-11, pi = 3.141592653589793, R = 252000.0, ri = 210000.0;
    const double mass = 4.0 / 3.0 * pi * (950.0 * (R * R * R - ri * ri * ri) + 1800.0 * ri * ri * ri);
    EXPECT_NEAR(b.surface_gravity, G * mass / (R * R), 1e-14);
    EXPECT_NEAR(b.bottom_gravity, 4.0 / 3.0 * pi * G * 1800.0 * ri, 1e-14);
    EXPECT_NEAR(b.interior_gravity(ri / 2), b.bottom_gravity / 2, 1e-14);

    // The radii to rounding, and the same layer given by its outer radius: the same body.
    for (const std::string& text :
         {replaced(kTwoLayers, "thickness = 210000.0", "thickness = 210000.0000001"),
          replaced(kTwoLayers, "thickness = 210000.0", "outer_radius = 210000.0"),
          replaced(kTwoLayers, "thickness = 42000.0", "outer_radius = 252000.0\nthickness = 42000.0")}) {
        const auto other = read(text);
        ASSERT_TRUE(std::holds_alternative<Body>(other)) << std::get<BodyError>(other).message;
        const Body& o = std::get<Body>(other);
        expect_same_record(o, b);
    }
    // A factor on the swept viscosity reaches every cell.
    const Body f = std::get<Body>(read(replaced(kTwoLayers, "viscosity = \"swept\"", "viscosity = \"swept\"\nviscosity_factor = 3.0")));
    EXPECT_EQ(f.viscosity_factors, std::vector<double>(20, 3.0));
}

// One solid layer reaching the centre: the whole body is the shell, with no inner boundary
// (no density below it, no gravity at its centre), self-gravitating, the gravity at its
// surface that of a uniform sphere; written and read back, the same file. Caught: the body
// check refusing a thickness equal to the radius (as for a [shell], which lies over a fluid).
TEST(InteriorLayers, SolidToTheCentreIsTheWholeBodyAsTheShell) {
    std::string sphere = kTwoLayers.substr(0, kTwoLayers.find("[[layer]]\nname = \"interior\"")) +
             kTwoLayers.substr(kTwoLayers.find("[orbit]"));
    sphere = replaced(sphere, "thickness = 42000.0\n", "");
    const auto r = read(sphere);
    ASSERT_TRUE(std::holds_alternative<Body>(r)) << std::get<BodyError>(r).message << "\n" << sphere;
    const Body& b = std::get<Body>(r);
    ASSERT_EQ(b.interior.size(), 1u);
    EXPECT_EQ(b.thickness, b.outer_radius);
    EXPECT_EQ(b.inner_radius(), 0.0);
    EXPECT_EQ(b.density_contrast, 0.0);
    EXPECT_EQ(b.bottom_gravity, 0.0);
    EXPECT_TRUE(b.self_gravity);
    EXPECT_EQ(b.layers, 20);
    const double G = 6.67430e-11, pi = 3.141592653589793, R = 252000.0;
    EXPECT_NEAR(b.surface_gravity, 4.0 / 3.0 * pi * G * 950.0 * R, 1e-15);
    const std::string written = write_body(b, "header");
    const auto again = read_body(written, "written.toml");
    ASSERT_TRUE(std::holds_alternative<Body>(again)) << std::get<BodyError>(again).message;
    EXPECT_EQ(write_body(std::get<Body>(again), "header"), written);
    // Given its thickness to rounding, the same body.
    const auto rounded = read(replaced(sphere, "density = 950.0", "thickness = 252000.0000001\ndensity = 950.0"));
    ASSERT_TRUE(std::holds_alternative<Body>(rounded)) << std::get<BodyError>(rounded).message;
    EXPECT_EQ(std::get<Body>(rounded).thickness, std::get<Body>(rounded).outer_radius);
}

// Solid layers in contact: each cell takes its layer's rigidity, viscosity and rheology (a
// fixed layer's own, beside any swept ones); a density jump inside the solid runs. Caught:
// the fixed viscosities left out of the cells (the fixed layer then swept); the fixed
// layer's rheology left out of its cells (they then ran the sweep's).
TEST(InteriorLayers, SolidLayersInContactGiveEveryCellItsLayer) {
    const std::string mantle =
        "\n[[layer]]\nname = \"mantle\"\nthickness = 100000.0\ndensity = 950.0\nstate = \"solid\"\n"
        "rigidity = 6e10\nviscosity = 1e19\nrheology = \"maxwell\"\ncells = 6\n\n[[layer]]\nname = \"interior\"";
    const std::string maxwell_only = "[sweep]\nlog10_viscosity_min = 13.0\nlog10_viscosity_max = 15.0\n"
                                     "[rheology]\nmodels = [\"maxwell\"]\n";
    std::string three = replaced(kTwoLayers, "\n[[layer]]\nname = \"interior\"", mantle);
    three = replaced(three, "thickness = 210000.0", "thickness = 110000.0");
    three = replaced(three, "[sweep]\nlog10_viscosity_min = 13.0\nlog10_viscosity_max = 15.0\n", maxwell_only);
    const auto r = read(three);
    ASSERT_TRUE(std::holds_alternative<Body>(r)) << std::get<BodyError>(r).message << "\n" << three;
    const Body& b = std::get<Body>(r);
    EXPECT_EQ(b.layers, 26);
    EXPECT_EQ(b.thickness, 142000.0);
    EXPECT_EQ(b.density_contrast, 850.0);
    ASSERT_EQ(b.rigidity.size(), 26u);
    ASSERT_EQ(b.fixed_viscosities.size(), 26u);
    for (std::size_t i = 0; i < 26; ++i) {
        EXPECT_EQ(b.rigidity[i], i < 20 ? 4e9 : 6e10) << i;
        EXPECT_EQ(b.cell_viscosity(i, 1e14), i < 20 ? 1e14 : 1e19) << i;
    }
    // Written and read back: the same file.
    const std::string written = write_body(b, "header");
    const auto again = read_body(written, "written.toml");
    ASSERT_TRUE(std::holds_alternative<Body>(again)) << std::get<BodyError>(again).message;
    EXPECT_EQ(write_body(std::get<Body>(again), "header"), written);

    const std::string denser = replaced(three, "density = 950.0\nstate = \"solid\"\nrigidity = 6e10",
                                        "density = 3000.0\nstate = \"solid\"\nrigidity = 6e10");
    // A density jump inside the solid runs: the buoyancy and potential of its interface on
    // its node (the gravities from the densities), the liquid's jump from the solid just above.
    const auto jumped = read(denser);
    ASSERT_TRUE(std::holds_alternative<Body>(jumped)) << std::get<BodyError>(jumped).message;
    const Body& d = std::get<Body>(jumped);
    ASSERT_EQ(d.density_jumps().size(), 1u);
    EXPECT_EQ(d.density_jumps()[0].node, 21);
    EXPECT_EQ(d.density_jumps()[0].jump, 2050.0);
    EXPECT_EQ(d.density_contrast, 1800.0 - 3000.0);
    EXPECT_EQ(d.density_below(), 1800.0);
    // A fixed layer's rheology beside other swept ones, or other than the sweep's, is its
    // cells' own; the swept cells run the sweep's.
    const std::string two_models = replaced(three, "models = [\"maxwell\"]", "models = [\"maxwell\", \"andrade\"]");
    const std::string other = replaced(two_models, "rheology = \"maxwell\"", "rheology = \"kelvin_voigt\"");
    for (const std::string& text : {two_models, other}) {
        const auto mixed = read(text);
        ASSERT_TRUE(std::holds_alternative<Body>(mixed)) << std::get<BodyError>(mixed).message;
        const Body& m = std::get<Body>(mixed);
        ASSERT_EQ(m.fixed_rheologies.size(), 26u);
        const Rheology fixed = text == other ? Rheology::KelvinVoigt : Rheology::Maxwell;
        for (std::size_t i = 0; i < 26; ++i)
            EXPECT_EQ(m.cell_rheology(i, Rheology::Andrade), i < 20 ? Rheology::Andrade : fixed) << i;
    }
}

// The density jumps inside a solid region: as many as the self-gravitation coupling holds run
// (just inside), one more is refused at the density of the layer that adds it (just outside).
// Caught: the jumps counted between every layer and the top one (a body of two alternating
// densities then had half its jumps counted).
TEST(InteriorLayers, DensityJumpsInsideTheSolidUpToTheCouplingsSize) {
    const auto layers = [](std::size_t jumps) {
        std::string text = "name = \"jumps\"\nouter_radius = 1000000.0\n";
        for (std::size_t i = 0; i <= jumps; ++i)
            text += "[[layer]]\nname = \"l" + std::to_string(i) + "\"\n" +
                    (i < jumps ? "thickness = 50000.0\n" : "") + "density = " +
                    (i % 2 == 0 ? "3000.0" : "3500.0") +
                    "\nstate = \"solid\"\nrigidity = 6e10\nviscosity = \"swept\"\ncells = 2\n";
        return text + "[orbit]\nperiod = 152853.5\neccentricity = 0.0041\n"
                      "[sweep]\nlog10_viscosity_min = 14.0\nlog10_viscosity_max = 15.0\n";
    };
    const auto inside = read(layers(kMaxDensityJumps));
    ASSERT_TRUE(std::holds_alternative<Body>(inside)) << std::get<BodyError>(inside).message;
    EXPECT_EQ(std::get<Body>(inside).density_jumps().size(), kMaxDensityJumps);
    const std::string outside = error_of(layers(kMaxDensityJumps + 1));
    EXPECT_NE(outside.find("layer[16].density: more than 14 density jumps inside the solid cannot be run"),
              std::string::npos)
        << outside;
}

TEST(InteriorLayers, WrittenLayersReadBackToTheSameFile) {
    for (const std::string& text :
         {kTwoLayers, replaced(kTwoLayers, "viscosity = \"swept\"", "viscosity = \"swept\"\nviscosity_factor = 0.25")}) {
        const Body b = std::get<Body>(read(text));
        const std::string written = write_body(b, "header");
        EXPECT_NE(written.find("[[layer]]\nname = \"ice\""), std::string::npos) << written;
        EXPECT_EQ(written.find("[shell]"), std::string::npos) << written;
        const auto again = read_body(written, "written.toml");
        ASSERT_TRUE(std::holds_alternative<Body>(again)) << std::get<BodyError>(again).message << "\n" << written;
        const Body& a = std::get<Body>(again);
        EXPECT_EQ(write_body(a, "header"), written);
        expect_same_record(a, b);
        // Overrides of other keys go through the layered file too.
        const auto o = override_body(b, "preset", std::vector<std::string>{"orbit.eccentricity=0.01"});
        ASSERT_TRUE(std::holds_alternative<Body>(o)) << std::get<BodyError>(o).message;
        EXPECT_EQ(std::get<Body>(o).eccentricity, 0.01);
        EXPECT_EQ(std::get<Body>(o).interior.size(), 2u);
    }
}

TEST(InteriorLayers, DensityIncreasingOutwardWarnsOnce) {
    const auto warnings_of = [](const std::string& text) {
        const auto r = read(text);
        EXPECT_TRUE(std::holds_alternative<Body>(r));
        return std::holds_alternative<Body>(r) ? implausible_values(std::get<Body>(r))
                                               : std::vector<std::string>{};
    };
    const auto count_inversions = [](const std::vector<std::string>& w) {
        int n = 0;
        for (const std::string& line : w)
            n += line.find("density increases outward") != std::string::npos ? 1 : 0;
        return n;
    };
    EXPECT_EQ(count_inversions(warnings_of(kTwoLayers)), 0);
    EXPECT_EQ(count_inversions(warnings_of(replaced(kTwoLayers, "density = 1800.0", "density = 900.0"))), 1);
    // Equal densities (a homogeneous body) are no inversion.
    EXPECT_EQ(count_inversions(warnings_of(replaced(kTwoLayers, "density = 1800.0", "density = 950.0"))), 0);
}

// Any layer's key can be replaced like any other key (--set, studies, Python): by the layer's
// name or its number from the surface down. The innermost layer, given no thickness, reaches
// the centre, so a thicker shell leaves no gap.
TEST(InteriorLayers, OverridesReachEveryLayerAndTheInnermostFollows) {
    const std::string to_centre = replaced(kTwoLayers, "thickness = 210000.0\n", "");
    const auto with = [&](std::vector<std::string> o) { return read_body(to_centre, "test.toml", o); };
    const auto b = with({"layer.ice.thickness=30000", "layer.2.density=2000", "layer.ice.cells=8",
                         "layer.ice.viscosity_factor=0.5"});
    ASSERT_TRUE(std::holds_alternative<Body>(b)) << std::get<BodyError>(b).message;
    const Body& body = std::get<Body>(b);
    EXPECT_EQ(body.thickness, 30000.0);
    EXPECT_EQ(body.interior[1].thickness, 222000.0);
    EXPECT_EQ(body.density_contrast, 1050.0);
    EXPECT_EQ(body.layers, 8);
    EXPECT_EQ(body.viscosity_factors, std::vector<double>(8, 0.5));
    // Written back, the innermost keeps reaching the centre, and reads to the same file.
    const std::string written = write_body(body, "");
    EXPECT_EQ(written.find("thickness = 222000.0"), std::string::npos) << written;
    const auto again = read_body(written, "written.toml", std::vector<std::string>{"layer.ice.thickness=10000"});
    ASSERT_TRUE(std::holds_alternative<Body>(again)) << std::get<BodyError>(again).message;
    EXPECT_EQ(std::get<Body>(again).bottom_gravity,
              std::get<Body>(with({"layer.ice.thickness=10000", "layer.2.density=2000", "layer.ice.cells=8", "layer.ice.viscosity_factor=0.5"})).bottom_gravity);
    // Refusals name the option.
    const auto error = [&](std::vector<std::string> o) {
        const auto r = with(o);
        return std::holds_alternative<Body>(r) ? std::string("(accepted)") : std::get<BodyError>(r).message;
    };
    EXPECT_EQ(error({"layer.mantle.density=3000"}), "--set layer.mantle.density=3000: layer.mantle.density: no layer is named \"mantle\"");
    EXPECT_EQ(error({"layer.ice.colour=3"}), "--set layer.ice.colour=3: layer.ice.colour: unknown key of a layer");
    EXPECT_EQ(error({"layer.ice.density=-1"}), "--set layer.ice.density=-1: layer[1].density: must be positive, got -1");
    EXPECT_EQ(error({"layer.ice.thickness=260000"}).find("--set layer.ice.thickness=260000: layer[1].thickness: "), 0u);
    const auto shell = read_body("[shell]\nouter_radius = 1.0\n", "s.toml", std::vector<std::string>{"layer.ice.density=1"});
    ASSERT_TRUE(std::holds_alternative<BodyError>(shell));
    EXPECT_NE(std::get<BodyError>(shell).message.find("the body has no [[layer]] tables"), std::string::npos);
}

// Random byte damage and random line swaps of a layered file: an error line or a body, never
// a crash or an error of several lines.
TEST(InteriorLayers, FuzzedLayeredFilesFailCleanly) {
    std::mt19937 rng(31);
    const char alphabet[] = "=[]\"\n.0123456789e-solidliquidswept ";
    int refused = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        std::string text = kTwoLayers;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % text.size();
            switch (rng() % 3) {
            case 0: text[at] = alphabet[rng() % (sizeof alphabet - 1)]; break;
            case 1: text.erase(at, 1 + rng() % 12); break;
            default: text.insert(at, 1, alphabet[rng() % (sizeof alphabet - 1)]); break;
            }
        }
        const auto r = read(text);
        if (const auto* e = std::get_if<BodyError>(&r)) {
            ++refused;
            EXPECT_FALSE(e->message.empty());
            EXPECT_EQ(e->message.find('\n'), std::string::npos) << e->message;
        }
    }
    EXPECT_GT(refused, 1000);
}

} // namespace
} // namespace tidal
