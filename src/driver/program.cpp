#include "driver/program.hpp"

#include <ostream>

#include "driver/bodies.hpp"
#include "driver/menu.hpp"
#include "driver/sweep.hpp"
#include "output/record.hpp"
#include "output/result_file.hpp"
#include "output/result_set.hpp"

namespace tidal {

namespace {

// Writes the records of one viscosity, Maxwell run first. `tn` is the phase of the last
// recorded minimum, carried from run to run: a run whose last period brings no new minimum
// repeats it.
void write_viscosity(ResultSet& files, std::ostream& console, const ViscosityResults& r,
                     double& tn) {
    const RunRecords& m = r.maxwell;
    files.series(kSeriesMaxwell, m.ursurf);
    if (m.tn) tn = *m.tn;
    files.summary(Summary::MinSurfaceMaxwell, m.eta, m.urmin);
    files.summary(Summary::PhaseMaxwell, m.eta, tn);
    files.summary(Summary::EquatorMaxwell, m.eta, m.urthmax);
    console << Record().text("viscosity ").real(m.eta).line();
    console << Record().real(m.pcelk).line();
    files.summary(Summary::PowerMaxwell, m.eta, m.pcelk);

    const RunRecords& kv = r.kelvin;
    files.series(kSeriesKelvin, kv.ursurf);
    if (kv.tn) tn = *kv.tn;
    files.summary(Summary::MinSurfaceKelvin, kv.eta, kv.urmin);
    files.summary(Summary::PhaseKelvin, kv.eta, tn);
    files.summary(Summary::EquatorKelvin, kv.eta, kv.urthmax);
    console << Record().real(kv.pcelk).line();
    files.summary(Summary::PowerKelvin, kv.eta, kv.pcelk);
    console.flush();
}

} // namespace

int run_program(std::istream& in, std::ostream& out, std::ostream& err, int threads) {
    write_menu(out);
    const auto choice = read_choice(in);
    if (const auto* e = std::get_if<ChoiceError>(&choice)) {
        err << "error: " << e->message << '\n';
        return kExitBadChoice;
    }
    const Body body = *preset_body(std::get<int>(choice));

    const ShellModel model = make_shell_model(body);
    ResultSet files;
    double tn = 0.0;
    run_sweep(model, threads, [&](ViscosityResults&& r) { write_viscosity(files, out, r, tn); });
    files.close();
    // The result files are complete; a console that could not take the per-viscosity lines
    // (a full disk behind a redirection, say) is still a failure to report.
    out.flush();
    if (!out) throw OutputError("cannot write the console output to standard output");
    return kExitSuccess;
}

} // namespace tidal
