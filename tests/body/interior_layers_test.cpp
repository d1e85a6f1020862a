// Bodies given by their layers, all made from the one layered body of tests/data: every
// refusal names the file, line and key; the accepted forms (rounding of the radii, a layer
// given by its outer radius, an ocean between solids, a solid to the centre) read to their
// shells; the layers written back read to the same body; a density increasing outward warns
// once (the fuzzed layered files are BodyFile.MutatedPresets...'s).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <variant>

#include "files/body_file.hpp"
#include "body/interior_layers.hpp"
#include "body/plausibility.hpp"
#include "same_records.hpp"
#include "shell_fixtures.hpp"
#include "test_data.hpp"

namespace tidal {
namespace {

// The shared layered body of tests/data: a swept ice layer (6 cells, viscosity factor 2) over
// a fixed Maxwell layer (3 cells), together 42 km of ice, over a liquid reaching the centre.
std::string layers_text() {
    return test_data("layered_body.toml");
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// The line (from 1) of the first occurrence of `what` in `text`.
std::string line_of(const std::string& text, const std::string& what) {
    const auto at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    return std::to_string(1 + std::count(text.begin(), text.begin() + static_cast<long>(std::min(at, text.size())), '\n'));
}

const std::string kInner = "name = \"interior\"";

TEST(InteriorLayers, EveryRefusalNamesFileLineAndKey) {
    // Each case: the text replaced, its replacement, the text on the line the refusal names,
    // the refusal after "test.toml:<line>: " and a second replacement if any.
    struct Case {
        std::string from, to, at, expected, from2 = "", to2 = "";
    };
    const std::string ice_thickness = "thickness = 30000.0";
    const std::string liquid = kInner + "\ndensity = 1800.0\nstate = \"liquid\"";
    const std::string ocean = "name = \"ocean\"\nthickness = 20000.0\ndensity = 1800.0\nstate = \"liquid\"\n\n";
    const std::string mantle = "[[layer]]\nname = \"mantle\"\nthickness = 100000.0\ndensity = 2400.0\nstate = \"solid\"\n"
                               "rigidity = 1e11\nviscosity = \"swept\"\ncells = 4\n\n";
    const Case cases[] = {
        // gaps and overlaps, by thickness and by outer radius
        {kInner, kInner + "\nthickness = 200000.0", "thickness = 200000.0", "layer[3].thickness: the innermost layer ends at r = 10000 m, leaving a gap above the centre"},
        {kInner, kInner + "\nthickness = 220000.0", "thickness = 220000.0", "layer[3].thickness: the layers reach 10000 m beyond the centre"},
        {kInner, kInner + "\nouter_radius = 200000.0", "outer_radius = 200000.0", "layer[3].outer_radius: 200000 m leaves a gap below the layer above, which ends at 210000 m"},
        {kInner, kInner + "\nouter_radius = 230000.0", "outer_radius = 230000.0", "layer[3].outer_radius: 230000 m overlaps the layer above"},
        // a layer given by its outer radius alone needs the next one's
        {ice_thickness, "outer_radius = 252000.0", "[[layer]]", "layer[1]: missing thickness (the layer below gives no outer_radius)"},
        // densities, rigidity, states
        {"density = 950.0", "density = -950.0", "density = -950.0", "layer[1].density: must be positive, got -950"},
        {"density = 1800.0", "density = 0.0", "density = 0.0", "layer[3].density: must be positive, got 0"},
        // A liquid so light that the gravity at its top rounds to 0, refused at its density
        // (it was refused at shell.bottom_gravity, a key a layered file has not).
        {"density = 1800.0", "density = 5e-324", "density = 5e-324", "layer[3].density: too small: the gravity at the liquid's top from the densities below it is 0 m/s^2"},
        {"rigidity = 4e9", "rigidity = 0.0", "rigidity = 0.0", "layer[1].rigidity: zero: a layer without rigidity is liquid"},
        {"state = \"solid\"", "state = \"liquid\"", "state = \"liquid\"", "layer[1].state: the outermost layer must be solid"},
        {"state = \"liquid\"", "state = \"slush\"", "state = \"slush\"", "layer[3].state: expected \"solid\" or \"liquid\", got \"slush\""},
        {"state = \"liquid\"", "state = \"liquid\"\nrigidity = 1e9", "rigidity = 1e9", "layer[3].rigidity: a liquid layer is inviscid and static and takes no rigidity"},
        // the sweep needs a swept layer
        {"viscosity = \"swept\"\nviscosity_factor = 2.0", "viscosity = 1e14\nrheology = \"maxwell\"", "[[layer]]", "layer: no layer has viscosity = \"swept\", and the sweep needs one"},
        {"viscosity = \"swept\"", "viscosity = \"sweep\"", "viscosity = \"sweep\"", "layer[1].viscosity: expected \"swept\" or a value in Pa s, got \"sweep\""},
        {"viscosity = \"swept\"", "viscosity = \"swept\"\nrheology = \"maxwell\"", "rheology", "layer[1].rheology: a swept layer runs every rheology of rheology.models"},
        {"viscosity_factor = 2.0", "viscosity_factor = -2.0", "viscosity_factor", "layer[1].viscosity_factor: must be positive"},
        {"cells = 6", "cells = 1", "cells = 1", "layer[1].cells: must be an integer from 2 to 10000, got 1"},
        {"cells = 6", "cells = 6.5", "cells = 6.5", "layer[1].cells: must be an integer"},
        {"cells = 6\n", "", "[[layer]]", "layer[1].cells: missing"},
        {"rigidity = 4e9", "rigidty = 4e9", "rigidty", "layer[1].rigidty: unknown key (did you mean rigidity?)"},
        {"name = \"stiff\"", "name = \"ice\"", "name = \"ice\"\nthickness = 12000.0", "layer[2].name: \"ice\" names an earlier layer too"},
        // the two descriptions of a body, and cells that are the layers' own
        {"[orbit]", "[shell]\nthickness = 1.0\n\n[orbit]", "[shell]", "[shell]: a body is described by its [shell] or by [[layer]] tables, not both"},
        {"[sweep]", "[numerics]\nlayers = 40\n\n[sweep]", "layers = 40", "numerics.layers: a layered body gives its cells per layer"},
        {"outer_radius = 252000.0", "", "# A body", "outer_radius: missing (m)"}, // at the first line
        // Liquids that remain refused, at the state of the first one not run: a third liquid (a
        // liquid between two solids under the ocean), and a liquid right under the ocean.
        {liquid, ocean + mantle + "[[layer]]\nname = \"outer core\"\nthickness = 50000.0\ndensity = 3000.0\nstate = \"liquid\"\n\n"
         "[[layer]]\nname = \"inner core\"\ndensity = 5000.0\nstate = \"solid\"\nrigidity = 1e11\nviscosity = 1e20\n"
         "rheology = \"maxwell\"\ncells = 4", "state = \"liquid\"\n\n[[layer]]\nname = \"inner core\"",
         "layer[5].state: a second liquid layer below a solid one cannot be run so far"},
        {liquid, ocean + "[[layer]]\nname = \"deep ocean\"\ndensity = 3000.0\nstate = \"liquid\"", "state = \"liquid\"\n\n[orbit]",
         "layer[4].state: a second liquid layer below a solid one cannot be run so far"},
        // Radii that do not decrease downward, refused at the layer above.
        {ice_thickness, "outer_radius = 252000.0", "outer_radius = 252000.0\ndensity", "layer[1].outer_radius: radii must decrease downward",
         "thickness = 12000.0", "outer_radius = 260000.0"},
    };
    const std::string base = layers_text();
    for (const Case& c : cases) {
        std::string text = replaced(base, c.from, c.to);
        if (!c.from2.empty()) text = replaced(text, c.from2, c.to2);
        const std::string e = read_refusal(text);
        EXPECT_EQ(e.rfind("test.toml:" + line_of(text, c.at) + ": " + c.expected, 0), 0u) << c.to << "\n  got: " << e;
        EXPECT_EQ(e.find('\n'), std::string::npos) << e;
    }
}

// An ice shell over an ocean over a mantle and a core: the band's layers are the shell's cells
// (its two layers'), one inert cell for the ocean and the mantle's and core's cells, each with
// its layer's rigidity; the shell keys are the shell over a liquid of the ocean's density; the
// mantle's top is an interface of its density minus the ocean's, on its first node; the jumps
// inside the solid below lie on their own nodes. Caught: the core's jumps numbered from the
// shell's first node instead of the mantle's (its jump on node 6 instead of 17).
std::string ocean_text() {
    return replaced(layers_text(), kInner + "\ndensity = 1800.0\nstate = \"liquid\"",
                    "name = \"ocean\"\nthickness = 20000.0\ndensity = 1800.0\nstate = \"liquid\"\n\n"
                    "[[layer]]\nname = \"mantle\"\nthickness = 90000.0\ndensity = 2400.0\nstate = \"solid\"\n"
                    "rigidity = 1e11\nviscosity = \"swept\"\ncells = 6\n\n"
                    "[[layer]]\nname = \"core\"\ndensity = 5000.0\nstate = \"solid\"\n"
                    "rigidity = 5e10\nviscosity = \"swept\"\ncells = 4");
}

TEST(InteriorLayers, AnOceanBetweenSolidsMapsOntoTwoBlocks) {
    const Body b = read_ok(ocean_text());
    EXPECT_EQ(std::tuple(b.interior.size(), b.has_ocean(), b.layers, b.ocean_band_layer(), b.self_gravity),
              std::tuple(std::size_t{5}, true, 6 + 3 + 1 + 6 + 4, 10, true));
    EXPECT_EQ(std::tuple(b.thickness, b.density, b.density_contrast),
              std::tuple(42000.0, 950.0, 1800.0 - 950.0));
    ASSERT_EQ(b.rigidity.size(), 20u);
    EXPECT_EQ(std::tuple(b.rigidity[8], b.rigidity[10], b.rigidity[19]), std::tuple(4e9, 1e11, 5e10));
    expect_same_record(b.core_top(), DensityJump{11, 190000.0, 2400.0 - 1800.0, b.interior_gravity(190000.0)});
    testing_records::expect_same_bits(
        b.density_jumps(), std::vector<DensityJump>{{17, 100000.0, 5000.0 - 2400.0, b.interior_gravity(100000.0)}},
        "density_jumps");
    // The nodes' densities: the shell's, the mantle's, the jump's node weighted, the core's.
    EXPECT_EQ(std::tuple(b.node_density(5, 1.0, 1.0), b.node_density(13, 1.0, 1.0), b.node_density(17, 1.0, 1.0),
                         b.node_density(19, 1.0, 1.0)),
              std::tuple(950.0, 2400.0, (2400.0 + 5000.0) / 2.0, 5000.0));
}

// An ice shell over an ocean over a mantle over a liquid core: the band's layers are the
// shell's, the ocean's inert one and the mantle's, none for the liquid core; the mantle's base
// is the liquid core's top, an interface on the grid's last two nodes of the liquid's density
// minus the mantle's, with the gravity from the densities. Caught: the liquid core counted as
// one more inert cell (17 band layers, its top on node 17).
TEST(InteriorLayers, ALiquidCoreUnderTheOceanIsTheInnerRegionsBase) {
    const std::string text = replaced(ocean_text(), "rigidity = 5e10\nviscosity = \"swept\"\ncells = 4", "");
    const Body b = read_ok(replaced(text, "name = \"core\"\ndensity = 5000.0\nstate = \"solid\"",
                                 "name = \"core\"\ndensity = 5000.0\nstate = \"liquid\""));
    EXPECT_EQ(std::tuple(b.interior.size(), b.has_ocean(), b.has_core_under_ocean(), b.core_region_end(), b.layers,
                         b.core_top().node, b.density_jumps().empty()),
              std::tuple(std::size_t{5}, true, true, std::size_t{4}, 6 + 3 + 1 + 6, 11, true));
    ASSERT_EQ(b.rigidity.size(), 16u);
    EXPECT_EQ(std::tuple(b.rigidity[15], b.node_density(16, 1.0, 1.0)), std::tuple(1e11, 2400.0));
    expect_same_record(b.liquid_core_top(), DensityJump{16, 100000.0, 5000.0 - 2400.0, b.interior_gravity(100000.0)});
    // The ocean over the solid core reaching the centre keeps its form.
    const Body centre = read_ok(ocean_text());
    EXPECT_EQ(std::tuple(centre.has_core_under_ocean(), centre.core_region_end()), std::tuple(false, std::size_t{5}));
}

// The shared body: the shell of its two solid layers over the liquid, each cell with its
// layer's rigidity and viscosity, gravity from the densities; the same body given by its radii
// to rounding or by outer radii. Caught: the fixed viscosities left out of the cells (the fixed
// layer then swept).
TEST(InteriorLayers, AcceptedFormsGiveTheShellOfTheirDensities) {
    const std::string base = replaced(layers_text(), "rigidity = 4e9\nviscosity = 1e20", "rigidity = 6e10\nviscosity = 1e20");
    const Body b = read_ok(base);
    ASSERT_EQ(b.interior.size(), 3u);
    EXPECT_EQ(std::tuple(b.interior[0].name, b.interior[2].name, b.layers, b.thickness, b.density_contrast, b.self_gravity),
              std::tuple(std::string("ice"), std::string("interior"), 9, 42000.0, 850.0, true));
    ASSERT_EQ(b.rigidity.size(), 9u);
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(b.rigidity[i], i < 6 ? 4e9 : 6e10) << i;
        EXPECT_EQ(b.cell_viscosity(i, 1e14), i < 6 ? 2e14 : 1e20) << i;
    }
    // Gravity from the densities: at the surface G M / R^2 for the layers' mass, inside the
    // liquid that of a uniform sphere, linear in r.
    const double G = 6.67430e-11, pi = 3.141592653589793, R = 252000.0, ri = 210000.0;
    const double mass = 4.0 / 3.0 * pi * (950.0 * (R * R * R - ri * ri * ri) + 1800.0 * ri * ri * ri);
    EXPECT_NEAR(b.surface_gravity, G * mass / (R * R), 1e-14);
    EXPECT_NEAR(b.bottom_gravity, 4.0 / 3.0 * pi * G * 1800.0 * ri, 1e-14);
    EXPECT_NEAR(b.interior_gravity(ri / 2), b.bottom_gravity / 2, 1e-14);

    // The radii to rounding, and the same layer given by its outer radius: the same body.
    for (const std::string& text :
         {replaced(base, kInner, kInner + "\nthickness = 210000.0000001"),
          replaced(base, kInner, kInner + "\nouter_radius = 210000.0"),
          replaced(base, "thickness = 30000.0", "outer_radius = 252000.0\nthickness = 30000.0")}) {
        expect_same_record(read_ok(text), b);
    }
    // A fixed layer's rheology beside other swept ones, or other than the sweep's, is its
    // cells' own; the swept cells run the sweep's. Caught: the fixed layer's rheology left out
    // of its cells (they then ran the sweep's).
    const std::string two_models = replaced(base, "models = [\"maxwell\"]", "models = [\"maxwell\", \"andrade\"]");
    const std::string other = replaced(two_models, "rheology = \"maxwell\"", "rheology = \"kelvin_voigt\"");
    for (const std::string& text : {two_models, other}) {
        const Body m = read_ok(text);
        ASSERT_EQ(m.fixed_rheologies.size(), 9u);
        const Rheology fixed = text == other ? Rheology::KelvinVoigt : Rheology::Maxwell;
        for (std::size_t i = 0; i < 9; ++i)
            EXPECT_EQ(m.cell_rheology(i, Rheology::Andrade), i < 6 ? Rheology::Andrade : fixed) << i;
    }
    // A density jump inside the solid runs: the buoyancy and potential of its interface on
    // its node (the gravities from the densities), the liquid's jump from the solid just above.
    const Body d = read_ok(replaced(base, "density = 950.0\nstate = \"solid\"\nrigidity = 6e10",
                                      "density = 3000.0\nstate = \"solid\"\nrigidity = 6e10"));
    ASSERT_EQ(d.density_jumps().size(), 1u);
    EXPECT_EQ(std::tuple(d.density_jumps()[0].node, d.density_jumps()[0].jump, d.density_contrast, d.density_below()),
              std::tuple(7, 2050.0, 1800.0 - 3000.0, 1800.0));
}

// One solid layer reaching the centre: the whole body is the shell, with no inner boundary
// (no density below it, no gravity at its centre), self-gravitating, the gravity at its
// surface that of a uniform sphere. Caught: the body check refusing a thickness equal to the
// radius (as for a [shell], which lies over a fluid).
std::string sphere_text() {
    const std::string base = layers_text();
    const std::string sphere = base.substr(0, base.find("[[layer]]\nname = \"stiff\"")) + base.substr(base.find("[orbit]"));
    return replaced(sphere, "thickness = 30000.0\n", "");
}

TEST(InteriorLayers, SolidToTheCentreIsTheWholeBodyAsTheShell) {
    const Body b = read_ok(sphere_text());
    EXPECT_EQ(std::tuple(b.interior.size(), b.thickness, b.inner_radius(), b.density_contrast, b.bottom_gravity,
                         b.self_gravity, b.layers),
              std::tuple(std::size_t{1}, b.outer_radius, 0.0, 0.0, 0.0, true, 6));
    const double G = 6.67430e-11, pi = 3.141592653589793, R = 252000.0;
    EXPECT_NEAR(b.surface_gravity, 4.0 / 3.0 * pi * G * 950.0 * R, 1e-15);
    // Given its thickness to rounding, the same body.
    const Body rounded = read_ok(replaced(sphere_text(), "density = 950.0", "thickness = 252000.0000001\ndensity = 950.0"));
    EXPECT_EQ(rounded.thickness, rounded.outer_radius);
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
    EXPECT_EQ(read_ok(layers(kMaxDensityJumps)).density_jumps().size(), kMaxDensityJumps);
    const std::string outside = read_refusal(layers(kMaxDensityJumps + 1));
    EXPECT_NE(outside.find("layer[16].density: more than 14 density jumps inside the solid cannot be run"),
              std::string::npos)
        << outside;
}

// Every form above written and read back: the same file and the same body; the layers written
// as [[layer]] tables, never as a [shell].
TEST(InteriorLayers, WrittenLayersReadBackToTheSameFile) {
    for (const std::string& text : {layers_text(), ocean_text(), sphere_text(),
                                    replaced(layers_text(), "viscosity_factor = 2.0", "viscosity_factor = 0.25")}) {
        const Body b = read_ok(text);
        const std::string written = write_body(b, "header");
        EXPECT_NE(written.find("[[layer]]\nname = \"ice\""), std::string::npos) << written;
        EXPECT_EQ(written.find("[shell]"), std::string::npos) << written;
        const Body a = read_ok(written);
        EXPECT_EQ(write_body(a, "header"), written);
        expect_same_record(a, b);
        // Overrides of other keys go through the layered file too.
        const auto o = override_body(b, "preset", std::vector<std::string>{"orbit.eccentricity=0.01"});
        ASSERT_TRUE(std::holds_alternative<Body>(o)) << std::get<BodyError>(o).message;
        EXPECT_EQ(std::tuple(std::get<Body>(o).eccentricity, std::get<Body>(o).interior.size()), std::tuple(0.01, b.interior.size()));
    }
}

TEST(InteriorLayers, DensityIncreasingOutwardWarnsOnce) {
    const auto count_inversions = [](const std::string& text) {
        int n = 0;
        for (const std::string& line : implausible_values(read_ok(text)))
            n += line.find("density increases outward") != std::string::npos ? 1 : 0;
        return n;
    };
    const std::string base = layers_text();
    EXPECT_EQ(count_inversions(base), 0);
    EXPECT_EQ(count_inversions(replaced(base, "density = 1800.0", "density = 900.0")), 1);
    // Equal densities (a homogeneous body) are no inversion.
    EXPECT_EQ(count_inversions(replaced(base, "density = 1800.0", "density = 950.0")), 0);
}

// Any layer's key can be replaced like any other key (--set, studies, Python): by the layer's
// name or its number from the surface down. The innermost layer, given no thickness, reaches
// the centre, so a thicker shell leaves no gap.
TEST(InteriorLayers, OverridesReachEveryLayerAndTheInnermostFollows) {
    const std::string to_centre = layers_text();
    const std::vector<std::string> set = {"layer.ice.thickness=20000", "layer.3.density=2000", "layer.ice.cells=8",
                                          "layer.ice.viscosity_factor=0.5"};
    const Body body = read_ok(to_centre, set);
    EXPECT_EQ(std::tuple(body.thickness, body.interior[2].thickness, body.density_contrast, body.layers),
              std::tuple(32000.0, 220000.0, 1050.0, 11));
    EXPECT_EQ(std::vector<double>(body.viscosity_factors.begin(), body.viscosity_factors.begin() + 8),
              std::vector<double>(8, 0.5));
    // Written back, the innermost keeps reaching the centre, and reads to the same file.
    const std::string written = write_body(body, "");
    EXPECT_EQ(written.find("thickness = 220000.0"), std::string::npos) << written;
    std::vector<std::string> thinner = set;
    thinner[0] = "layer.ice.thickness=10000";
    EXPECT_EQ(read_ok(written, {thinner[0]}).bottom_gravity, read_ok(to_centre, thinner).bottom_gravity);
    // Refusals name the option.
    const auto error = [&](std::vector<std::string> o) { return read_refusal(to_centre, o); };
    EXPECT_EQ(error({"layer.mantle.density=3000"}), "--set layer.mantle.density=3000: layer.mantle.density: no layer is named \"mantle\"");
    EXPECT_EQ(error({"layer.ice.colour=3"}), "--set layer.ice.colour=3: layer.ice.colour: unknown key of a layer");
    EXPECT_EQ(error({"layer.ice.density=-1"}), "--set layer.ice.density=-1: layer[1].density: must be positive, got -1");
    EXPECT_EQ(error({"layer.ice.thickness=260000"}).find("--set layer.ice.thickness=260000: layer[1].thickness: "), 0u);
    const auto shell = read_body("[shell]\nouter_radius = 1.0\n", "s.toml", std::vector<std::string>{"layer.ice.density=1"});
    ASSERT_TRUE(std::holds_alternative<BodyError>(shell));
    EXPECT_NE(std::get<BodyError>(shell).message.find("the body has no [[layer]] tables"), std::string::npos);
}

} // namespace
} // namespace tidal
