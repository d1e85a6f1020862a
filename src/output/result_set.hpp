#pragma once
// The program's result files in one directory: eight summary files, open for the
// whole sweep with one record per viscosity, and the per-step series "time" and "timekelvin",
// rewritten for every run.
#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "output/result_file.hpp"

namespace tidal {

enum class Summary {
    PowerMaxwell,      // "pcelketa": viscosity, mean dissipated power
    PowerKelvin,       // "pcelketakelvin"
    MinSurfaceMaxwell, // "ureta": viscosity, minimum surface displacement
    MinSurfaceKelvin,  // "uretakelvin"
    PhaseMaxwell,      // "tneta": viscosity, phase of the minimum
    PhaseKelvin,       // "tnetakelvin"
    EquatorMaxwell,    // "urtheta": viscosity, largest equatorial displacement
    EquatorKelvin,     // "urthetakelvin"
};
inline constexpr std::size_t kSummaryCount = 8;

// File names in the order in which the summary files are opened and closed.
const std::array<std::string_view, kSummaryCount>& summary_file_names();

inline constexpr std::string_view kSeriesMaxwell = "time";
inline constexpr std::string_view kSeriesKelvin = "timekelvin";

class ResultSet {
  public:
    // Creates the directory `dir` if missing, then creates (or truncates) the eight summary
    // files in it, in order. Throws OutputError if either fails.
    explicit ResultSet(std::string dir = ".");

    // Appends the record " viscosity value" to a summary file and flushes it.
    void summary(Summary which, double viscosity, double value);

    // Rewrites a series file with the records " step value", step = 1, 2, ...
    void series(std::string_view name, const std::vector<double>& values);

    // Writes a whole text file (created or rewritten) into the directory.
    void text_file(std::string_view name, std::string_view text);

    // Closes the summary files in order, reporting the first failure.
    void close();

  private:
    std::string path(std::string_view name) const;

    std::string dir_;
    std::array<std::unique_ptr<ResultFile>, kSummaryCount> files_;
};

} // namespace tidal
