#include "driver/run_output.hpp"

#include <string>

#include "body/body_file.hpp"
#include "driver/program.hpp"
#include "output/record.hpp"
#include "output/result_file.hpp"

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

// Writes the records of one run; `tn` is the phase written for it.
void write_run(ResultSet& files, Console& console, const RunRecords& r, const RunFiles& to,
               double tn) {
    // Each run replaces the series file; runs that kept no series (all but the last of a
    // batch) would be replaced at once by a later one.
    if (!r.ursurf.empty()) files.series(to.series, r.ursurf);
    files.summary(to.min_surface, r.eta, r.urmin);
    files.summary(to.phase, r.eta, tn);
    files.summary(to.equator, r.eta, r.urthmax);
    if (to.viscosity_line) console.write(Record().text("viscosity ").real(r.eta).line());
    console.write(Record().real(r.pcelk).line());
    files.summary(to.power, r.eta, r.pcelk);
}

} // namespace

std::array<double, 2> written_phases(double& tn, const ViscosityResults& r) {
    // A run whose last period brings no new minimum repeats the phase written before it.
    std::array<double, 2> written{};
    written[0] = tn = carried_phase(tn, r.maxwell.tn);
    written[1] = tn = carried_phase(tn, r.kelvin.tn);
    return written;
}

std::array<double, 2> written_phases(double& tn, const SteadySweepRow& r) {
    std::array<double, 2> written{};
    written[0] = tn = carried_phase(tn, r.maxwell.continuous.tn);
    written[1] = tn = carried_phase(tn, r.kelvin_voigt.continuous.tn);
    return written;
}

void write_body_toml(ResultDirectory& dir, const BodySpec& spec) {
    dir.open("body.toml")
        .rewrite(write_body(spec, std::string("Body of this run, written by ") + kVersion +
                                      "; tidal --body-file body.toml repeats it"));
}

void write_steady_tables(ResultDirectory& dir, Console& console, const ShellModel& model,
                         std::span<const SteadySweepRow> rows) {
    ResultTables tables(dir, model, {});
    double tn = 0.0;
    for (const SteadySweepRow& row : rows) {
        const std::array<double, 2> written = written_phases(tn, row);
        console.write(Record().text("viscosity ").real(row.eta).line());
        console.write(Record().real(row.maxwell.continuous.power).line());
        console.write(Record().real(row.kelvin_voigt.continuous.power).line());
        tables.add_steady(row, written);
    }
    tables.finish();
}

RunOutput::RunOutput(ResultDirectory& dir, Console& console, const ShellModel& model,
                     std::vector<double> series)
    : console_(console), files_(dir), tables_(dir, model, std::move(series)) {}

void RunOutput::add(const ViscosityResults& r) {
    const std::array<double, 2> tn = written_phases(tn_, r);
    write_run(files_, console_, r.maxwell, kMaxwellFiles, tn[0]);
    write_run(files_, console_, r.kelvin, kKelvinFiles, tn[1]);
    console_.flush();
    tables_.add(r, tn);
}

} // namespace tidal
