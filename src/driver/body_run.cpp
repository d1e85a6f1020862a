#include "driver/body_run.hpp"

#include "body/body_check.hpp"
#include "body/body_file.hpp"
#include "body/make_body.hpp"
#include "driver/program.hpp"
#include "output/record.hpp"

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

RunConstants run_constants(const BodySpec& spec) {
    RunConstants run;
    run.nperiod = spec.steps_per_period;
    run.nsteps = spec.periods * spec.steps_per_period;
    return run;
}

} // namespace

ViscositySweep viscosity_sweep(const BodySpec& spec) {
    const SweepIndices k =
        sweep_indices(spec.log10_viscosity_min, spec.log10_viscosity_max, spec.steps_per_decade);
    return ViscositySweep{static_cast<int>(k.first_k), static_cast<int>(k.count()),
                          spec.steps_per_decade};
}

ShellModel body_model(const BodySpec& spec) {
    return make_shell_model(make_body(spec), run_constants(spec));
}

bool write_body_toml(ResultDirectory& dir, const BodySpec& spec) {
    dir.open("body.toml")
        .rewrite(write_body(spec, std::string("Body of this run, written by ") + kVersion +
                                      "; tidal --body-file body.toml repeats it"));
    return true;
}

BodyResults::BodyResults(const BodySpec& spec, const ShellModel& model, const std::string& dir,
                         std::vector<double> series, Console& console)
    // The directory is taken before anything is written: a second run into it stops here.
    // The files are opened (and published) in the order of the members.
    : dir_(dir), files_(dir_), body_toml_(write_body_toml(dir_, spec)),
      tables_(dir_, model, std::move(series)), console_(console) {}

void BodyResults::add(const ViscosityResults& r) {
    std::array<double, 2> written{};
    write_run(files_, console_, r.maxwell, kMaxwellFiles, tn_);
    written[0] = tn_;
    write_run(files_, console_, r.kelvin, kKelvinFiles, tn_);
    written[1] = tn_;
    console_.flush();
    tables_.add(r, written);
}

void BodyResults::finish() {
    tables_.finish();
    dir_.publish();
}

std::string BodyResults::partials() const {
    return "kept in " + dir_.path("*") + std::string(kPartialSuffix);
}

} // namespace tidal
