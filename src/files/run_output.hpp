#pragma once
// Everything a sweep writes into its result directory, viscosity by viscosity: the legacy
// files (five per rheology that has them: Maxwell and Kelvin-Voigt, ten when both run) with
// their console lines, "body.toml", and the CSV tables of every rheology (or the tables
// alone, for a sweep of periodic steady states). The command line writes
// while the sweep runs; the Python module replays a finished sweep through the same code.
#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "description/body.hpp"
#include "files/line_sink.hpp"
#include "files/map_output.hpp"
#include "files/result_tables.hpp"
#include "engine/sweep.hpp"
#include "files/result_directory.hpp"
#include "files/result_set.hpp"

namespace tidal {

// The phases of the minimum written for the periods of one viscosity, in column order. `tn`
// is the phase written last, carried from period to period across the sweep (0 before the
// first), and is updated.
std::vector<double> written_phases(double& tn, const ViscosityPeriods& v);

// Writes "body.toml": the body of the run, from which `--body-file` repeats it.
void write_body_toml(ResultDirectory& dir, const Body& body_spec);

// Writes "tide.csv", the harmonics of the exact tide of the body's orbit (those its
// OrbitTide keeps): per harmonic of the orbital frequency, its angular frequency and, for
// the order-0 and the order-2 parts, the amplitude of the potential over r^2 (1/s^2).
void write_tide_harmonics(ResultDirectory& dir, const Body& body_spec);

// Writes the files that say what a run computes, before any of its results: "body.toml" and,
// for the exact tide, "tide.csv". A single run and every point of a study write them here.
void write_run_inputs(ResultDirectory& dir, const Body& body_spec);

// The files of a sweep from the exact-in-time periodic state alone: "summary.csv",
// "heating_profile.csv", "peaks.csv", the map tables of `maps` and "results.nc", no legacy
// files (they describe a time integration). The console shows the
// lines of a time sweep, with the periodic state's powers. Publishing is the caller's.
// `written`, if given, counts the viscosities whose rows have reached the files; `summary`, if
// given, receives the summary rows the files were written from (ascending viscosity). Returns
// the lines that close the run (warnings of doubt, of a sweep end, the accuracy summary).
std::vector<std::string>
write_steady_tables(ResultDirectory& dir, LineSink& console, const ShellModel& model,
                    std::span<const SteadySweepRow> rows, const std::vector<SweepMap>& maps,
                    int* written = nullptr, std::vector<SummaryRow>* summary = nullptr);

class RunOutput {
  public:
    // Opens the legacy files and "summary.csv". `series`: the swept viscosities whose series
    // tables are written. Throws OutputError.
    RunOutput(ResultDirectory& dir, LineSink& console, const ShellModel& model,
              std::vector<double> series);

    // Writes the records and console lines of one viscosity, in sweep order.
    void add(const ViscosityResults& r);

    // Writes what only a complete sweep has: "peaks.csv", the map tables of `maps` and
    // "results.nc"; publishing is the caller's.
    void finish(const std::vector<SweepMap>& maps);

    // The warnings of runs far from their periodic state or with a large step error.
    const SweepDoubts& doubts() const { return tables_.doubts(); }
    // After finish(): the warning of a largest power at an end of the sweep, if any.
    const std::optional<std::string>& edge_warning() const { return tables_.edge_warning(); }
    // After finish(): the lines that close the run (files/result_tables.hpp).
    std::vector<std::string> closing_lines() const { return tables_.closing_lines(); }

  private:
    ResultDirectory& dir_;
    LineSink& console_;
    const ShellModel& model_;
    const TableRheologies& models_;
    ResultSet files_;
    ResultTables tables_;
    double tn_ = 0.0;
};

} // namespace tidal
