// The reduction of a batch's states in vector lanes against the reduction of each state alone:
// every field of every record to the bit, for every rheology in both flavours, batches of 1 to
// kLanes states, a tide of many harmonics and a layered body of several rheologies; and a state
// whose lane meets an infinity reduced again alone.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "body/presets.hpp"
#include "engine/engine.hpp"
#include "steady/period_reduction.hpp"
#include "steady/periodic_state.hpp"

#include "same_records.hpp"
#include "shell_fixtures.hpp"

namespace tidal {
namespace {

// The periodic states of the model's kLanes lane profiles (lane_profiles), solved one by one.
std::vector<PeriodicState> states_of(PeriodicSolver& solver, Rheology r,
                                     Flavour flavour, const LaneProfiles& p) {
    std::vector<PeriodicState> out(kLanes);
    for (std::size_t i = 0; i < out.size(); ++i)
        solver.solve(r, flavour, p.etas[i], out[i]);
    return out;
}

// Batches of 1 to kLanes of the states, the last ones of the list (so that every state meets
// several lane positions), against reduce() of each alone, with both sets of fields.
void expect_batches_reduce_alone(const ShellModel& m, const std::string& what) {
    PeriodicSolver solver(m);
    const HarmonicForcing& forcing = solver.forcing();
    const LaneProfiles p = lane_profiles(m);
    PeriodReduction alone(m, forcing.harmonics), batch(m, forcing.harmonics);
    for (const Rheology r : m.body.models)
        for (const Flavour flavour : {Flavour::Continuous, Flavour::Discrete}) {
            const std::vector<PeriodicState> states = states_of(solver, r, flavour, p);
            for (std::size_t n = 1; n <= kLanes; ++n) {
                const std::size_t from = kLanes - n;
                const RecordFields fields = n % 2 == 0 ? RecordFields::All : RecordFields::GridError;
                std::vector<PeriodRecord> out(n);
                batch.reduce(std::span(states).subspan(from, n), r, flavour,
                             std::span(p.views).subspan(from, n), forcing, out, fields);
                for (std::size_t i = 0; i < n; ++i)
                    testing_records::expect_same_bits(
                        out[i],
                        alone.reduce(states[from + i], r, flavour, p.etas[from + i], forcing, fields),
                        what + " " + std::to_string(index_of(r)) +
                            (flavour == Flavour::Continuous ? " continuous" : " discrete") +
                            " batch of " + std::to_string(n) + " state " + std::to_string(i));
            }
        }
    // Every state went through the lanes: none was finite enough to fall back on.
    EXPECT_EQ(batch.redone(), 0) << what;
}

// Caught: every lane given the first lane's gains (the terms packed from lane 0).
TEST(LaneReduction, BatchesGiveEachStatesRecordToTheBit) {
    // The exact tide at e = 0.3: many harmonics, each with its own gains and window sums.
    Body tide = preset(1).body_spec;
    tide.eccentricity = 0.3;
    tide.layers = 5;
    tide.tide = "exact";
    tide.models = {Rheology::Maxwell, Rheology::KelvinVoigt, Rheology::Burgers, Rheology::Andrade,
                   Rheology::Zener};
    const ShellModel exact = make_shell_model(tide, RunConstants{2.0, 100, 1000});
    ASSERT_GT(PeriodicSolver(exact).forcing().harmonics, 5);
    expect_batches_reduce_alone(exact, "exact tide");
    // A fixed Andrade lid over the swept ice, a fixed Kelvin-Voigt rock and a liquid core:
    // each span with its own rheology's terms and window.
    const Body layered = read_ok(layers_on_an_orbit(
        "layered", 1000000.0,
        solid_layer("lid", 10000.0, 950.0, 3.5e9, 3, "1e13", "andrade") +
            solid_layer("ice", 90000.0, 950.0, 3.5e9, 6) +
            solid_layer("rock", 400000.0, 3300.0, 6e10, 5, "1e10", "kelvin_voigt") +
            "[[layer]]\nname = \"iron\"\ndensity = 7000.0\nstate = \"liquid\"\n",
        kEveryModel, 100, 10));
    const Engine engine(layered);
    expect_batches_reduce_alone(engine.model(), "layered");
}

// The batches of two models that differ only in the tide's loads (their eccentricities),
// reduced in one call, against each state reduced alone with its own model's forcing; and a
// third model whose states carry another factor s (their terms cannot be the first model's),
// reduced the same way.
// Caught: every model given the first model's stress amplitudes; every record finished with
// the first model's forcing; the check of the factors s removed (the third model's terms
// formed from the first model's s).
TEST(LaneReduction, ModelsOfAGroupGiveEachModelsRecordsToTheBit) {
    Body b = preset(1).body_spec;
    b.layers = 5;
    b.models = {Rheology::Maxwell, Rheology::KelvinVoigt, Rheology::Andrade};
    std::vector<ShellModel> models;
    for (const double e : {0.002, 0.007, 0.011}) {
        b.eccentricity = e;
        models.push_back(make_shell_model(b, RunConstants{2.0, 100, 1000}));
    }
    std::vector<PeriodicSolver> solvers(models.begin(), models.end());
    const LaneProfiles p = lane_profiles(models[0]);
    const int harmonics = solvers[0].forcing().harmonics;
    PeriodReduction alone(models[0], harmonics), group(models[0], harmonics);
    std::vector<const HarmonicForcing*> forcings;
    for (const PeriodicSolver& s : solvers)
        forcings.push_back(&s.forcing());
    for (const Rheology r : b.models)
        for (const Flavour flavour : {Flavour::Continuous, Flavour::Discrete}) {
            for (const std::size_t G : {std::size_t{2}, std::size_t{3}}) {
                std::vector<PeriodicState> states;
                for (std::size_t g = 0; g < G; ++g)
                    for (const PeriodicState& s : states_of(solvers[g], r, flavour, p))
                        states.push_back(s);
                if (G == 3) // another time step's symbol, as far as the terms can tell
                    for (std::size_t i = 2 * kLanes; i < states.size(); ++i)
                        for (Complex& s : states[i].s)
                            s *= 1.0 + 1e-9;
                std::vector<PeriodRecord> out(states.size());
                group.reduce(states, r, flavour, p.views,
                             std::span(forcings).first(G), out);
                for (std::size_t k = 0; k < states.size(); ++k)
                    testing_records::expect_same_bits(
                        out[k],
                        alone.reduce(states[k], r, flavour, p.etas[k % kLanes],
                                     *forcings[k / kLanes]),
                        "rheology " + std::to_string(index_of(r)) + " of " +
                            std::to_string(G) + " models, state " + std::to_string(k));
            }
        }
    EXPECT_EQ(group.redone(), 0);
}

// Caught: the fallback removed (the lane's NaN kept where the plain product recovers the
// infinity); the fallback reducing the batch's first state in place of the lane's own.
TEST(LaneReduction, ALaneThatMeetsAnInfinityIsReducedAlone) {
    Body b = preset(1).body_spec;
    b.layers = 4;
    b.models = {Rheology::Maxwell};
    const ShellModel m = make_shell_model(b, RunConstants{2.0, 100, 1000});
    PeriodicSolver solver(m);
    const HarmonicForcing& forcing = solver.forcing();
    const LaneProfiles p = lane_profiles(m);
    PeriodReduction alone(m, forcing.harmonics), batch(m, forcing.harmonics);
    for (const Flavour flavour : {Flavour::Continuous, Flavour::Discrete}) {
        std::vector<PeriodicState> states = states_of(solver, Rheology::Maxwell, flavour, p);
        // An infinite stress amplitude in both parts in lane 3: the inline product with
        // Maxwell's gain 1 + 0i is NaN in both parts, which the plain product recovers as an
        // infinity.
        const double inf = std::numeric_limits<double>::infinity();
        states[3].x[0][kComponentOrder0][static_cast<std::size_t>(unknowns::tau_zero(2) - 1)] =
            Complex(inf, inf);
        std::vector<PeriodRecord> out(kLanes);
        const long before = batch.redone();
        batch.reduce(states, Rheology::Maxwell, flavour, p.views, forcing, out);
        EXPECT_EQ(batch.redone() - before, 1);
        for (std::size_t i = 0; i < kLanes; ++i)
            testing_records::expect_same_bits(
                out[i], alone.reduce(states[i], Rheology::Maxwell, flavour, p.etas[i], forcing),
                "state " + std::to_string(i));
        // The recovered infinity reaches the layer's mean square (continuous flavour), where
        // the lane's product would have left a NaN.
        if (flavour == Flavour::Continuous) {
            EXPECT_TRUE(std::isinf(out[3].layer_heating[1])) << out[3].layer_heating[1];
        }
    }
}

} // namespace
} // namespace tidal
