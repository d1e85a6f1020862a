#include "driver/program.hpp"

#include <array>
#include <ostream>

#include "driver/bodies.hpp"
#include "driver/menu.hpp"
#include "driver/progress.hpp"
#include "driver/result_tables.hpp"
#include "driver/sweep.hpp"
#include "output/record.hpp"
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
void write_run(ResultSet& files, std::ostream& console, const RunRecords& r, const RunFiles& to,
               double& tn) {
    // Each run replaces the series file; runs that kept no series (all but the last of a
    // batch) would be replaced at once by a later one.
    if (!r.ursurf.empty()) files.series(to.series, r.ursurf);
    if (r.tn) tn = *r.tn;
    files.summary(to.min_surface, r.eta, r.urmin);
    files.summary(to.phase, r.eta, tn);
    files.summary(to.equator, r.eta, r.urthmax);
    if (to.viscosity_line) console << Record().text("viscosity ").real(r.eta).line();
    console << Record().real(r.pcelk).line();
    files.summary(to.power, r.eta, r.pcelk);
}

// Writes the records of one viscosity, Maxwell run first; returns the `tn` of both runs.
std::array<double, 2> write_viscosity(ResultSet& files, std::ostream& console,
                                      const ViscosityResults& r, double& tn) {
    std::array<double, 2> written{};
    write_run(files, console, r.maxwell, kMaxwellFiles, tn);
    written[0] = tn;
    write_run(files, console, r.kelvin, kKelvinFiles, tn);
    written[1] = tn;
    console.flush();
    return written;
}

} // namespace

int run_program(std::istream& in, std::ostream& out, std::ostream& err,
                const ProgramSettings& settings) {
    int choice = 0;
    if (settings.body) {
        choice = *settings.body;
    } else {
        write_menu(out);
        const auto read = read_choice(in);
        // A signal while waiting for the choice ends the read; it is not a bad choice.
        if (const int sig = settings.interrupted()) return kExitSignalBase + sig;
        if (const auto* e = std::get_if<ChoiceError>(&read)) {
            err << "error: " << e->message << '\n';
            return kExitBadChoice;
        }
        choice = std::get<int>(read);
    }
    const Body body = *preset_body(choice);
    const auto series = series_viscosities(body, settings.series);
    if (const auto* e = std::get_if<std::string>(&series)) {
        err << "error: " << *e << '\n';
        return kExitBadChoice;
    }

    const ShellModel model = make_shell_model(body);
    ResultSet files(settings.output);
    ResultTables tables(settings.output, model, std::get<std::vector<double>>(series));
    double tn = 0.0;
    ProgressLine progress(err, sweep_length(body), settings.progress);
    int done = 0;
    progress.update(done);
    SweepSettings sweep;
    sweep.threads = settings.threads;
    sweep.plain = settings.plain;
    sweep.series = std::get<std::vector<double>>(series);
    sweep.stop = [&] { return settings.interrupted() != 0; };
    const bool complete = run_sweep(model, sweep, [&](ViscosityResults&& r) {
        // The console lines may go to the same terminal: they replace the progress line,
        // which is drawn again below them.
        progress.clear();
        tables.add(r, write_viscosity(files, out, r, tn));
        progress.update(++done);
    });
    progress.clear();
    files.close();
    tables.finish(complete);
    if (!complete) {
        const int sig = settings.interrupted();
        err << "interrupted by signal " << sig << " after " << done << " of " << sweep_length(body)
            << " viscosities; the result files hold the completed ones\n";
        return kExitSignalBase + sig;
    }
    // The result files are complete; a console that could not take the per-viscosity lines
    // (a full disk behind a redirection, say) is still a failure to report.
    out.flush();
    if (!out) throw OutputError("cannot write the console output to standard output");
    return kExitSuccess;
}

} // namespace tidal
