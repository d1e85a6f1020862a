#pragma once
// The program's legacy result files in a result directory: per rheology that writes them,
// four summary files with one record per viscosity and the per-step series, rewritten for
// every run that keeps its series (so it ends with the last run of the sweep). A file's name
// is the quantity's stem followed by the rheology's suffix: "pcelketa" and "pcelketakelvin",
// "time" and "timekelvin".
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "files/result_directory.hpp"

namespace tidal {

enum class LegacyQuantity {
    Power,      // "pcelketa": viscosity, mean dissipated power
    MinSurface, // "ureta": viscosity, minimum surface displacement
    Phase,      // "tneta": viscosity, phase of the minimum
    Equator,    // "urtheta": viscosity, largest equatorial displacement
};
inline constexpr std::array<std::string_view, 4> kLegacyStems = {"pcelketa", "ureta", "tneta",
                                                                 "urtheta"};
inline constexpr std::string_view kSeriesStem = "time";

class ResultSet {
  public:
    // Opens the summary files (quantity by quantity, each for every rheology in order), then
    // the series files, in `dir` (which publishes them); `suffixes` has one entry per
    // rheology. Throws OutputError if one cannot be created.
    ResultSet(ResultDirectory& dir, std::vector<std::string_view> suffixes);

    // The file names in the order in which they are opened.
    static std::vector<std::string> file_names(const std::vector<std::string_view>& suffixes);

    // Appends the record " viscosity value" to rheology `rheology`'s summary file of `which`
    // and flushes it.
    void summary(LegacyQuantity which, std::size_t rheology, double viscosity, double value);

    // Rewrites rheology `rheology`'s series file with the records " step value", step = 1, 2, ...
    void series(std::size_t rheology, const std::vector<double>& values);

  private:
    std::size_t count_;
    std::vector<ResultFile*> summaries_; // [quantity * count_ + rheology]
    std::vector<ResultFile*> series_;    // per rheology
};

} // namespace tidal
