// Points of a steady study that differ only in their eccentricity are solved as one radial
// problem (their loads as further right-hand sides of one factorisation): each point's rows
// must be, to the bit and in every field, what its engine gives alone; points that differ in
// anything else, or whose tides take another path, must not be grouped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <span>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "body/presets.hpp"
#include "files/body_file.hpp"
#include "same_records.hpp"
#include "steady/periodic_lanes.hpp"
#include "steady/periodic_state.hpp"
#include "study/shared_radial_problem.hpp"
#include "study/study_job.hpp"
#include "test_data.hpp"

namespace tidal {
namespace {

// A short sweep (11 viscosities: a full batch of lanes and a partial one).
Body short_sweep(Body b) {
    b.log10_viscosity_min = 13.0;
    b.log10_viscosity_max = 15.0;
    b.steps_per_decade = 5;
    return b;
}

// `count` points of `base` at eccentricities from e0 in steps of de.
std::vector<Body> eccentricities(const Body& base, int count, double e0, double de) {
    std::vector<Body> out;
    for (int i = 0; i < count; ++i) {
        Body b = base;
        b.eccentricity = e0 + de * i;
        out.push_back(b);
    }
    return out;
}

// Every unit of a steady job of `bodies`, computed as the study computes it, against each of
// its points' engine alone; returns the largest unit's points.
int expect_units_are_points_alone(const std::vector<Body>& bodies) {
    std::vector<int> numbers(bodies.size());
    std::iota(numbers.begin(), numbers.end(), 0);
    const StudyJob job(bodies, numbers, {}, true);
    UnitComputer computer(job, false);
    int largest = 0;
    for (int u = 0; u < job.units(); ++u) {
        const std::vector<Batch> got = computer.compute(u, {});
        EXPECT_EQ(static_cast<int>(got.size()), job.unit_points(u));
        largest = std::max(largest, job.unit_points(u));
        for (std::size_t k = 0; k < got.size(); ++k) {
            const int point = job.locate(u).first + static_cast<int>(k);
            const Engine alone(job.body(point));
            const std::vector<SteadySweepRow> rows = alone.steady(alone.swept());
            EXPECT_EQ(computer.engines()[k]->body().eccentricity, job.body(point).eccentricity);
            EXPECT_EQ(got[k].size(), rows.size());
            if (got[k].size() != rows.size()) continue;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const std::string where = "point " + std::to_string(point) + " row " + std::to_string(i);
                EXPECT_EQ(got[k][i].k, alone.viscosities().first_k + static_cast<int>(i)) << where;
                EXPECT_TRUE(got[k][i].steady) << where;
                if (got[k][i].steady) testing_records::expect_same_bits(*got[k][i].steady, rows[i], where);
            }
        }
    }
    return largest;
}

// The points of each unit of a steady job of `bodies`.
std::vector<int> unit_sizes(const std::vector<Body>& bodies) {
    std::vector<int> numbers(bodies.size());
    std::iota(numbers.begin(), numbers.end(), 0);
    const StudyJob job(bodies, numbers, {}, true);
    std::vector<int> sizes;
    int next = 0;
    for (int u = 0; u < job.units(); ++u) {
        EXPECT_EQ(job.locate(u).first, next) << "unit " << u << " starts where the last ended";
        sizes.push_back(job.unit_points(u));
        next += sizes.back();
    }
    EXPECT_EQ(next, job.points()) << "every point in one unit";
    return sizes;
}

// Caught: a run cut into units of kSteadyGroup and a remainder (26 points as 25 + 1); one
// unit more than needed; a unit carried on past a point of another shell; the last point of
// a run left out.
TEST(SharedRadialProblem, RunsAreCutIntoTheFewestUnitsOfEvenSize) {
    const Body base = short_sweep(*preset_body(1));
    const int G = kSteadyGroup;
    using Sizes = std::vector<int>;
    EXPECT_EQ(unit_sizes(eccentricities(base, 1, 0.002, 0.001)), Sizes{1});
    EXPECT_EQ(unit_sizes(eccentricities(base, G, 0.002, 0.001)), Sizes{G});
    EXPECT_EQ(unit_sizes(eccentricities(base, G + 1, 0.002, 0.001)),
              (Sizes{(G + 1) / 2, G + 1 - (G + 1) / 2}));
    EXPECT_EQ(unit_sizes(eccentricities(base, 2 * G, 0.002, 0.0001)), (Sizes{G, G}));
    // 2G + 1 points: three units of sizes that differ by one at most.
    const Sizes three = unit_sizes(eccentricities(base, 2 * G + 1, 0.002, 0.0001));
    ASSERT_EQ(three.size(), 3u);
    EXPECT_LE(*std::max_element(three.begin(), three.end()) -
                  *std::min_element(three.begin(), three.end()),
              1);
    // Two shells: a run of 3 points, then one of 4, each its own unit.
    std::vector<Body> two = eccentricities(base, 3, 0.002, 0.001);
    Body thicker = base;
    thicker.thickness *= 1.5;
    for (const Body& b : eccentricities(thicker, 4, 0.002, 0.001))
        two.push_back(b);
    EXPECT_EQ(unit_sizes(two), (Sizes{3, 4}));
    // The cap as given: runs of 7 with units of at most 3 are 3, 2, 2.
    std::vector<int> numbers(7);
    std::iota(numbers.begin(), numbers.end(), 0);
    const StudyJob capped(eccentricities(base, 7, 0.002, 0.001), numbers, {}, true, 3);
    ASSERT_EQ(capped.units(), 3);
    EXPECT_EQ(capped.unit_points(0) + capped.unit_points(1) + capped.unit_points(2), 7);
    for (int u = 0; u < 3; ++u)
        EXPECT_TRUE(capped.unit_points(u) == 2 || capped.unit_points(u) == 3) << "unit " << u;
}

// Caught: every point given the first point's loads (its columns 0..2 read for all); the unit
// loads' columns taken after the first point's instead of after every point's; a unit of
// kSteadyGroup points cut in two.
TEST(SharedRadialProblem, GroupedPointsGiveTheRowsEachGivesAlone) {
    Body preset = short_sweep(*preset_body(1));
    preset.models = {Rheology::Maxwell, Rheology::KelvinVoigt, Rheology::Andrade};
    Body gravity = preset;
    gravity.self_gravity = true;
    auto layered = read_body(test_data("layered_body.toml"), "layered_body.toml", {});
    ASSERT_TRUE(std::holds_alternative<Body>(layered)) << std::get<BodyError>(layered).message;
    const Body interior = short_sweep(std::get<Body>(layered));
    // kSteadyGroup points: the largest unit there is.
    for (const Body& base : {preset, gravity, interior}) {
        SCOPED_TRACE(base.name + (base.self_gravity ? " self-gravitating" : ""));
        EXPECT_EQ(expect_units_are_points_alone(
                      eccentricities(base, kSteadyGroup, 0.002, 0.0005)),
                  kSteadyGroup);
    }
    // The exact tide: its harmonics' count grows with the eccentricity, so runs of equal
    // counts are grouped and a change of count starts a new unit.
    Body exact = preset;
    exact.tide = "exact";
    exact.layers = 6;
    const std::vector<Body> points = eccentricities(exact, 6, 0.02, 0.01);
    std::vector<int> counts;
    for (const Body& b : points)
        counts.push_back(PeriodicSolver(Engine(b).model()).forcing().harmonics);
    ASSERT_NE(counts.front(), counts.back());
    int runs = 1;
    for (std::size_t i = 1; i < counts.size(); ++i)
        runs += counts[i] != counts[i - 1] ? 1 : 0;
    std::vector<int> numbers(points.size());
    std::iota(numbers.begin(), numbers.end(), 0);
    EXPECT_EQ(StudyJob(points, numbers, {}, true).units(), runs);
    EXPECT_GT(expect_units_are_points_alone(points), 1);
}

// Caught: the orbit's period left out of the comparison (copied over with the eccentricity);
// the circular and eccentric bodies grouped.
TEST(SharedRadialProblem, OnlyTheEccentricityMayDiffer) {
    const Body a = *preset_body(1);
    Body b = a;
    b.eccentricity = 2.5 * a.eccentricity;
    EXPECT_TRUE(share_radial_problem(a, b));
    const auto differs = [&](const char* what, auto change) {
        Body c = b;
        change(c);
        EXPECT_FALSE(share_radial_problem(a, c)) << what;
        EXPECT_FALSE(share_radial_problem(c, a)) << what;
    };
    differs("shell", [](Body& c) { c.thickness *= 1.1; });
    differs("rheology", [](Body& c) { c.models = {Rheology::Maxwell}; });
    differs("numerics", [](Body& c) { c.layers += 2; });
    differs("orbit period", [](Body& c) { c.period *= 1.5; });
    differs("circular", [](Body& c) { c.eccentricity = 0.0; });
    differs("oblique", [](Body& c) { c.obliquity = 0.5; });
    Body tilted = a;
    tilted.obliquity = 0.5;
    Body tilted_b = tilted;
    tilted_b.eccentricity = b.eccentricity;
    EXPECT_FALSE(share_radial_problem(tilted, tilted_b)) << "oblique bodies are solved alone";
    Body circular = a, circular_b = a;
    circular.eccentricity = circular_b.eccentricity = 0.0;
    EXPECT_TRUE(share_radial_problem(circular, circular_b));
}

// Every state of a group's models for `etas` (kLanes profiles or fewer) against each model's
// plain solver alone, every field to the bit; and the states solved again alone counted as the
// model-and-profile pairs whose state alone is not finite, since a lane's arithmetic meets an
// infinity or NaN exactly when that state's own does. Returns how many of those pairs.
long expect_group_states_are_models_alone(const std::vector<ShellModel>& models,
                                          const std::vector<std::vector<double>>& etas) {
    std::vector<const ShellModel*> group;
    for (const ShellModel& m : models)
        group.push_back(&m);
    std::vector<std::span<const double>> views(etas.begin(), etas.end());
    PeriodicLanes lanes(group);
    std::vector<PeriodicState> states(group.size() * etas.size());
    lanes.solve(Rheology::Maxwell, Flavour::Continuous, views, states);
    long overflowing = 0;
    for (std::size_t g = 0; g < group.size(); ++g) {
        PeriodicSolver plain(*group[g]);
        for (std::size_t i = 0; i < etas.size(); ++i) {
            PeriodicState alone;
            plain.solve(Rheology::Maxwell, Flavour::Continuous, etas[i], alone);
            bool finite = true;
            for (const auto& harmonic : alone.x)
                for (const std::vector<Complex>& component : harmonic)
                    for (const Complex& v : component)
                        finite = finite && std::isfinite(v.real()) && std::isfinite(v.imag());
            overflowing += finite ? 0 : 1;
            const std::string where = "model " + std::to_string(g) + " profile " + std::to_string(i);
            const PeriodicState& got = states[g * etas.size() + i];
            EXPECT_EQ(got.harmonics, alone.harmonics) << where;
            testing_records::expect_same_bits(got.s, alone.s, where + " s");
            testing_records::expect_same_bits(got.x, alone.x, where + " x");
        }
    }
    EXPECT_EQ(lanes.redone(), overflowing);
    return overflowing;
}

// Models of one group whose loads overflow apart: an orbit so fast (a period of ~1e-145 s)
// that the tide's loads at eccentricity 0.5 drive some unknowns past the largest double,
// while at 1e-200 every unknown stays finite; the band and its factorisation, which the
// eccentricity does not enter, stay finite for all. Each model's reliability is its own: the
// overflowing model's lanes are solved again with its own loads, the finite model keeps the
// group's solutions, whichever comes first in the group.
// Groups of two models as well as three (each model judged by its own right-hand sides in
// either).
// Caught: every model's lanes judged by the first model's right-hand sides; a lane of a later
// model solved again with the first model's solver; the models of a group of two all judged
// by the right-hand sides of both.
TEST(SharedRadialProblem, AModelWhoseLoadsOverflowIsSolvedAgainAloneTheOthersNot) {
    for (const bool gravity : {false, true}) {
        SCOPED_TRACE(gravity ? "self-gravitating" : "not self-gravitating");
        Body base = *preset_body(1);
        base.self_gravity = gravity;
        base.period *= 1e-150;
        const std::size_t N = static_cast<std::size_t>(base.layers);
        std::vector<std::vector<double>> etas;
        for (int i = 0; i < kLanes - 1; ++i)
            etas.emplace_back(N, std::pow(10.0, 13.0 + 0.5 * i));
        for (const std::vector<double>& order :
             {std::vector<double>{1e-200, 0.5, 1e-100}, std::vector<double>{0.5, 1e-200, 0.5},
              std::vector<double>{1e-200, 0.5}, std::vector<double>{0.5, 1e-200}}) {
            std::ostringstream trace;
            trace << "eccentricities";
            for (const double e : order)
                trace << " " << e;
            SCOPED_TRACE(trace.str());
            std::vector<ShellModel> models;
            for (const double e : order) {
                Body b = base;
                b.eccentricity = e;
                models.push_back(make_shell_model(b));
            }
            // Some of the pairs overflow, not all.
            const long overflowing = expect_group_states_are_models_alone(models, etas);
            EXPECT_GT(overflowing, 0);
            EXPECT_LT(overflowing, static_cast<long>(models.size() * etas.size()));
        }
    }
}

// A lane whose arithmetic overflows (a viscosity so small that the Maxwell rate mu / eta is
// infinite) is solved again alone for every point of the group, the others keep the group's
// solutions: each state equals its model's plain solver's to the bit, self-gravitating too.
// Caught: the lane solved again for the group's first point only.
TEST(SharedRadialProblem, AnOverflowingLaneIsSolvedAgainForEveryPoint) {
    for (const bool gravity : {false, true}) {
        SCOPED_TRACE(gravity ? "self-gravitating" : "not self-gravitating");
        Body base = *preset_body(1);
        base.self_gravity = gravity;
        std::vector<ShellModel> models;
        for (const Body& b : eccentricities(base, 3, 0.002, 0.003))
            models.push_back(make_shell_model(b));
        std::vector<const ShellModel*> group;
        for (const ShellModel& m : models)
            group.push_back(&m);
        const std::size_t N = static_cast<std::size_t>(base.layers);
        std::vector<std::vector<double>> etas(kLanes);
        std::vector<std::span<const double>> views;
        for (std::size_t i = 0; i < etas.size(); ++i) {
            etas[i].assign(N, i == 2 ? 1e-320 : std::pow(10.0, 13.0 + 0.5 * static_cast<double>(i)));
            views.emplace_back(etas[i]);
        }
        PeriodicLanes lanes(group);
        std::vector<PeriodicState> states(group.size() * kLanes);
        lanes.solve(Rheology::Maxwell, Flavour::Continuous, views, states);
        EXPECT_EQ(lanes.redone(), static_cast<long>(group.size()));
        for (std::size_t g = 0; g < group.size(); ++g) {
            PeriodicSolver plain(*group[g]);
            for (std::size_t i = 0; i < kLanes; ++i) {
                PeriodicState alone;
                plain.solve(Rheology::Maxwell, Flavour::Continuous, etas[i], alone);
                const PeriodicState& got = states[g * kLanes + i];
                testing_records::expect_same_bits(got.s, alone.s, "s");
                ASSERT_EQ(got.x.size(), alone.x.size());
                for (std::size_t h = 0; h < alone.x.size(); ++h)
                    testing_records::expect_same_bits(
                        got.x[h], alone.x[h],
                        "model " + std::to_string(g) + " lane " + std::to_string(i));
            }
        }
    }
}

} // namespace
} // namespace tidal
