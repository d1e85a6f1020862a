#include "driver/result_tables.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "loads/diagnostics.hpp"
#include "output/peak.hpp"
#include "output/result_file.hpp"

namespace tidal {

namespace {

// The rheologies of the tables, in column order: a name and where its run's records are.
struct TableRheology {
    std::string_view name;
    RunRecords ViscosityResults::*run;
};
constexpr std::array<TableRheology, kTableRheologies> kRheologies = {{
    {"maxwell", &ViscosityResults::maxwell},
    {"kelvin_voigt", &ViscosityResults::kelvin},
}};

} // namespace

std::array<std::string_view, kTableRheologies> table_rheologies() {
    std::array<std::string_view, kTableRheologies> names{};
    for (std::size_t i = 0; i < kRheologies.size(); ++i)
        names[i] = kRheologies[i].name;
    return names;
}

std::array<RheologySummary, kTableRheologies>
summary_row(const ViscosityResults& r, const std::array<double, kTableRheologies>& tn,
            double rout) {
    std::array<RheologySummary, kTableRheologies> row{};
    for (std::size_t i = 0; i < kRheologies.size(); ++i) {
        const RunRecords& run = r.*kRheologies[i].run;
        row[i] = {run.pcelk,   surface_heat_flux(run.pcelk, rout),
                  run.urmin,   tn[i],
                  run.urthmax, run.phase_lag_deg,
                  run.amplitude};
    }
    return row;
}

std::array<const std::vector<double>*, kTableRheologies> series_of(const ViscosityResults& r) {
    std::array<const std::vector<double>*, kTableRheologies> series{};
    for (std::size_t i = 0; i < kRheologies.size(); ++i)
        series[i] = &(r.*kRheologies[i].run).ursurf;
    return series;
}

std::vector<PeakRecord> sweep_peaks(const std::vector<double>& eta,
                                    const std::vector<std::vector<double>>& power, double rout) {
    std::vector<PeakRecord> peaks;
    for (std::size_t i = 0; i < kRheologies.size(); ++i) {
        const Peak p = find_peak(eta, power[i]);
        PeakRecord rec{kRheologies[i].name, p.x, p.y, surface_heat_flux(p.y, rout), {}, {}, {}};
        if (p.refined_x) {
            rec.refined_viscosity = p.refined_x;
            rec.refined_power = p.refined_y;
            rec.refined_heat_flux = surface_heat_flux(*p.refined_y, rout);
        }
        peaks.push_back(rec);
    }
    return peaks;
}

std::variant<std::vector<double>, std::string>
series_viscosities(const ViscositySweep& sweep, const std::vector<double>& asked) {
    std::vector<double> out;
    for (const double eta : asked) {
        const auto swept = nearest_swept_viscosity(sweep, eta);
        if (!swept) {
            std::ostringstream msg;
            msg << "option --series " << eta << " lies outside the swept viscosities "
                << sweep.viscosity(sweep.first_k) << " .. "
                << sweep.viscosity(sweep.first_k + sweep.count - 1) << " Pa s of this body";
            return msg.str();
        }
        if (std::find(out.begin(), out.end(), *swept) == out.end()) out.push_back(*swept);
    }
    return out;
}

ResultTables::ResultTables(ResultDirectory& dir, const ShellModel& model,
                           std::vector<double> series)
    : dir_(dir), model_(model), series_(std::move(series)), summary_(dir.open("summary.csv")),
      power_(kRheologies.size()) {
    summary_.write(summary_header(table_rheologies()));
    summary_.flush();
}

void ResultTables::add(const ViscosityResults& r, const std::array<double, 2>& tn) {
    const double eta = r.maxwell.eta;
    const auto row = summary_row(r, tn, model_.body.rout);
    for (std::size_t i = 0; i < kRheologies.size(); ++i)
        power_[i].push_back(row[i].power);
    eta_.push_back(eta);
    summary_.write(summary_record(eta, row));
    summary_.flush();

    if (std::find(series_.begin(), series_.end(), eta) == series_.end()) return;
    dir_.open(series_file_name(eta))
        .rewrite(series_table(time_step(model_), model_.run.nperiod, table_rheologies(),
                              series_of(r)));
}

void ResultTables::finish() {
    dir_.open("peaks.csv").rewrite(peaks_table(sweep_peaks(eta_, power_, model_.body.rout)));
}

} // namespace tidal
