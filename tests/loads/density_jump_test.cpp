// Density jumps inside the solid in the time method: the batched lanes give the plain
// substitution's records bit for bit, the last period of every rheology's run has the Love
// numbers and power of the scheme's periodic state. Two
// bodies: a sphere of two solid densities (coupling of the surface and one jump) and an ice
// shell over a denser rock mantle over a liquid core (surface, jump and the liquid's top).
// Caught: the jump's potential loads added to the time runs' solutions but not to the rows of
// its node (read_rows without the jump's node: the time run's k2 off the periodic state's). (The tide's work against the power: tests/solid_layers.py.)
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "files/body_file.hpp"
#include "engine/engine.hpp"
#include "timestep/reference_run.hpp"
#include "timestep/run.hpp"

#include "same_records.hpp"
#include "shell_fixtures.hpp"

namespace tidal {
namespace {

std::string with_orbit(const std::string& layers) {
    return layers_on_an_orbit("jumps", 1000000.0, layers, kEveryModel);
}

TEST(DensityJump, TimeIntegrationReachesThePeriodicStateInBothPaths) {
    const std::string sphere =
        solid_layer("mantle", 400000.0, 3000.0, 2.65e8, 12) + solid_layer("core", 0.0, 5500.0, 1e10, 12);
    const std::string shell = solid_layer("ice", 100000.0, 950.0, 3.5e9, 12) +
                              solid_layer("rock", 400000.0, 3300.0, 6e10, 12) +
                              "[[layer]]\nname = \"iron\"\ndensity = 7000.0\nstate = \"liquid\"\n";
    // Viscosities whose Maxwell times are short of the period in the layers that relax, so that
    // ten periods end in the periodic state to rounding.
    const std::vector<std::pair<std::string, std::vector<double>>> bodies = {
        {sphere, {1e11, 1e12}}, {shell, {1e10, 1e11}}};
    for (const auto& [layers, etas] : bodies) {
        auto read = read_body(with_orbit(layers), "test.toml");
        ASSERT_TRUE(std::holds_alternative<Body>(read)) << std::get<BodyError>(read).message;
        const Body& b = std::get<Body>(read);
        ASSERT_EQ(b.density_jumps().size(), 1u);
        const Engine engine(b);
        const ShellModel& m = engine.model();
        RunWorkspace ws(m);
        SteadyEngine periodic(m);
        for (const RheologyNames& r : kRheologies) {
            SCOPED_TRACE(testing::Message() << b.interior.size() << " layers, " << r.name);
            const std::vector<RunRecords> runs = run_batch(r.id, m, etas, ws);
            ASSERT_EQ(runs.size(), etas.size());
            for (const RunRecords& run : runs) {
                testing_records::expect_same_bits(run, run_reference(m, run.eta, r.id),
                                                  std::string(r.name));
                std::vector<double> layer_eta(static_cast<std::size_t>(m.body.layers));
                for (std::size_t i = 0; i < layer_eta.size(); ++i)
                    layer_eta[i] = m.body.cell_viscosity(i, run.eta);
                const PeriodRecord s = periodic.solve(r.id, Flavour::Discrete, layer_eta);
                SCOPED_TRACE(testing::Message() << "eta " << run.eta);
                const double settled = r.id == Rheology::Andrade ? 1e-6 : 1e-8;
                EXPECT_LT(std::abs(run.period.love.h2 - s.love.h2) / std::abs(s.love.h2), settled);
                EXPECT_LT(std::abs(run.period.love.k2 - s.love.k2) / std::abs(s.love.k2), settled);
                EXPECT_LT(std::fabs(run.period.power / s.power - 1.0), 10.0 * settled);
            }
        }
    }
}

} // namespace
} // namespace tidal
