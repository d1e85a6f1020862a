#include "driver/run_output.hpp"

#include <string>

#include "body/body_file.hpp"
#include "driver/program.hpp"
#include "output/record.hpp"
#include "output/result_file.hpp"

namespace tidal {

namespace {

// The legacy file suffix of every rheology, in list order.
std::vector<std::string_view> legacy_suffixes() {
    std::vector<std::string_view> out;
    for (const RheologyNames& r : kRheologies)
        out.push_back(r.legacy_suffix);
    return out;
}

// Writes the records of the run of rheology `i` (list order); `tn` is the phase written for it.
// The console shows the viscosity before the first rheology's power.
void write_run(ResultSet& files, Console& console, const RunRecords& r, std::size_t i,
               double tn) {
    // Each run replaces the series file; runs that kept no series (all but the last of a
    // batch) would be replaced at once by a later one.
    if (!r.ursurf.empty()) files.series(i, r.ursurf);
    files.summary(LegacyQuantity::MinSurface, i, r.eta, r.urmin);
    files.summary(LegacyQuantity::Phase, i, r.eta, tn);
    files.summary(LegacyQuantity::Equator, i, r.eta, r.urthmax);
    if (i == 0) console.write(Record().text("viscosity ").real(r.eta).line());
    console.write(Record().real(r.pcelk).line());
    files.summary(LegacyQuantity::Power, i, r.eta, r.pcelk);
}

} // namespace

std::array<double, kTableRheologies> written_phases(double& tn, const ViscosityResults& r) {
    // A run whose last period brings no new minimum repeats the phase written before it.
    std::array<double, kTableRheologies> written{};
    for (std::size_t i = 0; i < written.size(); ++i)
        written[i] = tn = carried_phase(tn, r.runs[i].tn);
    return written;
}

std::array<double, kTableRheologies> written_phases(double& tn, const SteadySweepRow& r) {
    std::array<double, kTableRheologies> written{};
    for (std::size_t i = 0; i < written.size(); ++i)
        written[i] = tn = carried_phase(tn, r.pairs[i].continuous.tn);
    return written;
}

void write_body_toml(ResultDirectory& dir, const BodySpec& body_spec) {
    dir.open("body.toml")
        .rewrite(write_body(body_spec, std::string("Body of this run, written by ") + kVersion +
                                      "; tidal --body-file body.toml repeats it"));
}

void write_steady_tables(ResultDirectory& dir, Console& console, const ShellModel& model,
                         std::span<const SteadySweepRow> rows) {
    ResultTables tables(dir, model, {});
    double tn = 0.0;
    for (const SteadySweepRow& row : rows) {
        const std::array<double, kTableRheologies> written = written_phases(tn, row);
        console.write(Record().text("viscosity ").real(row.eta).line());
        for (const SteadyPair& pair : row.pairs)
            console.write(Record().real(pair.continuous.power).line());
        tables.add_steady(row, written);
    }
    tables.finish();
}

RunOutput::RunOutput(ResultDirectory& dir, Console& console, const ShellModel& model,
                     std::vector<double> series)
    : console_(console), files_(dir, legacy_suffixes()), tables_(dir, model, std::move(series)) {}

void RunOutput::add(const ViscosityResults& r) {
    const std::array<double, kTableRheologies> tn = written_phases(tn_, r);
    for (std::size_t i = 0; i < kRheologyCount; ++i)
        write_run(files_, console_, r.runs[i], i, tn[i]);
    console_.flush();
    tables_.add(r, tn);
}

} // namespace tidal
