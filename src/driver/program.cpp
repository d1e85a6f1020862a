#include "driver/program.hpp"

#include <array>
#include <ostream>

#include "body/body_check.hpp"
#include "body/body_file.hpp"
#include "body/make_body.hpp"
#include "body/presets.hpp"
#include "driver/console.hpp"
#include "driver/menu.hpp"
#include "driver/progress.hpp"
#include "driver/result_tables.hpp"
#include "driver/sweep.hpp"
#include "output/record.hpp"
#include "output/result_directory.hpp"
#include "output/result_file.hpp"
#include "output/result_set.hpp"

namespace tidal {

namespace {

// Where the records of one rheology's run go.
struct RunFiles {
    std::string_view series;
    Summary min_surface, phase, equator, power;
    bool viscosity_line; // the console shows the viscosity before this run's power
};
constexpr RunFiles kMaxwellFiles{kSeriesMaxwell,        Summary::MinSurfaceMaxwell,
                                 Summary::PhaseMaxwell, Summary::EquatorMaxwell,
                                 Summary::PowerMaxwell, true};
constexpr RunFiles kKelvinFiles{kSeriesKelvin,        Summary::MinSurfaceKelvin,
                                Summary::PhaseKelvin, Summary::EquatorKelvin,
                                Summary::PowerKelvin, false};

// Writes the records of one run. `tn` is the phase of the last recorded minimum, carried
// from run to run: a run whose last period brings no new minimum repeats it.
void write_run(ResultSet& files, Console& console, const RunRecords& r, const RunFiles& to,
               double& tn) {
    // Each run replaces the series file; runs that kept no series (all but the last of a
    // batch) would be replaced at once by a later one.
    if (!r.ursurf.empty()) files.series(to.series, r.ursurf);
    tn = carried_phase(tn, r.tn);
    files.summary(to.min_surface, r.eta, r.urmin);
    files.summary(to.phase, r.eta, tn);
    files.summary(to.equator, r.eta, r.urthmax);
    if (to.viscosity_line) console.write(Record().text("viscosity ").real(r.eta).line());
    console.write(Record().real(r.pcelk).line());
    files.summary(to.power, r.eta, r.pcelk);
}

// Writes the records of one viscosity, Maxwell run first; returns the `tn` of both runs.
std::array<double, 2> write_viscosity(ResultSet& files, Console& console,
                                      const ViscosityResults& r, double& tn) {
    std::array<double, 2> written{};
    write_run(files, console, r.maxwell, kMaxwellFiles, tn);
    written[0] = tn;
    write_run(files, console, r.kelvin, kKelvinFiles, tn);
    written[1] = tn;
    console.flush();
    return written;
}

// The sweep of a checked body.
ViscositySweep viscosity_sweep(const BodySpec& spec) {
    const SweepIndices k =
        sweep_indices(spec.log10_viscosity_min, spec.log10_viscosity_max, spec.steps_per_decade);
    return ViscositySweep{static_cast<int>(k.first_k), static_cast<int>(k.count()),
                          spec.steps_per_decade};
}

RunConstants run_constants(const BodySpec& spec) {
    RunConstants run;
    run.nperiod = spec.steps_per_period;
    run.nsteps = spec.periods * spec.steps_per_period;
    return run;
}

// The sweep from the exact-in-time periodic state alone: summary.csv and peaks.csv beside
// body.toml, no legacy files (they describe a time integration). The console shows the lines
// of a time sweep, with the periodic state's powers.
void write_steady_sweep(const ShellModel& model, const ViscositySweep& viscosities,
                        ResultDirectory& dir, Console& console) {
    std::vector<double> etas;
    for (int i = 0; i < viscosities.count; ++i)
        etas.push_back(viscosities.viscosity(viscosities.first_k + i));
    ResultTables tables(dir, model, {});
    double tn = 0.0;
    for (const SteadySweepRow& row : steady_sweep(model, etas, SteadyFlavours::Continuous)) {
        std::array<double, 2> written{};
        written[0] = tn = carried_phase(tn, row.maxwell.continuous.tn);
        written[1] = tn = carried_phase(tn, row.kelvin_voigt.continuous.tn);
        console.write(Record().text("viscosity ").real(row.eta).line());
        console.write(Record().real(row.maxwell.continuous.power).line());
        console.write(Record().real(row.kelvin_voigt.continuous.power).line());
        tables.add_steady(row, written);
    }
    tables.finish();
    dir.publish();
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
    BodySpec spec;
    if (settings.body_spec) {
        spec = *settings.body_spec;
    } else if (settings.overrides.empty()) {
        spec = preset(choice).spec;
    } else {
        auto changed = override_body(preset(choice).spec, "body " + std::to_string(choice),
                                     settings.overrides);
        if (const auto* e = std::get_if<BodyError>(&changed)) {
            err << "error: " << e->message << '\n';
            return kExitBadChoice;
        }
        spec = std::get<BodySpec>(std::move(changed));
    }
    const ViscositySweep viscosities = viscosity_sweep(spec);
    const auto series = series_viscosities(viscosities, settings.series);
    if (const auto* e = std::get_if<std::string>(&series)) {
        err << "error: " << *e << '\n';
        return kExitBadChoice;
    }
    if (settings.method == Method::Steady && !settings.series.empty()) {
        err << "error: option --series needs the time method: the steady state has no series\n";
        return kExitBadChoice;
    }

    const ShellModel model = make_shell_model(make_body(spec), run_constants(spec));
    // Taken before anything is written: a second run into the same directory stops here.
    ResultDirectory dir(settings.output);
    dir.open("body.toml")
        .rewrite(write_body(spec, std::string("Body of this run, written by ") + kVersion +
                                      "; tidal --body-file body.toml repeats it"));
    if (settings.method == Method::Steady) {
        write_steady_sweep(model, viscosities, dir, console);
        console.flush();
        if (console.failed())
            throw OutputError("cannot write the console output to standard output");
        return kExitSuccess;
    }
    ResultSet files(dir);
    ResultTables tables(dir, model, std::get<std::vector<double>>(series));
    const std::string partials = "kept in " + dir.path("*") + std::string(kPartialSuffix);
    double tn = 0.0;
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
        complete = run_sweep(model, viscosities, sweep, [&](ViscosityResults&& r) {
            // The console lines may go to the same terminal: they replace the progress line,
            // which is drawn again below them.
            progress.clear();
            tables.add(r, write_viscosity(files, console, r, tn));
            progress.update(++done);
        });
        progress.clear();
        if (complete) {
            tables.finish();
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
    if (const auto warning = tables.transient_warning()) err << *warning << '\n';
    // The result files are complete. A reader that closed the console chose to stop reading;
    // a console that could not take the lines (a full disk behind a redirection) is a failure.
    console.flush();
    if (console.failed()) throw OutputError("cannot write the console output to standard output");
    return kExitSuccess;
}

} // namespace tidal
