#pragma once
// One body's run into one directory: the model and sweep of a checked body, and the writer of
// its result files from the sweep's records. A single run and every point of a study go
// through these, so a study point's files are those of a single run of its body.
#include <iosfwd>
#include <string>

#include "body/body_spec.hpp"
#include "driver/sweep.hpp"
#include "output/result_set.hpp"

namespace tidal {

// The sweep of a checked body.
ViscositySweep viscosity_sweep(const BodySpec& spec);

// Coefficients, grid and elastic solution of a checked body, with its step counts.
ShellModel body_model(const BodySpec& spec);

// The result files of one body in `dir`: body.toml when constructed, then one record per
// viscosity in each summary file and the series of the latest run, in ascending viscosity.
// The per-viscosity console lines go to `console`.
class BodyResults {
  public:
    BodyResults(const BodySpec& spec, std::string dir, std::ostream& console);

    // Writes the records of the next viscosity of the sweep, Maxwell run first.
    void add(const ViscosityResults& r);

    // Closes the files, reporting the first failure (OutputError).
    void close() { files_.close(); }

  private:
    ResultSet files_;
    std::ostream& console_;
    double tn_ = 0.0; // phase of the last recorded minimum, carried from run to run
};

} // namespace tidal
