#include "files/run_output.hpp"

#include <cmath>
#include <initializer_list>
#include <string>

#include "files/body_file.hpp"
#include "model/orbit_tide.hpp"
#include "files/netcdf_output.hpp"
#include "files/version.hpp"
#include "files/record.hpp"
#include "files/result_file.hpp"

namespace tidal {

namespace {

// The legacy file suffix of every model that writes legacy files, in list order.
std::vector<std::string_view> legacy_suffixes(const TableRheologies& models) {
    std::vector<std::string_view> out;
    for (const Rheology m : models)
        if (kRheologies[index_of(m)].legacy_files) out.push_back(kRheologies[index_of(m)].legacy_suffix);
    return out;
}

// Writes the legacy records of a run into the files of legacy rheology `i` (of those the
// body's models write); `tn` is the phase written for it.
void write_legacy_run(ResultSet& files, const RunRecords& r, std::size_t i, double tn) {
    // Each run replaces the series file; runs that kept no series (all but the last of a
    // batch) would be replaced at once by a later one.
    if (!r.ursurf.empty()) files.series(i, r.ursurf);
    files.summary(LegacyQuantity::MinSurface, i, r.eta, r.period.urmin);
    files.summary(LegacyQuantity::Phase, i, r.eta, tn);
    files.summary(LegacyQuantity::Equator, i, r.eta, r.period.urthmax);
}

} // namespace

std::vector<double> written_phases(double& tn, const ViscosityPeriods& v) {
    // A period that brings no new minimum repeats the phase written before it.
    std::vector<double> written;
    for (const PeriodRecord* p : v.period)
        written.push_back(tn = carried_phase(tn, p->tn));
    return written;
}

void write_body_toml(ResultDirectory& dir, const Body& body_spec) {
    dir.open("body.toml")
        .rewrite(write_body(body_spec, std::string("Body of this run, written by ") + kVersion +
                                      "; tidal --body-file body.toml repeats it"));
}

void write_tide_harmonics(ResultDirectory& dir, const Body& body_spec) {
    const double n = body_spec.angular_frequency();
    const auto harmonics = OrbitTide(body_spec)
                               .harmonics(kTideHarmonicTolerance, kTideHarmonicCap);
    // Amplitudes of W/r^2, 1/s^2: |W20| = sqrt(pi/5) n^2 |order0| for order 0, and for order 2
    // the root of the squares of the cosine and sine parts' sqrt(3pi/10) n^2 coefficients.
    std::string text = "harmonic,frequency_rad_s,order,amplitude_per_s2\n";
    if (body_spec.oblique()) {
        // An oblique body's harmonics have both parities, and the order-1 pair: its rows say
        // order 1, with |W21| = sqrt(6pi/5) n^2 times the root of its four parts' squares.
        for (const TideHarmonic& h : harmonics) {
            const std::string head = std::to_string(h.h) + "," + toml_real(h.h * n) + ",";
            const auto root = [](std::initializer_list<double> v) {
                double s = 0.0;
                for (const double x : v)
                    s += x * x;
                return std::sqrt(s);
            };
            text += head + "0," +
                    toml_real(std::sqrt(kPi / 5.0) * (n * n) * root({h.order0, h.order0_sin})) + "\n";
            text += head + "1," +
                    toml_real(std::sqrt(6.0 * kPi / 5.0) * (n * n) *
                              root({h.cosine1_cos, h.cosine1_sin, h.sine1_cos, h.sine1_sin})) +
                    "\n";
            text += head + "2," +
                    toml_real(std::sqrt(3.0 * kPi / 10.0) * (n * n) *
                              root({h.cosine, h.cosine_sin, h.sine_cos, h.sine})) +
                    "\n";
        }
        dir.open("tide.csv").rewrite(text);
        return;
    }
    for (const TideHarmonic& h : harmonics) {
        const std::string head = std::to_string(h.h) + "," + toml_real(h.h * n) + ",";
        text += head + "0," + toml_real(std::sqrt(kPi / 5.0) * (n * n) * std::fabs(h.order0)) + "\n";
        text += head + "2," +
                toml_real(std::sqrt(3.0 * kPi / 10.0) * (n * n) *
                          std::sqrt(h.cosine * h.cosine + h.sine * h.sine)) +
                "\n";
    }
    dir.open("tide.csv").rewrite(text);
}

void write_run_inputs(ResultDirectory& dir, const Body& body_spec) {
    write_body_toml(dir, body_spec);
    if (body_spec.exact_tide()) write_tide_harmonics(dir, body_spec);
}

std::vector<std::string> write_steady_tables(ResultDirectory& dir, LineSink& console,
                                             const ShellModel& model,
                                             std::span<const SteadySweepRow> rows,
                                             const std::vector<SweepMap>& maps, int* written,
                                             std::vector<SummaryRow>* summary) {
    ResultTables tables(dir, model, {});
    double tn = 0.0;
    for (const SteadySweepRow& row : rows) {
        const std::vector<double> phases = written_phases(tn, periods_of(row, model.body.models));
        if (!console.discards()) {
            console.write(Record().text("viscosity ").real(row.eta).line());
            for (const Rheology m : model.body.models)
                console.write(Record().real(row[m].continuous.power).line());
        }
        tables.add_steady(row, phases);
        if (written) ++*written;
    }
    tables.finish();
    write_maps(dir, model, maps);
    write_results_nc(dir, model, tables.rows(), maps, "steady");
    std::vector<std::string> closing = tables.closing_lines();
    if (summary) *summary = tables.take_rows();
    return closing;
}

RunOutput::RunOutput(ResultDirectory& dir, LineSink& console, const ShellModel& model,
                     std::vector<double> series)
    : dir_(dir), console_(console), model_(model), models_(model.body.models), files_(dir, legacy_suffixes(models_)),
      tables_(dir, model, std::move(series)) {}

void RunOutput::finish(const std::vector<SweepMap>& maps) {
    tables_.finish();
    write_maps(dir_, model_, maps);
    write_results_nc(dir_, model_, tables_.rows(), maps, "time");
}

void RunOutput::add(const ViscosityResults& r) {
    const std::vector<double> tn = written_phases(tn_, periods_of(r, models_));
    // Per model: its legacy records (the power last), the console showing the viscosity
    // before the first model's power.
    std::size_t legacy = 0;
    for (std::size_t i = 0; i < models_.size(); ++i) {
        const RunRecords& run = r[models_[i]];
        const bool files = kRheologies[index_of(models_[i])].legacy_files;
        if (files) write_legacy_run(files_, run, legacy, tn[i]);
        if (i == 0) console_.write(Record().text("viscosity ").real(run.eta).line());
        console_.write(Record().real(run.period.power).line());
        if (files) files_.summary(LegacyQuantity::Power, legacy++, run.eta, run.period.power);
    }
    console_.flush();
    tables_.add(r, tn);
}

} // namespace tidal
