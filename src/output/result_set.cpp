#include "output/result_set.hpp"

#include <string>

#include "output/record.hpp"

namespace tidal {

const std::array<std::string_view, kSummaryCount>& summary_file_names() {
    static const std::array<std::string_view, kSummaryCount> names = {
        "pcelketa", "pcelketakelvin", "ureta",   "uretakelvin",
        "tneta",    "tnetakelvin",    "urtheta", "urthetakelvin"};
    return names;
}

ResultSet::ResultSet(ResultDirectory& dir) {
    for (std::size_t i = 0; i < kSummaryCount; ++i)
        summaries_[i] = &dir.open(summary_file_names()[i]);
    series_maxwell_ = &dir.open(kSeriesMaxwell);
    series_kelvin_ = &dir.open(kSeriesKelvin);
}

void ResultSet::summary(Summary which, double viscosity, double value) {
    ResultFile& f = *summaries_[static_cast<std::size_t>(which)];
    Record rec;
    f.write(rec.real(viscosity).real(value).line());
    f.flush();
}

void ResultSet::series(std::string_view name, const std::vector<double>& values) {
    std::string text;
    text.reserve(values.size() * 28);
    for (std::size_t i = 0; i < values.size(); ++i)
        append_step_record(text, static_cast<int>(i + 1), values[i]);
    (name == kSeriesKelvin ? *series_kelvin_ : *series_maxwell_).rewrite(text);
}

} // namespace tidal
