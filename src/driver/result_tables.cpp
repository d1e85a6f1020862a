#include "driver/result_tables.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "loads/diagnostics.hpp"
#include "loads/heating_profile.hpp"
#include "output/peak.hpp"
#include "output/result_file.hpp"

namespace tidal {

std::vector<std::string_view> table_names(const TableRheologies& models) {
    std::vector<std::string_view> names;
    for (const Rheology r : models)
        names.push_back(kRheologies[index_of(r)].name);
    return names;
}

namespace {

LoveSummary love_summary(const LoveNumbers& love) {
    return {love.h2.real(), love.h2.imag(), love.k2.real(),
            love.k2.imag(), minus_im_k2(love), tidal_q(love)};
}

std::vector<ProfileRecord> profile_of(const std::vector<double>& layer_heating,
                                      const ShellModel& model) {
    std::vector<ProfileRecord> out;
    int layer = 0;
    for (const ProfileLayer& l : heating_profile(layer_heating, vec1(model.grid.r)))
        out.push_back({++layer, l.outer_radius, l.inner_radius, l.heating, l.power});
    return out;
}

} // namespace

SummaryRow summary_row(const ViscosityResults& r, const ShellModel& model,
                       const std::vector<double>& tn) {
    const TableRheologies& models = model.body.models;
    const double rout = model.body.rout;
    SummaryRow row;
    row.eta = r[models.front()].eta;
    row.values.resize(models.size());
    row.steady.resize(models.size());
    for (std::size_t i = 0; i < models.size(); ++i) {
        const RunRecords& run = r[models[i]];
        row.values[i] = {run.pcelk,   surface_heat_flux(run.pcelk, rout),
                         run.urmin,   tn[i],
                         run.urthmax, run.phase_lag_deg,
                         run.amplitude};
        row.love.push_back(love_summary(run.love));
        row.profile.push_back(profile_of(run.layer_heating, model));
        if (!r.steady) continue;
        const SteadyPair& pair = (*r.steady)[models[i]];
        row.steady[i] = {pair.continuous.power, pair.continuous.phase_lag_deg,
                         transient(run.pcelk, pair), step_error(pair)};
    }
    return row;
}

SummaryRow steady_summary_row(const SteadySweepRow& r, const ShellModel& model,
                              const std::vector<double>& tn) {
    const TableRheologies& models = model.body.models;
    const double rout = model.body.rout;
    SummaryRow row;
    row.eta = r.eta;
    row.values.resize(models.size());
    row.steady.resize(models.size());
    for (std::size_t i = 0; i < models.size(); ++i) {
        const SteadyRecords& s = r[models[i]].continuous;
        row.values[i] = {s.power,   surface_heat_flux(s.power, rout),
                         s.urmin,   tn[i],
                         s.urthmax, s.phase_lag_deg,
                         s.amplitude};
        row.steady[i] = {s.power, s.phase_lag_deg, std::nullopt, std::nullopt};
        row.love.push_back(love_summary(s.love));
        row.profile.push_back(profile_of(s.layer_heating, model));
    }
    return row;
}

std::vector<const std::vector<double>*> series_of(const ViscosityResults& r,
                                                  const TableRheologies& models) {
    std::vector<const std::vector<double>*> series;
    for (const Rheology m : models)
        series.push_back(&r[m].ursurf);
    return series;
}

std::vector<PeakRecord> sweep_peaks(const TableRheologies& models, const std::vector<double>& eta,
                                    const std::vector<std::vector<double>>& power, double rout) {
    std::vector<PeakRecord> peaks;
    for (std::size_t i = 0; i < models.size(); ++i) {
        const Peak p = find_peak(eta, power[i]);
        PeakRecord rec{kRheologies[index_of(models[i])].name, p.x, p.y,
                       surface_heat_flux(p.y, rout), {}, {}, {}};
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
series_viscosities(const ViscositySweep& sweep, const std::vector<double>& asked,
                   std::string_view option) {
    std::vector<double> out;
    for (const double eta : asked) {
        const auto swept = nearest_swept_viscosity(sweep, eta);
        if (!swept) {
            std::ostringstream msg;
            msg << "option " << option << " " << eta << " lies outside the swept viscosities "
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
    : dir_(dir), model_(model), models_(model.body.models), series_(std::move(series)),
      summary_(dir.open("summary.csv")), profile_(dir.open("heating_profile.csv")),
      power_(models_.size()) {
    summary_.write(summary_header(table_names(models_)));
    summary_.flush();
    profile_.write(profile_header());
    profile_.flush();
}

void ResultTables::add_row(const SummaryRow& row) {
    for (std::size_t i = 0; i < models_.size(); ++i)
        power_[i].push_back(row.values[i].power);
    eta_.push_back(row.eta);
    summary_.write(summary_record(row.eta, row.values, row.steady, row.love));
    summary_.flush();
    const std::vector<std::string_view> names = table_names(models_);
    for (std::size_t i = 0; i < models_.size(); ++i)
        profile_.write(profile_records(row.eta, names[i], row.profile[i]));
    profile_.flush();
}

void ResultTables::add(const ViscosityResults& r, const std::vector<double>& tn) {
    const SummaryRow row = summary_row(r, model_, tn);
    const double eta = row.eta;
    bool over = false;
    for (std::size_t i = 0; i < models_.size() && r.steady; ++i) {
        const double off = *row.steady[i].transient;
        if (std::fabs(off) > kTransientLimit) over = true;
        if (std::fabs(off) > std::fabs(worst_transient_)) {
            worst_transient_ = off;
            worst_eta_ = eta;
            worst_rheology_ = kRheologies[index_of(models_[i])].title;
        }
    }
    if (over) ++transient_count_;
    add_row(row);

    if (std::find(series_.begin(), series_.end(), eta) == series_.end()) return;
    dir_.open(series_file_name(eta))
        .rewrite(series_table(time_step(model_), model_.run.nperiod, table_names(models_),
                              series_of(r, models_)));
}

void ResultTables::add_steady(const SteadySweepRow& r, const std::vector<double>& tn) {
    add_row(steady_summary_row(r, model_, tn));
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

std::optional<std::string> andrade_fit_note(const ShellModel& model) {
    const auto& models = model.body.models;
    if (std::find(models.begin(), models.end(), Rheology::Andrade) == models.end())
        return std::nullopt;
    const AndradeParameters& a = model.body.rheology.andrade;
    const PronySeries& s = a.series;
    const bool poor = !(s.worst_error <= kAndradeFitLimit);
    std::ostringstream msg;
    // The power-law term's error bounds the compliance's: every term of J(i w) lies in the
    // same quadrant, so |J| is at least the power-law term's modulus.
    msg << (poor ? "warning" : "note") << ": Andrade creep carried by " << s.weight.size()
        << " Kelvin-Voigt element" << (s.weight.size() == 1 ? "" : "s");
    if (static_cast<int>(s.weight.size()) < a.elements)
        msg << " (of " << a.elements << " asked; the fit gave the others no weight)";
    msg << "; worst relative error of its compliance " << two_digits(s.worst_error)
        << " over the frequencies the run resolves, " << two_digits(s.band_low) << " .. "
        << two_digits(s.band_high) << " rad/s";
    if (poor) msg << "; raise numerics.andrade_elements";
    return msg.str();
}

std::optional<std::string> ResultTables::transient_warning() const {
    if (transient_count_ == 0) return std::nullopt;
    const int periods = model_.run.nsteps / model_.run.nperiod;
    std::ostringstream msg;
    msg << "warning: " << transient_count_ << " of " << eta_.size()
        << " viscosities are more than " << two_digits(kTransientLimit)
        << " from their periodic state after " << periods << (periods == 1 ? " period" : " periods")
        << " (worst: " << worst_rheology_ << " at " << two_digits(worst_eta_) << " Pa s, "
        << two_digits(worst_transient_) << "); raise numerics.periods";
    return msg.str();
}

void ResultTables::finish() {
    dir_.open("peaks.csv").rewrite(peaks_table(sweep_peaks(models_, eta_, power_, model_.body.rout)));
}

} // namespace tidal
