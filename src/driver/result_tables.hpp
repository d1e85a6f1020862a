#pragma once
// The CSV tables of a sweep, written beside the legacy files: "summary.csv" row by row as the
// viscosities arrive, a "series-<viscosity>.csv" for every viscosity whose series was asked
// for (written whole once that viscosity is done), and "peaks.csv" once the sweep is complete.
#include <array>
#include <string>
#include <variant>
#include <vector>

#include "driver/sweep.hpp"
#include "output/result_directory.hpp"
#include "output/tables.hpp"

namespace tidal {

// The swept viscosities nearest to the requested ones (Pa s), each once, or a one-line
// message naming a requested viscosity that lies outside the sweep.
std::variant<std::vector<double>, std::string> series_viscosities(const ViscositySweep& sweep,
                                                                  const std::vector<double>& asked);

class ResultTables {
  public:
    // Opens "summary.csv" (with its header) in the run's directory. `series`: the swept
    // viscosities whose series tables are written.
    ResultTables(ResultDirectory& dir, const ShellModel& model, std::vector<double> series);

    // The row of one viscosity, with the `tn` values written for its runs (Maxwell first), and
    // its series table if it was asked for.
    void add(const ViscosityResults& r, const std::array<double, 2>& tn);

    // Writes "peaks.csv"; only a complete sweep has peaks.
    void finish();

  private:
    ResultDirectory& dir_;
    const ShellModel& model_;
    std::vector<double> series_;
    ResultFile& summary_;
    std::vector<double> eta_;                // viscosities so far
    std::vector<std::vector<double>> power_; // per rheology, per viscosity, W
};

} // namespace tidal
