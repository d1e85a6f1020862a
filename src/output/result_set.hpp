#pragma once
// The program's ten legacy result files in a result directory: eight summary files with one
// record per viscosity, and the per-step series "time" and "timekelvin", rewritten for every
// run that keeps its series (so they end with the last run of the sweep).
#include <array>
#include <string_view>
#include <vector>

#include "output/result_directory.hpp"

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

// File names in the order in which the summary files are opened.
const std::array<std::string_view, kSummaryCount>& summary_file_names();

inline constexpr std::string_view kSeriesMaxwell = "time";
inline constexpr std::string_view kSeriesKelvin = "timekelvin";

class ResultSet {
  public:
    // Opens the eight summary files, in order, then the two series files, in `dir` (which
    // publishes them). Throws OutputError if one cannot be created.
    explicit ResultSet(ResultDirectory& dir);

    // Appends the record " viscosity value" to a summary file and flushes it.
    void summary(Summary which, double viscosity, double value);

    // Rewrites a series file with the records " step value", step = 1, 2, ...
    void series(std::string_view name, const std::vector<double>& values);

  private:
    std::array<ResultFile*, kSummaryCount> summaries_{};
    ResultFile* series_maxwell_ = nullptr;
    ResultFile* series_kelvin_ = nullptr;
};

} // namespace tidal
