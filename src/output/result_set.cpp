#include "output/result_set.hpp"

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "output/record.hpp"

namespace tidal {

const std::array<std::string_view, kSummaryCount>& summary_file_names() {
    static const std::array<std::string_view, kSummaryCount> names = {
        "pcelketa", "pcelketakelvin", "ureta",   "uretakelvin",
        "tneta",    "tnetakelvin",    "urtheta", "urthetakelvin"};
    return names;
}

ResultSet::ResultSet(std::string dir) : dir_(std::move(dir)) {
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
    if (ec) throw OutputError("cannot create output directory '" + dir_ + "': " + ec.message());
    for (std::size_t i = 0; i < kSummaryCount; ++i)
        files_[i] = std::make_unique<ResultFile>(path(summary_file_names()[i]));
}

// The working directory's files keep their bare names (as in messages before directories
// could be chosen).
std::string ResultSet::path(std::string_view name) const {
    if (dir_ == ".") return std::string(name);
    return (std::filesystem::path(dir_) / name).string();
}

void ResultSet::summary(Summary which, double viscosity, double value) {
    ResultFile& f = *files_[static_cast<std::size_t>(which)];
    Record rec;
    f.write(rec.real(viscosity).real(value).line());
    f.flush();
}

void ResultSet::series(std::string_view name, const std::vector<double>& values) {
    std::string text;
    text.reserve(values.size() * 28);
    for (std::size_t i = 0; i < values.size(); ++i)
        append_step_record(text, static_cast<int>(i + 1), values[i]);
    ResultFile f{path(name)};
    f.write(text);
    f.close();
}

void ResultSet::text_file(std::string_view name, std::string_view text) {
    ResultFile f{path(name)};
    f.write(text);
    f.close();
}

void ResultSet::close() {
    for (auto& f : files_)
        f->close();
}

} // namespace tidal
