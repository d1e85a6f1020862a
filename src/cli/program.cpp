#include "cli/program.hpp"

#include <array>
#include <functional>
#include <optional>
#include <ostream>

#include "body/body_check.hpp"
#include "files/body_file.hpp"
#include "body/plausibility.hpp"
#include "body/presets.hpp"
#include "engine/engine.hpp"
#include "cli/console.hpp"
#include "files/map_output.hpp"
#include "engine/cost_estimate.hpp"
#include "cli/menu.hpp"
#include "files/progress.hpp"
#include "files/run_output.hpp"
#include "engine/sweep.hpp"
#include "files/result_directory.hpp"
#include "files/result_file.hpp"

namespace tidal {

namespace {

// The sweep from the exact-in-time periodic state alone: summary.csv and peaks.csv beside
// body.toml, no legacy files (they describe a time integration). The console shows the lines
// of a time sweep, with the periodic state's powers. When `stop` ends the sweep early, nothing
// more is written or published (the tables and peaks describe the whole sweep): none, and
// `computed` tells how many viscosities were done.
std::optional<std::vector<std::string>>
write_steady_sweep(const Engine& engine, ResultDirectory& dir, Console& console,
                   const std::vector<double>& maps, double map_step,
                   const std::function<bool()>& stop, int& computed) {
    const ShellModel& model = engine.model();
    const ViscositySweep& viscosities = engine.viscosities();
    int written = 0;
    try {
        const std::vector<SteadySweepRow> rows = engine.steady(engine.swept(), stop);
        computed = static_cast<int>(rows.size());
        if (computed < viscosities.count) return std::nullopt;
        auto closing = write_steady_tables(dir, console, model, rows,
                                           engine.maps(maps, Flavour::Continuous, map_step),
                                           &written);
        dir.publish();
        return closing;
    } catch (const OutputError& e) {
        throw OutputError(std::string(e.what()) + " (after " + std::to_string(written) + " of " +
                          std::to_string(viscosities.count) + " viscosities, kept in " +
                          dir.path("*") + std::string(kPartialSuffix) + ")");
    }
}

} // namespace

int run_program(std::istream& in, std::ostream& out, std::ostream& err,
                const ProgramSettings& settings) {
    Console console(out);
    int choice = 0;
    if (settings.body_spec) {
        // A body file, already read.
    } else if (settings.body) {
        choice = *settings.body;
    } else {
        write_menu(out);
        console.flush();
        const auto read = read_choice(in);
        // A signal while waiting for the choice ends the read; it is not a bad choice.
        if (const int sig = settings.interrupted()) return kExitSignalBase + sig;
        if (const auto* e = std::get_if<ChoiceError>(&read)) {
            err << "error: " << e->message << '\n';
            return kExitBadChoice;
        }
        choice = std::get<int>(read);
    }
    Body body_spec;
    if (settings.body_spec) {
        body_spec = *settings.body_spec;
    } else if (settings.overrides.empty()) {
        body_spec = preset(choice).body_spec;
    } else {
        auto changed = override_body(preset(choice).body_spec, "body " + std::to_string(choice),
                                     settings.overrides);
        if (const auto* e = std::get_if<BodyError>(&changed)) {
            err << "error: " << e->message << '\n';
            return kExitBadChoice;
        }
        body_spec = std::get<Body>(std::move(changed));
    }
    const Engine engine(body_spec);
    const ViscositySweep& viscosities = engine.viscosities();
    const auto series = series_viscosities(viscosities, settings.series);
    if (const auto* e = std::get_if<std::string>(&series)) {
        err << "error: " << *e << '\n';
        return kExitBadChoice;
    }
    const auto maps = series_viscosities(viscosities, settings.maps, "--map");
    if (const auto* e = std::get_if<std::string>(&maps)) {
        err << "error: " << *e << '\n';
        return kExitBadChoice;
    }
    if (settings.method == Method::Steady && !settings.series.empty()) {
        err << "error: option --series needs the time method: the steady state has no series\n";
        return kExitBadChoice;
    }

    if (settings.method == Method::Time)
        if (const auto problem = time_steps_problem(body_spec)) {
            err << "error: " << problem->key << ": " << problem->what << '\n';
            return kExitBadChoice;
        }

    const ShellModel& model = engine.model();
    if (settings.body_spec && body_spec.second_order)
        err << "note: orbit.second_order = true is read as the tide of a 3:2 spin-orbit "
               "resonance; orbit.rotation = \"3:2\" says so\n";
    // The first-order tide is first order in sin(obliquity) as well (docs/method.md §2.2): its
    // neglected terms grow as sin^2 and sin^3 of it, no longer small beyond about 30 degrees.
    if (body_spec.oblique() && !body_spec.exact_tide() && body_spec.obliquity > 30.0 &&
        body_spec.obliquity < 150.0)
        err << "note: orbit.obliquity = " << body_spec.obliquity
            << ": the first-order tide neglects the terms of order sin^2 and sin^3 of the "
               "obliquity; orbit.tide = \"exact\" takes every order\n";
    // The time steps must resolve the exact tide's harmonics: with two steps or fewer per
    // period of the highest (harmonic H at or above the step rate's half), the runs alias it
    // (a harmonic at a multiple of the step rate was refused above). Otherwise the measured step error
    // (summary.csv, and the sweep's warning) tells how well they are resolved.
    if (body_spec.exact_tide() && settings.method == Method::Time) {
        const std::size_t harmonics = model.tide_harmonics->size();
        if (static_cast<std::size_t>(body_spec.steps_per_period) <= 2 * harmonics)
            err << "warning: numerics.steps_per_period = " << body_spec.steps_per_period
                << " does not resolve the " << harmonics
                << " harmonics of the exact tide at eccentricity " << body_spec.eccentricity
                << " (the runs alias them, their periodic state may not exist); raise "
                   "numerics.steps_per_period above "
                << 2 * harmonics << '\n';
    }
    for (const std::string& line : implausible_values(body_spec))
        err << line << '\n';
    if (const auto unused = unused_rheology_parameters(body_spec)) err << *unused << '\n';
    // The steady method uses the exact laws; only the time integration their approximations.
    if (settings.method == Method::Time) {
        for (const std::string& note : law_approximation_notes(model))
            err << note << '\n';
        if (const auto note =
                cost_note(sweep_size(model, viscosities.count),
                          forecast_core_seconds(model, viscosities.count), settings.threads))
            err << *note << '\n';
    } else if (const auto note = cost_note(steady_sweep_size(model, viscosities.count),
                                           forecast_steady_core_seconds(model, viscosities.count),
                                           1)) {
        err << *note << '\n'; // a steady sweep runs on one thread
    }
    // Taken before anything is written: a second run into the same directory stops here.
    ResultDirectory dir(settings.output);
    write_run_inputs(dir, body_spec);
    if (settings.method == Method::Steady) {
        int computed = 0;
        const auto closing = write_steady_sweep(
            engine, dir, console, std::get<std::vector<double>>(maps), settings.map_step,
            [&] { return settings.interrupted() != 0; }, computed);
        if (!closing) {
            const int sig = settings.interrupted();
            err << "interrupted by signal " << sig << " after " << computed << " of "
                << viscosities.count << " viscosities (nothing published: kept in "
                << dir.path("*") << kPartialSuffix << "; earlier results untouched)\n";
            return kExitSignalBase + sig;
        }
        console.flush();
        if (console.failed())
            throw OutputError("cannot write the console output to standard output");
        for (const std::string& line : *closing)
            err << line << '\n';
        return kExitSuccess;
    }
    RunOutput output(dir, console, model, std::get<std::vector<double>>(series));
    const std::string partials = "kept in " + dir.path("*") + std::string(kPartialSuffix);
    ProgressLine progress(err, viscosities.count, settings.progress);
    int done = 0;
    progress.update(done);
    SweepSettings sweep;
    sweep.threads = settings.threads;
    sweep.plain = settings.plain;
    sweep.series = std::get<std::vector<double>>(series);
    sweep.steady = true;
    sweep.stop = [&] { return settings.interrupted() != 0; };
    bool complete = false;
    try {
        complete = engine.time(sweep, [&](ViscosityResults&& r) {
            // The console lines may go to the same terminal: they replace the progress line,
            // which is drawn again below them.
            progress.clear();
            output.add(r);
            progress.update(++done);
        });
        progress.clear();
        if (complete) {
            output.finish(engine.maps(std::get<std::vector<double>>(maps), Flavour::Discrete,
                                      settings.map_step));
            dir.publish();
        }
    } catch (const OutputError& e) {
        progress.clear();
        throw OutputError(std::string(e.what()) + " (after " + std::to_string(done) + " of " +
                          std::to_string(viscosities.count) + " viscosities, " + partials + ")");
    }
    if (!complete) {
        const int sig = settings.interrupted();
        err << "interrupted by signal " << sig << " after " << done << " of " << viscosities.count
            << " viscosities (" << partials << "; earlier results untouched)\n";
        return kExitSignalBase + sig;
    }
    // The result files are complete. A reader that closed the console chose to stop reading;
    // a console that could not take the lines (a full disk behind a redirection) is a failure.
    console.flush();
    if (console.failed()) throw OutputError("cannot write the console output to standard output");
    for (const std::string& line : output.closing_lines())
        err << line << '\n';
    return kExitSuccess;
}

} // namespace tidal
