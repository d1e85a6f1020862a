// Menu choice, the refusal of bad input, and the sweep's independence of the thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <tuple>
#include <variant>
#include <vector>

#include "body/presets.hpp"
#include "cli/menu.hpp"
#include "cli/program.hpp"
#include "files/progress.hpp"
#include "engine/sweep.hpp"
#include "same_records.hpp"
#include "scratch_dir.hpp"

namespace tidal {
namespace {

namespace fs = std::filesystem;

std::variant<int, ChoiceError> choice_from(const std::string& text) {
    std::istringstream in(text);
    return read_choice(in);
}

TEST(Menu, ThreeLinesEachWithOneLeadingBlank) {
    std::ostringstream out;
    write_menu(out);
    EXPECT_EQ(out.str(),
              " Choose from examined planetary bodies\n"
              " Enceladus 26km(1), Enceladus 52km(2), Europa(3), Exoplanet 1day(4)\n"
              " Exoplaneta 5days(5), Exoplaneta 20days(6), Exoplaneta 50days(7), Merkur(8)\n");
}

// An integer from one to eight in free form; everything else refused with what was read
// (control bytes not echoed to the terminal), or the end of the input.
TEST(Menu, AcceptsAnIntegerFromOneToEightInFreeFormAndRefusesTheRest) {
    const auto refusal = [](const std::string& text) {
        const auto r = choice_from(text);
        return std::holds_alternative<ChoiceError>(r) ? std::get<ChoiceError>(r).message : "(accepted)";
    };
    for (const auto& [text, choice] : {std::pair{"1\n", 1}, {"  \n\t 8", 8}, {"+3\n", 3}, {"5 and more", 5}})
        EXPECT_EQ(std::get<int>(choice_from(text)), choice) << text;
    for (const char* bad : {"0", "9", "-1", "abc", "3x", "2.5", "99999999999999999999", "+", "1e0"}) {
        EXPECT_NE(refusal(bad).find("integer from 1 to 8"), std::string::npos) << refusal(bad);
        EXPECT_NE(refusal(bad).find(std::string("'") + bad + "'"), std::string::npos) << refusal(bad);
    }
    for (const char* empty : {"", "   \n\n"})
        EXPECT_NE(refusal(empty).find("input ended"), std::string::npos) << refusal(empty);
    EXPECT_EQ(refusal("\x1b[2J").find('\x1b'), std::string::npos);
    EXPECT_NE(refusal("\x1b[2J"), "(accepted)");
}

TEST(Progress, RedrawsOneLineAndClearsItOnlyWhenEnabled) {
    std::ostringstream quiet, shown;
    ProgressLine off(quiet, 10, false), on(shown, 10, true);
    for (int done = 0; done <= 10; ++done) {
        off.update(done);
        on.update(done);
    }
    off.clear();
    on.clear();
    EXPECT_EQ(quiet.str(), "");
    const std::string s = shown.str();
    EXPECT_EQ(s.find('\n'), std::string::npos); // never a new line: the line is redrawn
    EXPECT_NE(s.find("viscosity 0/10"), std::string::npos);
    EXPECT_NE(s.find("viscosity 10/10"), std::string::npos); // the last state is always drawn
    EXPECT_EQ(s.substr(s.size() - 4), "\r\x1b[K");           // and removed at the end
}

TEST(Program, BadChoiceCreatesNoResultFile) {
    const fs::path dir = testing_scratch::scratch_dir("tidal_bad_choice");
    std::istringstream in("12\n");
    std::ostringstream out, err;
    ProgramSettings settings;
    settings.output = (dir / "out").string();
    const int status = run_program(in, out, err, settings);
    EXPECT_EQ(status, kExitBadChoice);
    EXPECT_EQ(err.str(), "error: expected an integer from 1 to 8, but read '12'\n");
    EXPECT_TRUE(fs::is_empty(dir));
    fs::remove_all(dir);
}

std::vector<ViscosityResults> sweep(const ShellModel& model, const ViscositySweep& viscosities,
                                    int threads, bool plain = false,
                                    std::vector<double> series = {}, bool steady = false) {
    std::vector<ViscosityResults> all;
    SweepSettings settings;
    settings.threads = threads;
    settings.plain = plain;
    settings.steady = steady;
    settings.series = std::move(series);
    EXPECT_TRUE(run_sweep(model, viscosities, settings,
                          [&](ViscosityResults&& r) { all.push_back(std::move(r)); }));
    return all;
}

TEST(Sweep, AscendingAndIndependentOfTheThreadCount) {
    const ViscositySweep v{300, 21, 20}; // 1e15 .. 1e16 Pa s
    const ShellModel model = make_shell_model(*preset_body(8), RunConstants{2.0, 20, 200});
    const auto one = sweep(model, v, 1);
    const auto two = sweep(model, v, 2);
    // Asked-for series are kept besides the last run of each batch: 10^15.15 is the fourth.
    const double asked = *nearest_swept_viscosity(v, 1.4e15);
    EXPECT_EQ(asked, sweep_viscosity(303));
    EXPECT_FALSE(nearest_swept_viscosity(v, 1.2e16)); // more than a step beyond
    // Between half a step and a step outside either end: refused too.
    EXPECT_FALSE(nearest_swept_viscosity(v, std::pow(10.0, 16.04)));
    EXPECT_FALSE(nearest_swept_viscosity(v, std::pow(10.0, 14.96)));
    EXPECT_EQ(nearest_swept_viscosity(v, std::pow(10.0, 16.02)), 1e16);
    const auto three = sweep(model, v, 3, false, {asked});
    const auto plain = sweep(model, v, 2, true);
    for (const auto* s : {&one, &plain, &two, &three})
        ASSERT_EQ(s->size(), 21u);
    EXPECT_EQ(one.front()[Rheology::Maxwell].eta, 1e15);
    EXPECT_EQ(one.back()[Rheology::KelvinVoigt].eta, 1e16);
    for (std::size_t i = 0; i < one.size(); ++i) {
        EXPECT_EQ(one[i].k, 300 + static_cast<int>(i));
        if (i > 0) {
            EXPECT_GT(one[i][Rheology::Maxwell].eta, one[i - 1][Rheology::Maxwell].eta);
        }
        for (const auto* other : {&two[i], &three[i], &plain[i]}) {
            EXPECT_EQ(other->k, one[i].k);
            for (const Rheology r : {Rheology::Maxwell, Rheology::KelvinVoigt}) {
                // The series only where both kept it (checked below).
                if (one[i][r].ursurf.empty() || (*other)[r].ursurf.empty())
                    expect_same_record((*other)[r], one[i][r], {"ursurf"});
                else
                    expect_same_record((*other)[r], one[i][r]);
            }
        }
        // The plain path keeps every series; the batched one the last of each batch and those
        // asked for.
        EXPECT_EQ(plain[i][Rheology::Maxwell].ursurf.size(), 200u);
        EXPECT_EQ(one[i][Rheology::Maxwell].ursurf.empty(), i % kLanes != kLanes - 1 && i != 20);
        EXPECT_EQ(three[i][Rheology::KelvinVoigt].ursurf.empty(),
                  i % kLanes != kLanes - 1 && i != 20 && i != 3);
        if (i == 3) {
            EXPECT_EQ(three[i][Rheology::Maxwell].ursurf, plain[i][Rheology::Maxwell].ursurf);
            EXPECT_EQ(three[i][Rheology::KelvinVoigt].ursurf,
                      plain[i][Rheology::KelvinVoigt].ursurf);
        }
    }
}

// On the batched path the threads take each rheology of a batch as a unit of its own, and the
// steady states come with the first: every rheology's records and every steady state must
// arrive with their viscosity, whatever the threads.
TEST(Sweep, EveryRheologyAndSteadyStateReachTheirViscosityOnAnyThreadCount) {
    Body body = *preset_body(1);
    body.models = {Rheology::KelvinVoigt, Rheology::Andrade, Rheology::Maxwell};
    const ShellModel model = make_shell_model(body, RunConstants{2.0, 20, 60});
    const ViscositySweep v{280, 9, 20}; // a full batch and a single viscosity
    const auto run = [&](int threads) { return sweep(model, v, threads, false, {}, true); };
    const auto one = run(1), two = run(2), three = run(3);
    for (const auto* s : {&one, &two, &three})
        ASSERT_EQ(s->size(), 9u);
    for (std::size_t i = 0; i < one.size(); ++i) {
        ASSERT_TRUE(one[i].steady);
        for (const auto* other : {&two[i], &three[i]}) {
            EXPECT_EQ(other->k, one[i].k);
            ASSERT_TRUE(other->steady) << i;
            EXPECT_EQ(other->steady->eta, one[i][Rheology::Maxwell].eta);
            for (const Rheology r : body.models) {
                SCOPED_TRACE(testing::Message() << "viscosity " << i);
                expect_same_record((*other)[r], one[i][r], {"ursurf"});
                expect_same_record((*other->steady)[r].continuous,
                                   (*one[i].steady)[r].continuous);
            }
        }
    }
    // The rheologies differ, so a record moved to another rheology's place would show.
    EXPECT_NE(one[0][Rheology::Maxwell].period.power, one[0][Rheology::Andrade].period.power);
    EXPECT_NE(one[0][Rheology::KelvinVoigt].period.power, one[0][Rheology::Andrade].period.power);
}

TEST(Sweep, APhaseIsCarriedOverRunsWithoutANewMinimum) {
    // Runs in sweep order, Maxwell and Kelvin-Voigt alternating as they are written.
    const std::vector<std::optional<double>> own = {std::nullopt, 0.25, std::nullopt,
                                                    std::nullopt, 0.0,  std::nullopt};
    const std::vector<double> written = {0.0, 0.25, 0.25, 0.25, 0.0, 0.0};
    double tn = 0.0;
    for (std::size_t i = 0; i < own.size(); ++i) {
        tn = carried_phase(tn, own[i]);
        EXPECT_EQ(tn, written[i]) << i;
    }
}

// A stop asked for after two questions comes between batches: only whole batches are
// delivered. One asked for after the first question, before a batch of long runs, is seen
// inside the runs: a sweep that looked only between batches would finish the batch.
TEST(Sweep, StopsBetweenBatchesAndInsideARunWhenAsked) {
    const ShellModel short_runs = make_shell_model(*preset_body(1), RunConstants{2.0, 10, 100});
    const ShellModel long_runs = make_shell_model(*preset_body(1), RunConstants{2.0, 1000, 4000});
    for (const int threads : {1, 2}) {
        for (const auto& [model, v, questions] : {std::tuple{&short_runs, ViscositySweep{200, 41, 20}, 2},
                                                  std::tuple{&long_runs, ViscositySweep{280, 2, 20}, 1}}) {
            int asked = 0, seen = 0;
            SweepSettings settings;
            settings.threads = threads;
            settings.stop = [&, questions = questions] { return ++asked > questions; };
            EXPECT_FALSE(run_sweep(*model, v, settings, [&](ViscosityResults&&) { ++seen; }));
            EXPECT_TRUE(questions == 1 ? seen == 0 : seen < 41 && seen % kLanes == 0)
                << seen << " viscosities delivered on " << threads << " threads";
        }
    }
}

TEST(Sweep, AFailureWhileWritingStopsTheSweep) {
    const ViscositySweep v{200, 41, 20};
    const ShellModel model = make_shell_model(*preset_body(1), RunConstants{2.0, 10, 100});
    int seen = 0;
    SweepSettings two;
    two.threads = 2;
    EXPECT_THROW(run_sweep(model, v, two,
                           [&](ViscosityResults&&) {
                               if (++seen == 3) throw std::runtime_error("disk full");
                           }),
                 std::runtime_error);
    EXPECT_EQ(seen, 3);
}

} // namespace
} // namespace tidal
