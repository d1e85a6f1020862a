// Fixed layers that run their own rheologies beside the swept one: an ice shell whose
// viscosity is swept, under a lid and over a rock mantle of fixed viscosities, over a liquid
// core. Each test names the fault it was shown failing on.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <variant>
#include <vector>

#include "files/body_file.hpp"
#include "engine/engine.hpp"
#include "loads/heating_profile.hpp"
#include "timestep/reference_run.hpp"
#include "timestep/run.hpp"

#include "same_records.hpp"
#include "shell_fixtures.hpp"

namespace tidal {
namespace {

// Fixed lid, swept ice, fixed rock, liquid iron; the sweep runs `models`.
std::string body(const std::string& lid_rheology, const std::string& lid_eta, const std::string& rock_rheology,
                 const std::string& rock_eta, const std::string& models) {
    return layers_on_an_orbit("mixed", 1000000.0,
                              solid_layer("lid", 10000.0, 950.0, 3.5e9, 4, lid_eta, lid_rheology) +
                                  solid_layer("ice", 90000.0, 950.0, 3.5e9, 12) +
                                  solid_layer("rock", 400000.0, 3300.0, 6e10, 12, rock_eta, rock_rheology) +
                                  "[[layer]]\nname = \"iron\"\ndensity = 7000.0\nstate = \"liquid\"\n",
                              models);
}

std::vector<double> cell_viscosities(const Body& b, double eta) {
    std::vector<double> out(static_cast<std::size_t>(b.layers));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = b.cell_viscosity(i, eta);
    return out;
}

// Every swept rheology over fixed layers of others (an Andrade lid and a Kelvin-Voigt rock,
// then a Maxwell lid and a Zener rock, relaxing within a period so that ten periods settle): the batched lanes give the
// plain path's records bit for bit (as do the periodic states in lanes), and the last period of the time run has the Love numbers
// and power of the scheme's periodic state, each cell of the latter with its own rheology.
// Caught: the batched history of the chains' unknowns placed at their own rheology's column
// count instead of the largest (LaneHistory's stride = count in advance_layer: batched !=
// plain); the periodic state's fixed cells given the sweep's rheology (k2 off the time run's
// by up to 90 %); a fixed layer's law in the periodic state taken at the first cell's
// viscosity (k2 off by 2e-3).
TEST(LayerRheology, TimeRunsReachTheMixedPeriodicStateInBothPaths) {
    for (const auto& [lid, rock] : {std::pair{"andrade", "kelvin_voigt"}, std::pair{"maxwell", "zener"}}) {
        const Body b = read_ok(body(lid, "1e13", rock, "1e10", kEveryModel));
        const Engine engine(b);
        const ShellModel& m = engine.model();
        RunWorkspace ws(m);
        SteadyEngine periodic(m);
        // Ice viscosities whose Maxwell times are short of the period: ten periods settle.
        const std::vector<double> etas = {1e10, 1e11};
        for (const RheologyNames& r : kRheologies) {
            SCOPED_TRACE(testing::Message() << lid << " lid, " << rock << " rock, " << r.name);
            const std::vector<RunRecords> runs = run_batch(r.id, m, etas, ws);
            ASSERT_EQ(runs.size(), etas.size());
            // The periodic states in vector lanes, as one at a time.
            const std::vector<double> p0 = cell_viscosities(b, etas[0]), p1 = cell_viscosities(b, etas[1]);
            const std::span<const double> profiles[2] = {p0, p1};
            PeriodRecord lanes[2];
            periodic.solve(r.id, Flavour::Continuous, profiles, lanes);
            testing_records::expect_same_bits(lanes[1], periodic.solve(r.id, Flavour::Continuous, p1),
                                              "steady lanes");
            for (const RunRecords& run : runs) {
                SCOPED_TRACE(testing::Message() << "eta " << run.eta);
                testing_records::expect_same_bits(run, run_reference(m, run.eta, r.id),
                                                  std::string(r.name));
                const PeriodRecord s =
                    periodic.solve(r.id, Flavour::Discrete, cell_viscosities(b, run.eta));
                // The ice's slowest modes leave a few 1e-6 after ten periods.
                EXPECT_LT(std::abs(run.period.love.h2 - s.love.h2) / std::abs(s.love.h2), 2e-5);
                EXPECT_LT(std::abs(run.period.love.k2 - s.love.k2) / std::abs(s.love.k2), 2e-5);
                EXPECT_LT(std::fabs(run.period.power / s.power - 1.0), 5e-5);
            }
        }
    }
}

// Physics of the steady method. A lid made nearly elastic (1e35 Pa s) is the same elastic lid
// whichever rheology of elastic limit 1/mu it runs (Maxwell, Burgers, Andrade, Zener): the
// Love numbers and power agree to 1e-6, while a lid of 1e17 Pa s sets them apart. Every
// body's power is the tide's work -(21/2) Im k2 (omega R)^5 e^2 / G, its cells' powers add up
// to it, and the elastic lid dissipates nothing of it.
// Caught: a fixed layer's law taken at the first cell's viscosity rather than its own
// (periodic_state.cpp, eta(1) for the fixed cells: the lid creeps as the ice); a fixed
// layer's cells given the list's first rheology (Maxwell) instead of their own.
TEST(LayerRheology, NearlyElasticLidIsTheSameLidInEveryRheology) {
    const std::vector<std::string> lids = {"maxwell", "burgers", "andrade", "zener"};
    const std::string models = "\"maxwell\", \"andrade\"";
    const std::vector<double> etas = {1e13, 1e14};
    const auto rows = [&](const std::string& lid, const std::string& eta) {
        const Body b = read_ok(body(lid, eta, "maxwell", "1e20", models));
        return Engine(b).steady(etas);
    };
    const auto elastic = rows("maxwell", "1e35");
    const auto soft = rows("maxwell", "1e14");
    const Body b = read_ok(body("maxwell", "1e35", "maxwell", "1e20", models));
    const Engine engine(b);
    for (const std::string& lid : lids) {
        SCOPED_TRACE(lid);
        const auto hard = rows(lid, "1e35");
        const auto weak = rows(lid, "1e14");
        for (std::size_t i = 0; i < etas.size(); ++i)
            for (const Rheology r : {Rheology::Maxwell, Rheology::Andrade}) {
                const PeriodRecord& s = hard[i][r].continuous;
                const PeriodRecord& e = elastic[i][r].continuous;
                EXPECT_LT(std::abs(s.love.k2 - e.love.k2) / std::abs(e.love.k2), 1e-6);
                EXPECT_LT(std::abs(s.love.h2 - e.love.h2) / std::abs(e.love.h2), 1e-6);
                EXPECT_LT(std::fabs(s.power / e.power - 1.0), 1e-6);
                if (lid != "maxwell") {
                    EXPECT_GT(std::fabs(weak[i][r].continuous.power / soft[i][r].continuous.power - 1.0), 1e-3);
                }
                for (const PeriodRecord* x : {&s, &weak[i][r].continuous}) {
                    EXPECT_NEAR(x->power, tide_work(b, x->love.k2), 2e-3 * x->power);
                    double sum = 0.0, lid_power = 0.0;
                    const auto cells = heating_profile(x->layer_heating, engine.model().grid);
                    for (std::size_t c = 0; c < cells.size(); ++c) {
                        sum += cells[c].power;
                        if (c < 4) lid_power += cells[c].power;
                    }
                    EXPECT_NEAR(sum, x->power, 1e-12 * x->power);
                    if (x == &s) {
                        EXPECT_LT(lid_power, 1e-6 * x->power);
                    }
                }
            }
    }
}

} // namespace
} // namespace tidal
