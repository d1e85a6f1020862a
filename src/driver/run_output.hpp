#pragma once
// Everything a sweep writes into its result directory, viscosity by viscosity: the ten legacy
// files with their console lines, "body.toml", and the CSV tables. The command line writes
// while the sweep runs; the Python module replays a finished sweep through the same code.
#include <array>
#include <vector>

#include "body/body_spec.hpp"
#include "driver/console.hpp"
#include "driver/result_tables.hpp"
#include "driver/sweep.hpp"
#include "output/result_directory.hpp"
#include "output/result_set.hpp"

namespace tidal {

// The phases of the minimum written for the runs of one viscosity, Maxwell first. `tn` is the
// phase written last, carried from run to run across the sweep (0 before the first), and is
// updated.
std::array<double, 2> written_phases(double& tn, const ViscosityResults& r);

class RunOutput {
  public:
    // Opens the legacy files, writes "body.toml" (the body of the run, from which
    // `--body-file` repeats it) and opens "summary.csv". `series`: the swept viscosities whose
    // series tables are written. Throws OutputError.
    RunOutput(ResultDirectory& dir, Console& console, const BodySpec& spec,
              const ShellModel& model, std::vector<double> series);

    // Writes the records and console lines of one viscosity, in sweep order.
    void add(const ViscosityResults& r);

    // Writes what only a complete sweep has ("peaks.csv"); publishing is the caller's.
    void finish() { tables_.finish(); }

  private:
    Console& console_;
    ResultSet files_;
    ResultTables tables_;
    double tn_ = 0.0;
};

} // namespace tidal
