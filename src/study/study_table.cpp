#include "study/study_table.hpp"

#include <fstream>
#include <sstream>

#include "output/result_file.hpp"
#include "study/points_csv.hpp"
#include "study/study_directory.hpp"

namespace tidal {

namespace {

void field(std::string& out, const std::string& s) {
    out += ',';
    if (s.find_first_of(",\"\r\n") == std::string::npos) {
        out += s;
        return;
    }
    out += '"';
    for (const char c : s)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += '"';
}

} // namespace

PointPeaks read_point_peaks(const std::string& point_dir) {
    const std::string path = point_dir + "/peaks.csv";
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) throw OutputError("cannot read '" + path + "'");
    auto parsed = read_csv_rows(text.str(), path);
    if (const auto* e = std::get_if<PointTableError>(&parsed)) throw OutputError(e->message);
    const auto& rows = std::get<std::vector<std::vector<std::string>>>(parsed);
    if (rows.size() < 2 || rows[0].empty() || rows[0][0] != "rheology")
        throw OutputError("'" + path + "' is not a table of peaks");
    PointPeaks p;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (rows[r].size() != rows[0].size())
            throw OutputError("'" + path + "' is not a table of peaks");
        for (std::size_t c = 1; c < rows[r].size(); ++c) {
            p.columns.push_back(rows[r][0] + "_peak_" + rows[0][c]);
            p.values.push_back(rows[r][c]);
        }
    }
    return p;
}

std::string study_table(const Study& study, const std::vector<PointPeaks>& peaks) {
    std::string out = "point";
    for (const std::string& key : study.keys)
        field(out, key);
    if (!peaks.empty())
        for (const std::string& column : peaks[0].columns)
            field(out, column);
    out += "\r\n";
    for (std::size_t p = 0; p < study.points.size(); ++p) {
        if (peaks[p].columns != peaks[0].columns)
            throw OutputError("the peaks of " + StudyDirectory::point_name(static_cast<int>(p)) +
                              " have other columns than those of the first point");
        out += StudyDirectory::point_name(static_cast<int>(p));
        for (const std::string& v : study.points[p].values)
            field(out, v);
        for (const std::string& v : peaks[p].values)
            field(out, v);
        out += "\r\n";
    }
    return out;
}

} // namespace tidal
