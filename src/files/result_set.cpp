#include "files/result_set.hpp"

#include "files/record.hpp"

namespace tidal {

std::vector<std::string> ResultSet::file_names(const std::vector<std::string_view>& suffixes) {
    std::vector<std::string> names;
    for (const std::string_view stem : kLegacyStems)
        for (const std::string_view suffix : suffixes)
            names.push_back(std::string(stem).append(suffix));
    for (const std::string_view suffix : suffixes)
        names.push_back(std::string(kSeriesStem).append(suffix));
    return names;
}

ResultSet::ResultSet(ResultDirectory& dir, std::vector<std::string_view> suffixes)
    : count_(suffixes.size()) {
    const std::vector<std::string> names = file_names(suffixes);
    const std::size_t summaries = kLegacyStems.size() * count_;
    for (std::size_t i = 0; i < names.size(); ++i)
        (i < summaries ? summaries_ : series_).push_back(&dir.open(names[i]));
}

void ResultSet::summary(LegacyQuantity which, std::size_t rheology, double viscosity,
                        double value) {
    ResultFile& f = *summaries_[static_cast<std::size_t>(which) * count_ + rheology];
    Record rec;
    f.write(rec.real(viscosity).real(value).line());
    f.flush();
}

void ResultSet::series(std::size_t rheology, const std::vector<double>& values) {
    std::string text;
    text.reserve(values.size() * 28);
    for (std::size_t i = 0; i < values.size(); ++i)
        append_step_record(text, static_cast<int>(i + 1), values[i]);
    series_[rheology]->rewrite(text);
}

} // namespace tidal
