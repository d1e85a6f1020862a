#include "driver/program.hpp"

#include <ostream>

#include "body/body_file.hpp"
#include "body/presets.hpp"
#include "driver/body_run.hpp"
#include "driver/menu.hpp"
#include "driver/progress.hpp"
#include "output/result_file.hpp"

namespace tidal {

int run_program(std::istream& in, std::ostream& out, std::ostream& err,
                const ProgramSettings& settings) {
    int choice = 0;
    if (settings.body_spec) {
        // A body file, already read.
    } else if (settings.body) {
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

    const ShellModel model = body_model(spec);
    BodyResults files(spec, settings.output, out);
    ProgressLine progress(err, viscosities.count, settings.progress);
    int done = 0;
    progress.update(done);
    SweepSettings sweep;
    sweep.threads = settings.threads;
    sweep.plain = settings.plain;
    sweep.stop = [&] { return settings.interrupted() != 0; };
    const bool complete = run_sweep(model, viscosities, sweep, [&](ViscosityResults&& r) {
        // The console lines may go to the same terminal: they replace the progress line,
        // which is drawn again below them.
        progress.clear();
        files.add(r);
        progress.update(++done);
    });
    progress.clear();
    files.close();
    if (!complete) {
        const int sig = settings.interrupted();
        err << "interrupted by signal " << sig << " after " << done << " of " << viscosities.count
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
