#include "driver/result_tables.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "loads/diagnostics.hpp"
#include "output/peak.hpp"
#include "output/result_file.hpp"

namespace tidal {

namespace {

// The rheologies of the tables, in column order: a name and where its run's records are.
struct TableRheology {
    std::string_view name, title;
    RunRecords ViscosityResults::*run;
    SteadyPair SteadySweepRow::*steady;
};
constexpr std::array<TableRheology, 2> kRheologies = {{
    {"maxwell", "Maxwell", &ViscosityResults::maxwell, &SteadySweepRow::maxwell},
    {"kelvin_voigt", "Kelvin-Voigt", &ViscosityResults::kelvin, &SteadySweepRow::kelvin_voigt},
}};
using PerRheology = std::array<RheologySummary, kRheologies.size()>;
using SteadyPerRheology = std::array<SteadySummary, kRheologies.size()>;

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

void ResultTables::add_row(double eta, std::span<const RheologySummary> row,
                           std::span<const SteadySummary> steady) {
    for (std::size_t i = 0; i < kRheologies.size(); ++i)
        power_[i].push_back(row[i].power);
    eta_.push_back(eta);
    summary_.write(summary_record(eta, row, steady));
    summary_.flush();
}

void ResultTables::add(const ViscosityResults& r, const std::array<double, 2>& tn) {
    const double eta = r.maxwell.eta;
    PerRheology row{};
    SteadyPerRheology steady{};
    bool over = false;
    for (std::size_t i = 0; i < kRheologies.size(); ++i) {
        const RunRecords& run = r.*kRheologies[i].run;
        row[i] = {run.pcelk,    surface_heat_flux(run.pcelk, model_.body.rout),
                  run.urmin,    tn[i],
                  run.urthmax,  run.phase_lag_deg,
                  run.amplitude};
        if (!r.steady) continue;
        const SteadyPair& pair = (*r.steady).*kRheologies[i].steady;
        const double off = transient(run.pcelk, pair);
        steady[i] = {pair.continuous.power, pair.continuous.phase_lag_deg, off, step_error(pair)};
        if (std::fabs(off) > kTransientLimit) over = true;
        if (std::fabs(off) > std::fabs(worst_transient_)) {
            worst_transient_ = off;
            worst_eta_ = eta;
            worst_rheology_ = kRheologies[i].title;
        }
    }
    if (over) ++transient_count_;
    add_row(eta, row, steady);

    if (std::find(series_.begin(), series_.end(), eta) == series_.end()) return;
    std::array<const std::vector<double>*, kRheologies.size()> series{};
    for (std::size_t i = 0; i < kRheologies.size(); ++i)
        series[i] = &(r.*kRheologies[i].run).ursurf;
    dir_.open(series_file_name(eta))
        .rewrite(series_table(time_step(model_), model_.run.nperiod, rheology_names(), series));
}

void ResultTables::add_steady(const SteadySweepRow& r, const std::array<double, 2>& tn) {
    PerRheology row{};
    SteadyPerRheology steady{};
    for (std::size_t i = 0; i < kRheologies.size(); ++i) {
        const SteadyRecords& s = (r.*kRheologies[i].steady).continuous;
        row[i] = {s.power, surface_heat_flux(s.power, model_.body.rout), s.urmin, tn[i],
                  s.urthmax, s.phase_lag_deg, s.amplitude};
        steady[i] = {s.power, s.phase_lag_deg, std::nullopt, std::nullopt};
    }
    add_row(r.eta, row, steady);
}

// Two significant digits in the compact exponent form of a message: -3.1e-3, 1.1e14.
std::string two_digits(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1e", v);
    std::string s(buf);
    const auto e = s.find('e');
    std::string exponent = s.substr(e + 1);
    const bool negative = exponent[0] == '-';
    exponent.erase(0, exponent.find_first_not_of("+-0"));
    return s.substr(0, e) + "e" + (negative ? "-" : "") + (exponent.empty() ? "0" : exponent);
}

std::optional<std::string> ResultTables::transient_warning() const {
    if (transient_count_ == 0) return std::nullopt;
    std::ostringstream msg;
    msg << "warning: " << transient_count_ << " of " << eta_.size()
        << " viscosities are more than " << two_digits(kTransientLimit)
        << " from their periodic state after " << model_.run.nsteps / model_.run.nperiod
        << " periods (worst: " << worst_rheology_ << " at " << two_digits(worst_eta_) << " Pa s, "
        << two_digits(worst_transient_) << "); raise numerics.periods";
    return msg.str();
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
