#include "study/study_table.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "files/result_file.hpp"
#include "files/tables.hpp"
#include "study/csv_fields.hpp"
#include "study/points_csv.hpp"
#include "study/study_directory.hpp"

namespace tidal {

namespace {

// Whether a field must be quoted: it holds a comma, a quote or a line end.
bool needs_quotes(std::string_view s) {
    for (const char c : s)
        if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
    return false;
}

void field(std::string& out, std::string_view s) {
    out += ',';
    if (!needs_quotes(s)) {
        out += s;
        return;
    }
    out += '"';
    for (const char c : s)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += '"';
}

double number(std::string_view s) {
    double v = 0.0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() ? v : 0.0;
}

// Adds each "<rheology>_transient" column's value largest in magnitude.
void add_worst_transients(const CsvFields& rows, const std::string& path, PointPeaks& p) {
    if (rows.empty()) throw OutputError("'" + path + "' is not a summary table");
    const std::string_view suffix = "_transient";
    for (std::size_t c = 0; c < rows[0].size(); ++c) {
        const std::string_view name = rows[0][c];
        if (name.size() <= suffix.size() || !name.ends_with(suffix)) continue;
        std::string_view worst;
        double magnitude = -1.0;
        for (std::size_t r = 1; r < rows.size(); ++r) {
            if (c >= rows[r].size() || rows[r][c].empty()) continue;
            const double m = std::fabs(number(rows[r][c]));
            if (m > magnitude) {
                magnitude = m;
                worst = rows[r][c];
            }
        }
        p.columns.push_back(std::string(name.substr(0, name.size() - suffix.size())) + "_worst" +
                            std::string(suffix));
        p.values.emplace_back(worst);
        p.worst_transient = std::max(p.worst_transient, magnitude);
    }
}

// Adds the quantities `names` of summary.csv at each rheology's swept peak viscosity (the
// first row of the rheology in peaks.csv), "<rheology>_peak_<quantity>"; empty where the
// table has no such column.
void add_peak_values(const CsvFields& rows, const std::string& path, const CsvFields& peaks,
                     const std::vector<std::string_view>& names, PointPeaks& p) {
    if (rows.empty()) throw OutputError("'" + path + "' is not a summary table");
    const std::span<const std::string_view> header = rows[0];
    std::vector<std::string_view> seen;
    for (std::size_t r = 1; r < peaks.size(); ++r) {
        const std::string rheology(peaks[r][0]);
        if (std::find(seen.begin(), seen.end(), peaks[r][0]) != seen.end()) continue;
        seen.push_back(peaks[r][0]);
        // The summary's row of the peak's viscosity (the first with that text), if any.
        std::size_t row = 1;
        while (row < rows.size() && (rows[row].empty() || rows[row][0] != peaks[r][1]))
            ++row;
        for (const std::string_view q : names) {
            const std::string name = rheology + "_" + std::string(q);
            const auto c = std::find(header.begin(), header.end(), name);
            std::string value;
            if (row < rows.size() && c != header.end()) {
                const std::size_t at = static_cast<std::size_t>(c - header.begin());
                if (at < rows[row].size()) value = std::string(rows[row][at]);
            }
            p.columns.push_back(rheology + "_peak_" + std::string(q));
            p.values.push_back(value);
        }
    }
}

} // namespace

PointPeaks read_point_peaks(const StudyDirectory& dir, int point) {
    const std::string path = dir.point_label(point, "peaks.csv");
    const CsvFields rows(dir.point_text(point, "peaks.csv"), path);
    const std::string summary_path = dir.point_label(point, "summary.csv");
    const CsvFields summary(dir.point_text(point, "summary.csv"), summary_path);
    return point_peaks(rows, path, summary, summary_path);
}

PointPeaks point_peaks(const CsvFields& rows, const std::string& path, const CsvFields& summary,
                       const std::string& summary_path) {
    if (rows.size() < 2 || rows[0].empty() || rows[0][0] != "rheology")
        throw OutputError("'" + path + "' is not a table of peaks");
    PointPeaks p;
    // The largest power of each rheology (rank 1; a table without ranks has only those), with
    // the fields a table without ranks has: points published before and after ranks came in
    // give the same columns.
    const auto rank =
        std::find(rows[0].begin(), rows[0].end(), std::string_view("rank")) - rows[0].begin();
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (rows[r].size() != rows[0].size())
            throw OutputError("'" + path + "' is not a table of peaks");
        if (rank < static_cast<std::ptrdiff_t>(rows[r].size()) &&
            rows[r][static_cast<std::size_t>(rank)] != "1")
            continue;
        for (std::size_t c = 1; c < rows[r].size(); ++c) {
            if (rows[0][c] == "rank" || rows[0][c] == "position") continue;
            p.columns.push_back(std::string(rows[r][0]) + "_peak_" + std::string(rows[0][c]));
            p.values.emplace_back(rows[r][c]);
        }
    }
    add_worst_transients(summary, summary_path, p);
    // The Love numbers, then the grid errors: the columns of study.csv in the order they came.
    std::vector<std::string_view> love, grid;
    for (const LoveQuantity& q : love_quantities())
        love.push_back(q.name);
    for (const GridErrorQuantity& q : grid_error_quantities())
        grid.push_back(q.name);
    add_peak_values(summary, summary_path, rows, love, p);
    add_peak_values(summary, summary_path, rows, grid, p);
    return p;
}

std::string study_table(const Study& study, const std::vector<PointPeaks>& peaks) {
    std::string out = "point";
    for (const std::string& key : study.keys)
        field(out, key);
    if (!peaks.empty())
        for (const std::string& column : peaks[0].columns)
            field(out, column);
    out += '\n';
    for (std::size_t p = 0; p < study.points.size(); ++p) {
        if (peaks[p].columns != peaks[0].columns)
            throw OutputError("the peaks of " + StudyDirectory::point_name(static_cast<int>(p)) +
                              " have other columns than those of the first point");
        out += StudyDirectory::point_name(static_cast<int>(p));
        for (const std::string& v : study.points[p].values)
            field(out, v);
        for (const std::string& v : peaks[p].values)
            field(out, v);
        out += '\n';
    }
    return out;
}

std::string study_sweep_header(const Study& study, const std::vector<std::string>& columns) {
    std::string text = "point";
    for (const std::string& key : study.keys)
        field(text, key);
    for (const std::string& c : columns)
        field(text, c);
    text += '\n';
    return text;
}

std::string study_sweep_rows(const Study& study, std::size_t point, const CsvFields& summary,
                             const std::string& path) {
    if (summary.empty() || summary[0].empty() || summary[0][0] != "viscosity_Pa_s")
        throw OutputError("'" + path + "' is not a summary table");
    const std::string name = StudyDirectory::point_name(static_cast<int>(point));
    std::string values;
    for (const std::string& v : study.points[point].values)
        field(values, v);
    std::string text;
    for (std::size_t r = 1; r < summary.size(); ++r) {
        text += name;
        text += values;
        if (summary.verbatim()) {
            // No field needs quotes: the row's fields as they stand, after a comma.
            text += ',';
            text += summary.line(r);
        } else {
            for (const std::string_view v : summary[r])
                field(text, v);
        }
        text += '\n';
    }
    return text;
}

} // namespace tidal
