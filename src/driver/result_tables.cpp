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
constexpr std::array<TableRheology, 2> kRheologies = {{
    {"maxwell", &ViscosityResults::maxwell},
    {"kelvin_voigt", &ViscosityResults::kelvin},
}};

std::array<std::string_view, kRheologies.size()> rheology_names() {
    std::array<std::string_view, kRheologies.size()> names{};
    for (std::size_t i = 0; i < kRheologies.size(); ++i)
        names[i] = kRheologies[i].name;
    return names;
}

} // namespace

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
    summary_.write(summary_header(rheology_names()));
    summary_.flush();
}

void ResultTables::add(const ViscosityResults& r, const std::array<double, 2>& tn) {
    const double eta = r.maxwell.eta;
    std::array<RheologySummary, kRheologies.size()> row{};
    for (std::size_t i = 0; i < kRheologies.size(); ++i) {
        const RunRecords& run = r.*kRheologies[i].run;
        row[i] = {run.pcelk,    surface_heat_flux(run.pcelk, model_.body.rout),
                  run.urmin,    tn[i],
                  run.urthmax,  run.phase_lag_deg,
                  run.amplitude};
        power_[i].push_back(run.pcelk);
    }
    eta_.push_back(eta);
    summary_.write(summary_record(eta, row));
    summary_.flush();

    if (std::find(series_.begin(), series_.end(), eta) == series_.end()) return;
    std::array<const std::vector<double>*, kRheologies.size()> series{};
    for (std::size_t i = 0; i < kRheologies.size(); ++i)
        series[i] = &(r.*kRheologies[i].run).ursurf;
    dir_.open(series_file_name(eta))
        .rewrite(series_table(time_step(model_), model_.run.nperiod, rheology_names(), series));
}

void ResultTables::finish() {
    {
        const double rout = model_.body.rout;
        std::vector<PeakRecord> peaks;
        for (std::size_t i = 0; i < kRheologies.size(); ++i) {
            const Peak p = find_peak(eta_, power_[i]);
            PeakRecord rec{kRheologies[i].name, p.x, p.y, surface_heat_flux(p.y, rout), {}, {}, {}};
            if (p.refined_x) {
                rec.refined_viscosity = p.refined_x;
                rec.refined_power = p.refined_y;
                rec.refined_heat_flux = surface_heat_flux(*p.refined_y, rout);
            }
            peaks.push_back(rec);
        }
        dir_.open("peaks.csv").rewrite(peaks_table(peaks));
    }
}

} // namespace tidal
