// Honest edges: every heating peak and a maximum at the end of
// the sweep told apart from a peak, the warnings of doubtful numbers, and a publication
// interrupted between two renames.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <tuple>
#include <vector>

#include "body/presets.hpp"
#include "body/plausibility.hpp"
#include "engine/engine.hpp"
#include "engine/cost_estimate.hpp"
#include "files/result_tables.hpp"
#include "engine/sweep.hpp"
#include "files/sweep_doubts.hpp"
#include "files/peak.hpp"
#include "files/result_directory.hpp"
#include "scratch_dir.hpp"
#include "test_data.hpp"

namespace tidal {
namespace {

namespace fs = std::filesystem;

// A curve with two Debye-like peaks in log10 x, at x = 1e12 (height 10) and 1e16 (height 3):
// y = h / cosh(2 (log10 x - c)), plus a ripple of relative size `ripple` and period 2 samples.
std::vector<double> two_peaks(const std::vector<double>& x, double ripple) {
    std::vector<double> y;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double u = std::log10(x[i]);
        const double v = 10.0 / std::cosh(2.0 * (u - 12.0)) + 3.0 / std::cosh(2.0 * (u - 16.0));
        y.push_back(v * (1.0 + (i % 2 == 0 ? ripple : -ripple)));
    }
    return y;
}

std::vector<double> sweep_x(double from, double to, int per_decade) {
    std::vector<double> x;
    for (int k = static_cast<int>(std::lround(from * per_decade));
         k <= static_cast<int>(std::lround(to * per_decade)); ++k)
        x.push_back(std::pow(10.0, static_cast<double>(k) / per_decade));
    return x;
}

// (Positions, flat tops, ranks and ripples: Peak, ATableOfCurves in files/output_test.cpp.)
TEST(Peaks, TheRefinedPeakConvergesAtSecondOrderUnderRefinementOfTheSweep) {
    // The refined peak converges under refinement of the sweep: the error of the vertex falls
    // by about 2^2 = 4 per halving of the step or faster.
    double before = 0.0;
    for (const int per_decade : {5, 10, 20}) {
        const std::vector<double> xs = sweep_x(9.0, 15.0, per_decade);
        std::vector<double> ys;
        for (const double v : xs)
            ys.push_back(1.0 / std::cosh(2.0 * (std::log10(v) - 12.03)));
        const double error = std::fabs(std::log10(*find_peaks(xs, ys)[0].refined_x) - 12.03);
        if (before > 0.0) {
            EXPECT_LT(error, before / 3.0) << per_decade;
        }
        before = error;
    }
}

TEST(Peaks, AMaximumAtAnEndOfTheSweepIsWarnedAboutInPeaksCsv) {
    // In peaks.csv: rank 1 of every rheology first, the end of the sweep named, and one
    // warning line naming the rheology and the key that widens the sweep that way.
    const std::vector<double> both = sweep_x(9.0, 14.0, 10);
    // Maxwell's power rises to the end of the sweep; Burgers' peaks inside it.
    const auto records = sweep_peaks({Rheology::Maxwell, Rheology::Burgers}, both,
                                     {both, two_peaks(both, 0.0)}, 1.0);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(std::tuple(records[0].rheology, records[0].position, records[1].position),
              std::tuple("maxwell", "sweep_end", "interior"));
    const std::string table = peaks_table(records);
    EXPECT_NE(table.find(",rank,position\n"), std::string::npos) << table;
    EXPECT_NE(table.find(",1,sweep_end\n"), std::string::npos) << table;
    const auto warning = sweep_edge_warning(records);
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning->find('\n'), std::string::npos);
    EXPECT_TRUE(warning->starts_with("warning: the heating of Maxwell is largest at the highest swept viscosity (1.0e14 Pa s)"))
        << *warning;
    EXPECT_NE(warning->find("raise sweep.log10_viscosity_max"), std::string::npos);
    EXPECT_FALSE(sweep_edge_warning({records[1]}));
}

TEST(Peaks, FurtherPeaksFollowEveryRheologysLargest) {
    const std::vector<double> x = sweep_x(9.0, 19.0, 10);
    const std::vector<double> one = two_peaks(x, 0.0);
    std::vector<double> single;
    for (const double v : x)
        single.push_back(1.0 / std::cosh(std::log10(v) - 14.0));
    const auto records = sweep_peaks({Rheology::Burgers, Rheology::Maxwell}, x, {one, single}, 1.0);
    ASSERT_EQ(records.size(), 3u);
    std::vector<std::tuple<std::string_view, int>> order;
    for (const PeakRecord& p : records)
        order.emplace_back(p.rheology, p.rank);
    EXPECT_EQ(order, (std::vector<std::tuple<std::string_view, int>>{{"burgers", 1}, {"maxwell", 1}, {"burgers", 2}}));
    EXPECT_NEAR(std::log10(*records[2].refined_viscosity), 16.0, 0.03);
}

SteadySummary doubt(double transient, double step_error) {
    return {1.0, 0.0, transient, step_error};
}

GridErrorSummary grid(double power) {
    return {power, std::abs(power), std::abs(power)};
}

// One threshold for every error column, each warning naming the key that mends it and the
// threshold's own key; the accuracy summary names the worst of each and where.
// Deliberate faults this catches: a warning counted on a value at the limit (> written >=),
// the grid error not looked at, a warning without its key.
TEST(Doubts, AnErrorBeyondTheLimitIsToldWithTheKeyThatMendsIt) {
    SweepDoubts doubts({Rheology::Maxwell, Rheology::KelvinVoigt}, 10, 1e-2);
    const std::vector<GridErrorSummary> fine = {grid(2e-4), grid(-2e-4)};
    doubts.add(1e13, {doubt(1e-5, 1e-4), doubt(-2e-5, -1e-2)}, fine); // at the limit: no doubt
    EXPECT_TRUE(doubts.warnings().empty());
    doubts.add(1e14, {doubt(1e-5, 1e-4), doubt(-2e-5, -1.8e-2)}, fine);
    doubts.add(1e15, {doubt(1e-5, 1e-4), doubt(-2e-5, -1.2e-2)}, fine);
    EXPECT_FALSE(doubts.transient_warning()); // a step error is not a transient
    EXPECT_FALSE(doubts.grid_error_warning());
    const auto w = doubts.step_error_warning();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->rfind("warning: 2 of 3 viscosities have a time-step error", 0), 0u) << *w;
    EXPECT_NE(w->find("(worst: Kelvin-Voigt at 1.0e14 Pa s, -1.8e-2); raise numerics.steps_per_period (or numerics.doubt_limit)"),
              std::string::npos) << *w;
    EXPECT_EQ(doubts.worst_step_error(), -1.8e-2);
    EXPECT_EQ(doubts.warnings(), std::vector<std::string>{*w});
    // The grid error and the transient, each with its key.
    doubts.add(1e16, {doubt(3e-2, 1e-4), doubt(0.0, 0.0)}, {grid(0.0), grid(-5e-2)});
    ASSERT_EQ(doubts.warnings().size(), 3u);
    EXPECT_NE(doubts.warnings()[0].find("after 10 periods (worst: Maxwell at 1.0e16 Pa s, 3.0e-2); raise numerics.periods"),
              std::string::npos);
    EXPECT_NE(doubts.warnings()[2].find("have a grid error"), std::string::npos);
    EXPECT_NE(doubts.warnings()[2].find("(worst: Kelvin-Voigt at 1.0e16 Pa s, -5.0e-2); raise numerics.layers"), std::string::npos);
    EXPECT_EQ(*doubts.accuracy_summary(),
              "note: accuracy: largest transient 3.0e-2 (Maxwell at 1.0e16 Pa s), step error "
              "-1.8e-2 (Kelvin-Voigt at 1.0e14 Pa s), grid error -5.0e-2 (Kelvin-Voigt at "
              "1.0e16 Pa s) over 4 viscosities");
    // A limit set higher takes the doubt away.
    SweepDoubts lenient({Rheology::Maxwell, Rheology::KelvinVoigt}, 10, 0.1);
    lenient.add(1e16, {doubt(3e-2, 1e-4), doubt(0.0, 0.0)}, {grid(0.0), grid(-5e-2)});
    EXPECT_TRUE(lenient.warnings().empty());
    // Rows without time integration or grid error add no doubt, and no summary.
    SweepDoubts steady({Rheology::Maxwell}, 1, 1e-2);
    steady.add(1e14, {SteadySummary{1.0, 0.0, std::nullopt, std::nullopt}}, {GridErrorSummary{}});
    EXPECT_TRUE(steady.warnings().empty());
    EXPECT_FALSE(steady.accuracy_summary());
}

TEST(Plausibility, AValueInTheWrongUnitIsToldInOneLineThePresetsPassSilently) {
    for (int n = kFirstChoice; n <= kLastChoice; ++n)
        EXPECT_TRUE(implausible_values(preset(n).body_spec).empty()) << n;
    Body b = preset(1).body_spec; // Enceladus
    b.thickness = 26.0;               // meant as km
    b.period = 1.37;                  // meant as days
    b.rigidity = {3.3};               // meant as GPa
    b.density = 0.92;                 // meant as g/cm^3
    const std::vector<std::string> lines = implausible_values(b);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "warning: shell.thickness = 26 m is only 0.0001 of shell.outer_radius "
                        "(252100 m): is it in another unit? It is read in metres");
    EXPECT_EQ(lines[1].rfind("warning: shell.rigidity = 3.3 Pa is under 1 MPa", 0), 0u);
    EXPECT_EQ(lines[2].rfind("warning: shell.density = 0.92 kg/m^3 is under 100", 0), 0u);
    EXPECT_EQ(lines[3].rfind("warning: orbit.period = 1.37 s is under a minute", 0), 0u);
    for (const std::string& l : lines)
        EXPECT_EQ(l.find('\n'), std::string::npos);
}

TEST(Cost, ALongJobIsAnnouncedWithItsSizeTheDefaultsAreNot) {
    for (int n = kFirstChoice; n <= kLastChoice; ++n) {
        const ShellModel model = make_shell_model(*preset_body(n));
        const ViscositySweep v = viscosity_sweep(preset(n).body_spec);
        EXPECT_FALSE(cost_note(sweep_size(model, v.count), forecast_core_seconds(model, v.count), 1))
            << n;
    }
    // Five million steps a period: the sweep that took minutes takes days.
    const ShellModel slow = make_shell_model(*preset_body(1), RunConstants{2.0, 5000000, 50000000});
    const auto note = cost_note(sweep_size(slow, 241), forecast_core_seconds(slow, 241), 2);
    ASSERT_TRUE(note);
    EXPECT_TRUE(note->starts_with("note: 241 viscosities x 2 rheologies x 50000000 time steps of 20 layers: about "))
        << *note;
    EXPECT_NE(note->find(" hours on 2 threads"), std::string::npos) << *note;
    // The forecast is proportional to the steps.
    EXPECT_DOUBLE_EQ(forecast_core_seconds(slow, 241),
                     2500.0 * forecast_core_seconds(make_shell_model(*preset_body(1)), 241));
}

// A steady sweep takes no time steps: its forecast counts solves. Every preset's steady sweep,
// even with five million steps a period set, is not announced; ten million viscosities are, in
// minutes or hours rather than the years their time steps would take.
// Caught: the steady forecast taken from the time steps.
TEST(Cost, ASteadySweepIsForecastByItsSolves) {
    for (int n = kFirstChoice; n <= kLastChoice; ++n) {
        const ShellModel model = make_shell_model(*preset_body(n), RunConstants{2.0, 5000000, 50000000});
        const ViscositySweep v = viscosity_sweep(preset(n).body_spec);
        EXPECT_FALSE(cost_note(steady_sweep_size(model, v.count), forecast_steady_core_seconds(model, v.count), 1)) << n;
    }
    const ShellModel model = make_shell_model(*preset_body(1));
    const auto note = cost_note(steady_sweep_size(model, 10000000), forecast_steady_core_seconds(model, 10000000), 1);
    ASSERT_TRUE(note);
    EXPECT_TRUE(note->starts_with("note: 10000000 viscosities x 2 rheologies of periodic states on 20 layers: about "))
        << *note;
    EXPECT_TRUE(note->find(" minutes on 1 thread") != std::string::npos || note->find(" hours on 1 thread") != std::string::npos)
        << *note;
}

// A steady study's point writes rows, not a single run's files: a 1000-point study of body 1
// (241 viscosities x 3 rheologies, grid error) takes some 14 s on 2 cores and is not
// announced; 20 000 such points, some 5 minutes, are. A single run of those viscosities writes
// its profiles and costs more than such a point, the grid error's second solve more again.
// Caught: a point forecast as a single run with its files (the 1000 points announced).
TEST(Cost, ASteadyStudyPointIsForecastByItsSolvesAndRows) {
    Body body = *preset_body(1);
    body.models = {Rheology::Maxwell, Rheology::KelvinVoigt, Rheology::Andrade};
    const ViscositySweep v = viscosity_sweep(body);
    ASSERT_EQ(v.count, 241);
    ASSERT_TRUE(body.grid_error);
    const double point = forecast_steady_point_core_seconds(body, v.count);
    EXPECT_FALSE(cost_note("study", 1000 * point, 2));
    const auto note = cost_note("study", 20000 * point, 2);
    ASSERT_TRUE(note);
    EXPECT_TRUE(note->starts_with("note: study: about ") && note->find(" minutes on 2 threads") != std::string::npos) << *note;
    EXPECT_GT(forecast_steady_core_seconds(make_shell_model(body), v.count), point);
    Body plain = body;
    plain.grid_error = false;
    EXPECT_LT(2.0 * forecast_steady_point_core_seconds(plain, v.count), point);
}

TEST(Publication, ASetInterruptedBetweenRenamesIsMarkedAndCompletedByTheNextRun) {
    const fs::path dir = testing_scratch::scratch_dir("tidal_interrupted_publication");
    for (const char* name : {"a", "b", "c"})
        std::ofstream(dir / name) << "old " << name << "\n";
    {
        ResultDirectory out(dir.string());
        for (const char* name : {"a", "b", "c"})
            out.open(name).write(std::string("new ") + name + "\n");
        // The second rename fails (a directory took the name meanwhile): the first file is
        // new, the others old.
        fs::remove(dir / "b");
        fs::create_directories(dir / "b" / "blocked");
        EXPECT_THROW(out.publish(), OutputError);
        EXPECT_EQ(file_text(dir / "a"), "new a\n");
        EXPECT_EQ(file_text(dir / "c"), "old c\n");
        // Every reader sees a set being published.
        EXPECT_TRUE(fs::exists(dir / kPublishingFileName));
    }
    EXPECT_TRUE(fs::exists(dir / kPublishingFileName));
    fs::remove_all(dir / "b");
    {
        // The next run completes the publication before it does anything else.
        ResultDirectory next(dir.string());
        EXPECT_FALSE(fs::exists(dir / kPublishingFileName));
        for (const char* name : {"a", "b", "c"})
            EXPECT_EQ(file_text(dir / name), std::string("new ") + name + "\n") << name;
    }
    fs::remove_all(dir);
}

} // namespace
} // namespace tidal
