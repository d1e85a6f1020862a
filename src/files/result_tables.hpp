#pragma once
// The CSV tables of a sweep, written beside the legacy files: "summary.csv",
// "heating_profile.csv" and "love_numbers.csv" row by row as the viscosities arrive, a "series-<viscosity>.csv" for every viscosity whose series was asked
// for (written whole once that viscosity is done), and "peaks.csv" once the sweep is complete.
#include <array>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/sweep.hpp"
#include "files/sweep_doubts.hpp"
#include "files/result_directory.hpp"
#include "files/tables.hpp"

namespace tidal {

// The swept viscosities nearest to the requested ones (Pa s), each once, or a one-line
// message naming a requested viscosity that lies outside the sweep (and the option that asked
// for it).
std::variant<std::vector<double>, std::string>
series_viscosities(const ViscositySweep& sweep, const std::vector<double>& asked,
                   std::string_view option = "--series");

// The rheologies of the tables, in column order: the body's models, in list order.
using TableRheologies = std::vector<Rheology>;
std::vector<std::string_view> table_names(const TableRheologies& models);

// One viscosity's results as the tables read them, whichever method computed them: per
// rheology of the tables (column order) the record of its period (a time run's last period,
// or the continuous periodic state) and its periodic states where they were computed.
struct ViscosityPeriods {
    double eta = 0.0; // the swept viscosity, Pa s
    std::vector<const PeriodRecord*> period;
    std::vector<const SteadyPair*> steady; // null where not computed
    // The periods are a time integration's: with its periodic states it has a transient and
    // a step error.
    bool time_run = false;
};
ViscosityPeriods periods_of(const ViscosityResults& r, const TableRheologies& models);
ViscosityPeriods periods_of(const SteadySweepRow& r, const TableRheologies& models);

// What a summary row holds: everything the tables and results.nc show, or only the columns
// of summary.csv (no heating profile, no surface Love numbers), for results kept without
// those files (a study's journal).
enum class RowParts { All, SummaryColumns };

// The numbers (1 the outermost) of the body layers whose powers the summary gives, in
// column order: the solid region's, and under an ocean the core's too (the ocean's own number
// left out); none for a [shell] body.
std::vector<int> solid_layer_numbers(const Body& body);
// The names of those layers, in the same order.
std::vector<std::string> solid_layer_names(const Body& body);

// The summary row of one viscosity; `tn` are the phases written for its rheologies (column
// order). The steady columns are filled where the periodic states are; the transient and the
// step error only for a time run.
SummaryRow summary_row(const ViscosityPeriods& v, const ShellModel& model,
                       const std::vector<double>& tn, RowParts parts = RowParts::All);

// The surface displacement series (m) of every rheology's run of one viscosity, column order.
std::vector<const std::vector<double>*> series_of(const ViscosityResults& r,
                                                  const TableRheologies& models);

// Every rheology's heating peaks along the sweep, in the order of "peaks.csv": `eta` the
// swept viscosities (Pa s), `power` per rheology (column order) the power (W) at each of them,
// `rout` the outer radius (m).
std::vector<PeakRecord> sweep_peaks(const TableRheologies& models, const std::vector<double>& eta,
                                    const std::vector<std::vector<double>>& power, double rout);

// When some rheology's largest power lies at an end of the sweep, one line (for standard
// error) naming them and the key that widens the sweep; else nothing.
std::optional<std::string> sweep_edge_warning(const std::vector<PeakRecord>& peaks);

class ResultTables {
  public:
    // Opens "summary.csv", "heating_profile.csv" and "love_numbers.csv" (with their headers)
    // in the run's
    // directory. `series`: the swept
    // viscosities whose series tables are written.
    ResultTables(ResultDirectory& dir, const ShellModel& model, std::vector<double> series);

    // The row of one viscosity, with the `tn` values written for its runs (column order), and
    // its series table if it was asked for. With the steady state in `r`, the steady columns
    // are filled and the transient noted.
    void add(const ViscosityResults& r, const std::vector<double>& tn);

    // The row of one viscosity of a sweep without time integration, from the exact-in-time
    // periodic state; `tn` as for add(). The transient and step error stay empty.
    void add_steady(const SteadySweepRow& row, const std::vector<double>& tn);

    // Writes "peaks.csv"; only a complete sweep has peaks.
    void finish();
    // The rows so far, in the order added (ascending viscosity).
    const std::vector<SummaryRow>& rows() const { return rows_; }
    // The rows, moved out (none are left).
    std::vector<SummaryRow> take_rows() { return std::exchange(rows_, {}); }
    // After finish(): the warning of a largest power at an end of the sweep, if any.
    const std::optional<std::string>& edge_warning() const { return edge_warning_; }
    // After finish(): the lines that close the run on standard error: the warnings of values
    // in doubt, of a largest power at an end of the sweep, and the one-line accuracy summary.
    std::vector<std::string> closing_lines() const;

    // The warnings of the rows so far (runs far from their periodic state, a large step error).
    const SweepDoubts& doubts() const { return doubts_; }

  private:
    ResultDirectory& dir_;
    const ShellModel& model_;
    const TableRheologies& models_;
    const std::vector<std::string_view> names_; // table_names(models_)
    std::vector<double> series_;
    ResultFile& summary_;
    ResultFile& profile_;
    ResultFile& love_;
    // Only the summary's columns where the profile and Love tables are dropped and no
    // results.nc is written (a directory in memory).
    RowParts parts_;
    void add_row(SummaryRow&& row);

    NumberSlots profile_radii_; // the profile's radii, formatted once
    std::vector<SummaryRow> rows_;           // for results.nc, written once complete
    std::vector<double> eta_;                // viscosities so far
    std::vector<std::vector<double>> power_; // per rheology, per viscosity, W
    SweepDoubts doubts_;
    std::optional<std::string> edge_warning_;
};

// The lines that say how well the time integration carries the law of each running rheology
// that approximates it (for standard error; Andrade's creep by a Prony series): what carries
// it, its worst relative error in the compliance and the band over which it was fitted; a
// warning naming the key to raise when that error exceeds the body's numerics.doubt_limit.
std::vector<std::string> law_approximation_notes(const ShellModel& model);

// Two significant digits in the compact exponent form of a message: -3.1e-3, 1.1e14.
std::string two_digits(double v);


} // namespace tidal
