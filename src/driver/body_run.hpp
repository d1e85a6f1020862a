#pragma once
// One body's run into one directory: the model and sweep of a checked body, and the writer of
// its result files from the sweep's records. A single run and every point of a study go
// through these, so a study point's files are those of a single run of its body.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "body/body_spec.hpp"
#include "driver/console.hpp"
#include "driver/result_tables.hpp"
#include "driver/sweep.hpp"
#include "output/result_directory.hpp"
#include "output/result_set.hpp"

namespace tidal {

// The sweep of a checked body.
ViscositySweep viscosity_sweep(const BodySpec& spec);

// Coefficients, grid and elastic solution of a checked body, with its step counts.
ShellModel body_model(const BodySpec& spec);

// Writes body.toml, the body that was run, into the run's directory; returns true.
bool write_body_toml(ResultDirectory& dir, const BodySpec& spec);

// The result files of one body in `dir`: the directory is taken (its lock) and body.toml
// written when constructed, then one record per viscosity in each file, in ascending
// viscosity; finish() publishes them. `series`: the swept viscosities whose series tables are
// written. The per-viscosity console lines go to `console`. `model` must outlive this.
class BodyResults {
  public:
    BodyResults(const BodySpec& spec, const ShellModel& model, const std::string& dir,
                std::vector<double> series, Console& console);

    // Writes the records of the next viscosity of the sweep, Maxwell run first.
    void add(const ViscosityResults& r);

    // Completes the tables and publishes every file (OutputError on failure).
    void finish();

    // Where an unfinished run's files stay, for messages.
    std::string partials() const;

    // A line saying which runs had not settled, if any (after finish()).
    std::optional<std::string> transient_warning() const { return tables_.transient_warning(); }

  private:
    ResultDirectory dir_;
    ResultSet files_;
    bool body_toml_; // body.toml written
    ResultTables tables_;
    Console& console_;
    double tn_ = 0.0; // phase of the last recorded minimum, carried from run to run
};

} // namespace tidal
