#include "files/result_tables.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "body/body_check.hpp"
#include "loads/diagnostics.hpp"
#include "loads/heating_profile.hpp"
#include "files/peak.hpp"
#include "files/result_file.hpp"

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

// The name of the body layer of each cell (outermost first) of a body given by its layers:
// a solid layer's cells, an ocean's one inert cell, nothing for a liquid core (it has no
// cells); empty for a [shell] body.
std::vector<std::string> cell_layer_names(const Body& body) {
    std::vector<std::string> out;
    const std::size_t layers = body.has_ocean() ? body.core_region_end() : body.solid_region_layers();
    for (std::size_t i = 0; i < layers; ++i) {
        const InteriorLayer& L = body.interior[i];
        out.insert(out.end(), L.solid ? static_cast<std::size_t>(L.cells) : 1u, L.name);
    }
    return out;
}

std::vector<ProfileRecord> profile_of(const std::vector<double>& layer_heating,
                                      const ShellModel& model) {
    std::vector<ProfileRecord> out;
    const std::vector<std::string> names = cell_layer_names(model.body);
    int layer = 0;
    for (const ProfileLayer& l : heating_profile(layer_heating, model.grid)) {
        const std::size_t cell = static_cast<std::size_t>(layer);
        out.push_back({++layer, l.outer_radius, l.inner_radius, l.heating, l.power,
                       cell < names.size() ? names[cell] : std::string()});
    }
    return out;
}

// Each solid layer's power (W): the sum of its cells' shares, in profile order; none for a
// [shell] body.
std::vector<double> layer_powers(const std::vector<ProfileRecord>& cells, const Body& body) {
    std::vector<double> out;
    std::size_t cell = 0;
    const std::size_t layers = body.has_ocean() ? body.core_region_end() : body.solid_region_layers();
    for (std::size_t i = 0; i < layers; ++i) {
        // An ocean's one inert cell is no solid layer's.
        if (!body.interior[i].solid) {
            ++cell;
            continue;
        }
        double sum = 0.0;
        for (int c = 0; c < body.interior[i].cells; ++c)
            sum += cells[cell++].power;
        out.push_back(sum);
    }
    return out;
}

GridErrorSummary grid_summary(const std::optional<GridError>& e) {
    if (!e) return {};
    return {e->power, e->h2, e->k2};
}

ExtrapolatedSummary extrapolated_summary(const std::optional<Extrapolated>& x) {
    if (!x) return {};
    return {x->power,     x->phase_lag_deg, x->h2.real(),
            x->h2.imag(), x->k2.real(),     x->k2.imag()};
}

// One rheology's row of "love_numbers.csv": the Love numbers of the run (or of the periodic
// state), the grid errors and limits of its periodic state where computed.
SurfaceLoveSummary surface_love(const LoveNumbers& love, const std::optional<GridError>& e,
                                const std::optional<Extrapolated>& x) {
    SurfaceLoveSummary s;
    s.h2_real = love.h2.real();
    s.h2_imag = love.h2.imag();
    s.k2_real = love.k2.real();
    s.k2_imag = love.k2.imag();
    s.l2_real = love.l2.real();
    s.l2_imag = love.l2.imag();
    if (e) {
        s.h2_grid_error = e->h2;
        s.k2_grid_error = e->k2;
        s.l2_grid_error = e->l2;
    }
    if (x) {
        s.extrapolated_h2_real = x->h2.real();
        s.extrapolated_h2_imag = x->h2.imag();
        s.extrapolated_k2_real = x->k2.real();
        s.extrapolated_k2_imag = x->k2.imag();
        s.extrapolated_l2_real = x->l2.real();
        s.extrapolated_l2_imag = x->l2.imag();
    }
    return s;
}

// The grid error and, with numerics.extrapolate, the limits of one rheology's pair of
// periodic states, or nothing without them.
SurfaceLoveSummary surface_love_of(const LoveNumbers& love, const SteadyPair* pair,
                                   const ShellModel& model) {
    if (!pair) return surface_love(love, std::nullopt, std::nullopt);
    return surface_love(love, grid_error(*pair, model.grid),
                        model.body.extrapolate ? extrapolated(*pair, model.grid)
                                               : std::nullopt);
}

} // namespace

std::vector<int> solid_layer_numbers(const Body& body) {
    std::vector<int> out;
    const std::size_t layers = body.has_ocean() ? body.core_region_end() : body.solid_region_layers();
    for (std::size_t i = 0; i < layers; ++i)
        if (body.interior[i].solid) out.push_back(static_cast<int>(i + 1));
    return out;
}

std::vector<std::string> solid_layer_names(const Body& body) {
    std::vector<std::string> out;
    for (const int k : solid_layer_numbers(body))
        out.push_back(body.interior[static_cast<std::size_t>(k - 1)].name);
    return out;
}

ViscosityPeriods periods_of(const ViscosityResults& r, const TableRheologies& models) {
    ViscosityPeriods v;
    v.eta = r[models.front()].eta;
    v.time_run = true;
    for (const Rheology m : models) {
        v.period.push_back(&r[m].period);
        v.steady.push_back(r.steady ? &(*r.steady)[m] : nullptr);
    }
    return v;
}

ViscosityPeriods periods_of(const SteadySweepRow& r, const TableRheologies& models) {
    ViscosityPeriods v;
    v.eta = r.eta;
    for (const Rheology m : models) {
        v.period.push_back(&r[m].continuous);
        v.steady.push_back(&r[m]);
    }
    return v;
}

SummaryRow summary_row(const ViscosityPeriods& v, const ShellModel& model,
                       const std::vector<double>& tn, RowParts parts) {
    const bool all = parts == RowParts::All;
    const std::size_t n = model.body.models.size();
    const double rout = model.body.outer_radius;
    SummaryRow row;
    row.eta = v.eta;
    row.values.resize(n);
    row.steady.resize(n);
    row.grid.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const PeriodRecord& p = *v.period[i];
        const SteadyPair* pair = v.steady[i];
        row.values[i] = {p.power,   surface_heat_flux(p.power, rout),
                         p.urmin,   tn[i],
                         p.urthmax, p.phase_lag_deg,
                         p.amplitude};
        row.love.push_back(love_summary(p.love));
        if (all) {
            row.surface_love.push_back(surface_love_of(p.love, pair, model));
            row.profile.push_back(profile_of(p.layer_heating, model));
        }
        if (!model.body.interior.empty())
            row.layer_power.push_back(layer_powers(
                all ? row.profile.back() : profile_of(p.layer_heating, model), model.body));
        if (!pair) continue;
        row.steady[i] = {pair->continuous.power, pair->continuous.phase_lag_deg,
                         v.time_run ? std::optional(transient(p.power, *pair)) : std::nullopt,
                         v.time_run ? std::optional(step_error(*pair)) : std::nullopt};
        row.grid[i] = grid_summary(grid_error(*pair, model.grid));
    }
    if (model.body.extrapolate)
        for (std::size_t i = 0; i < n; ++i)
            row.extrapolated.push_back(
                v.steady[i] ? extrapolated_summary(extrapolated(*v.steady[i], model.grid))
                            : ExtrapolatedSummary{});
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
    // Per rheology its peaks, largest first; written rank by rank.
    std::vector<std::vector<Peak>> found;
    std::size_t most = 0;
    for (std::size_t i = 0; i < models.size(); ++i) {
        found.push_back(find_peaks(eta, power[i]));
        most = std::max(most, found.back().size());
    }
    std::vector<PeakRecord> peaks;
    for (std::size_t rank = 0; rank < most; ++rank)
        for (std::size_t i = 0; i < models.size(); ++i) {
            if (rank >= found[i].size()) continue;
            const Peak& p = found[i][rank];
            PeakRecord rec{kRheologies[index_of(models[i])].name, p.x, p.y,
                           surface_heat_flux(p.y, rout), {}, {}, {}};
            if (p.refined_x) {
                rec.refined_viscosity = p.refined_x;
                rec.refined_power = p.refined_y;
                rec.refined_heat_flux = surface_heat_flux(*p.refined_y, rout);
            }
            rec.rank = static_cast<int>(rank) + 1;
            rec.position = p.position == PeakPosition::SweepStart ? "sweep_start"
                           : p.position == PeakPosition::SweepEnd ? "sweep_end"
                                                                  : "interior";
            peaks.push_back(rec);
        }
    return peaks;
}

std::optional<std::string> sweep_edge_warning(const std::vector<PeakRecord>& peaks) {
    // Per end of the sweep: the rheologies whose largest power lies there, and its viscosity.
    std::vector<std::string_view> titles[2];
    double eta[2] = {0.0, 0.0};
    for (const PeakRecord& p : peaks) {
        if (p.rank != 1 || p.position == "interior") continue;
        const int end = p.position == "sweep_end" ? 1 : 0;
        titles[end].push_back(kRheologies[index_of(*rheology_named(p.rheology))].title);
        eta[end] = p.viscosity;
    }
    if (titles[0].empty() && titles[1].empty()) return std::nullopt;
    std::ostringstream msg;
    msg << "warning: the heating of ";
    for (const int end : {0, 1}) {
        if (titles[end].empty()) continue;
        if (end == 1 && !titles[0].empty()) msg << ", of ";
        for (std::size_t i = 0; i < titles[end].size(); ++i)
            msg << (i == 0 ? "" : i + 1 == titles[end].size() ? " and " : ", ") << titles[end][i];
        msg << " is largest at the " << (end == 0 ? "lowest" : "highest") << " swept viscosity ("
            << two_digits(eta[end]) << " Pa s)";
    }
    msg << ", not at a peak: the peak lies beyond the sweep; widen it (";
    if (!titles[0].empty()) msg << "lower sweep.log10_viscosity_min";
    if (!titles[0].empty() && !titles[1].empty()) msg << ", ";
    if (!titles[1].empty()) msg << "raise sweep.log10_viscosity_max";
    msg << ")";
    return msg.str();
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
    : dir_(dir), model_(model), models_(model.body.models), names_(table_names(models_)),
      series_(std::move(series)), summary_(dir.open("summary.csv")),
      profile_(dir.open("heating_profile.csv")), love_(dir.open("love_numbers.csv")),
      parts_(dir.in_memory() && profile_.discards() && love_.discards() ? RowParts::SummaryColumns
                                                                        : RowParts::All),
      power_(models_.size()), doubts_(models_, model.run.nsteps / model.run.nperiod,
                                      model.body.doubt_limit, grid_refinement_key(model.body)) {
    summary_.write(summary_header(table_names(models_), model.body.extrapolate,
                                  solid_layer_numbers(model.body)));
    summary_.flush();
    profile_.write(profile_header(!model.body.interior.empty()));
    profile_.flush();
    love_.write(love_numbers_header(model.body.extrapolate));
    love_.flush();
}

void ResultTables::add_row(SummaryRow&& row) {
    for (std::size_t i = 0; i < models_.size(); ++i)
        power_[i].push_back(row.values[i].power);
    eta_.push_back(row.eta);
    summary_.write(
        summary_record(row.eta, row.values, row.steady, row.love, row.grid, row.extrapolated,
                       row.layer_power));
    summary_.flush();
    // A table whose text is dropped (a study's journal keeps the summary and the peaks only)
    // is not formatted: the profile's rows are most of a sweep's text.
    if (!profile_.discards()) {
        for (std::size_t i = 0; i < models_.size(); ++i)
            profile_.write(
                profile_records(row.eta, names_[i], row.profile[i], !model_.body.interior.empty(),
                                &profile_radii_));
        profile_.flush();
    }
    if (!love_.discards()) {
        for (std::size_t i = 0; i < models_.size(); ++i)
            love_.write(love_numbers_record(row.eta, names_[i], row.surface_love[i],
                                            model_.body.extrapolate));
        love_.flush();
    }
    rows_.push_back(std::move(row));
}

void ResultTables::add(const ViscosityResults& r, const std::vector<double>& tn) {
    SummaryRow row = summary_row(periods_of(r, models_), model_, tn, parts_);
    const double eta = row.eta;
    doubts_.add(eta, row.steady, row.grid);
    add_row(std::move(row));

    if (std::find(series_.begin(), series_.end(), eta) == series_.end()) return;
    dir_.open(series_file_name(eta))
        .rewrite(series_table(time_step(model_), model_.run.nperiod, table_names(models_),
                              series_of(r, models_)));
}

void ResultTables::add_steady(const SteadySweepRow& r, const std::vector<double>& tn) {
    SummaryRow row = summary_row(periods_of(r, models_), model_, tn, parts_);
    doubts_.add(row.eta, row.steady, row.grid);
    add_row(std::move(row));
}

// Two significant digits in the compact exponent form of a message: -3.1e-3, 1.1e14.
std::string two_digits(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1e", v);
    return compact_exponent(buf);
}

std::vector<std::string> law_approximation_notes(const ShellModel& model) {
    std::vector<std::string> lines;
    // The swept rheologies, then those of fixed layers that the sweep does not run.
    std::vector<Rheology> used = model.body.models;
    for (const InteriorLayer& layer : model.body.interior)
        if (layer.rheology && std::find(used.begin(), used.end(), *layer.rheology) == used.end())
            used.push_back(*layer.rheology);
    for (const Rheology r : used) {
        const auto a = law_approximation(model.body.rheology, r);
        if (!a) continue;
        const bool poor = !(a->worst_error <= model.body.doubt_limit);
        // The approximated term's error bounds the compliance's: every term of J(i w) lies in
        // the same quadrant, so |J| is at least that term's modulus.
        std::string line = std::string(poor ? "warning" : "note") + ": " + a->carried_by +
                           "; worst relative error of its compliance " +
                           two_digits(a->worst_error) +
                           " over the frequencies the run resolves, " +
                           two_digits(a->band_low) + " .. " + two_digits(a->band_high) + " rad/s";
        if (poor) line += "; raise " + a->remedy + " (or numerics.doubt_limit)";
        lines.push_back(line);
    }
    return lines;
}

void ResultTables::finish() {
    const std::vector<PeakRecord> peaks = sweep_peaks(models_, eta_, power_, model_.body.outer_radius);
    dir_.open("peaks.csv").rewrite(peaks_table(peaks));
    // A sweep of one viscosity has no curve whose peak could lie beyond it.
    if (eta_.size() > 1) edge_warning_ = sweep_edge_warning(peaks);
}

std::vector<std::string> ResultTables::closing_lines() const {
    std::vector<std::string> lines = doubts_.warnings();
    if (edge_warning_) lines.push_back(*edge_warning_);
    if (const auto summary = doubts_.accuracy_summary()) lines.push_back(*summary);
    return lines;
}

} // namespace tidal
