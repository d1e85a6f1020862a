#include "study/study_cube.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "files/body_file.hpp"
#include "files/body_keys.hpp"
#include "files/csv.hpp"
#include "files/result_file.hpp"
#include "files/result_tables.hpp"
#include "files/version.hpp"
#include "engine/engine.hpp"
#include "study/points_csv.hpp"
#include "study/study_table.hpp"

namespace tidal {

namespace {

// A field of summary.csv: empty (no value), or the shortest round-trip text of a double.
std::optional<double> field_value(std::string_view text, const std::string& path) {
    if (text.empty()) return std::nullopt;
    double v = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        throw OutputError("'" + path + "': not a number: " + std::string(text));
    return v;
}

// A value of an axis as its coordinate shows it: a TOML text without its quotes.
std::string unquoted(const std::string& toml) {
    if (toml.size() >= 2 && toml.front() == '"' && toml.back() == '"' &&
        toml.find('\\') == std::string::npos)
        return toml.substr(1, toml.size() - 2);
    return toml;
}

StudyAxis axis_of(const std::string& key, const std::vector<std::string>& values) {
    StudyAxis a;
    a.key = key;
    a.name = key;
    // A NetCDF (and CF) name is letters, digits and '_': "shell_thickness",
    // "layer_ice_shell_thickness" (of "layer.ice shell.thickness").
    for (char& ch : a.name)
        if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')))
            ch = '_';
    a.units = key_units(key);
    a.comment = key_comment(key);
    for (const std::string& v : values) {
        double x = 0.0;
        const auto r = std::from_chars(v.data(), v.data() + v.size(), x);
        if (r.ec != std::errc() || r.ptr != v.data() + v.size()) {
            a.numbers.clear();
            break;
        }
        a.numbers.push_back(x);
    }
    if (a.numbers.empty())
        for (const std::string& v : values)
            a.texts.push_back(unquoted(v));
    return a;
}

// A summary row at viscosity eta (Pa s) with room for the quantities of n rheologies.
SummaryRow row_of(double eta, std::size_t n) {
    SummaryRow row;
    row.eta = eta;
    row.values.resize(n);
    row.steady.resize(n);
    row.love.resize(n);
    row.grid.resize(n);
    return row;
}

// The columns of a rheology's body-layer powers ("<rh>_layer<k>_power_W"), in table order;
// none for a [shell] body.
std::vector<std::size_t> layer_power_columns(std::span<const std::string_view> header,
                                             const std::string& rh) {
    std::vector<std::size_t> out;
    const std::string head = rh + "_layer";
    constexpr std::string_view tail = "_power_W";
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string_view name = header[c];
        if (name.size() <= head.size() + tail.size() || !name.starts_with(head) ||
            !name.ends_with(tail))
            continue;
        const std::string_view k = name.substr(head.size(), name.size() - head.size() - tail.size());
        if (std::all_of(k.begin(), k.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
            out.push_back(c);
    }
    return out;
}

} // namespace

StudyPointRows point_rows(const CsvFields& table, const std::string& path,
                          const std::vector<std::string>& rheologies) {
    if (table.empty() || table[0].empty()) throw OutputError("'" + path + "' is not a summary table");
    const std::span<const std::string_view> header = table[0];
    // Each quantity's column, looked up once for all rows (in the order the rows use them); a
    // missing one is reported where a row first needs it.
    std::vector<std::size_t> columns;
    std::vector<std::string> names;
    // A table of numerics.extrapolate has the extrapolated values after the grid errors.
    const bool extrapolated =
        !rheologies.empty() &&
        std::find(header.begin(), header.end(),
                  rheologies.front() + "_" + std::string(extrapolated_quantities().front().name)) !=
            header.end();
    for (const std::string& rh : rheologies) {
        const auto add = [&](std::string_view q) {
            names.push_back(rh + "_" + std::string(q));
            columns.push_back(static_cast<std::size_t>(
                std::find(header.begin(), header.end(), names.back()) - header.begin()));
        };
        for (const SummaryQuantity& q : summary_quantities())
            add(q.name);
        for (const SteadyQuantity& q : steady_quantities())
            add(q.name);
        for (const LoveQuantity& q : love_quantities())
            add(q.name);
        for (const GridErrorQuantity& q : grid_error_quantities())
            add(q.name);
        if (extrapolated)
            for (const ExtrapolatedQuantity& q : extrapolated_quantities())
                add(q.name);
    }
    std::size_t next = 0; // the next quantity of the row, in the order above
    const auto column = [&] {
        const std::size_t k = next++;
        if (columns[k] == header.size())
            throw OutputError("'" + path + "' has no column " + names[k]);
        return columns[k];
    };
    // A body given by its layers: each rheology's layers' powers, after every rheology's block.
    std::vector<std::vector<std::size_t>> layer_columns;
    for (const std::string& rh : rheologies)
        layer_columns.push_back(layer_power_columns(header, rh));
    const bool layered = !layer_columns.empty() && !layer_columns.front().empty();
    StudyPointRows out;
    out.rheologies = rheologies;
    const std::size_t n = rheologies.size();
    for (std::size_t r = 1; r < table.size(); ++r) {
        next = 0;
        const std::span<const std::string_view> f = table[r];
        const auto at = [&](std::size_t c) {
            if (c >= f.size()) throw OutputError("'" + path + "': a row is short");
            return field_value(f[c], path);
        };
        SummaryRow row = row_of(at(0).value_or(0.0), n);
        if (extrapolated) row.extrapolated.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            for (const SummaryQuantity& q : summary_quantities())
                row.values[i].*q.value = at(column()).value_or(0.0);
            for (const SteadyQuantity& q : steady_quantities())
                row.steady[i].*q.value = at(column());
            for (const LoveQuantity& q : love_quantities())
                row.love[i].*q.value = at(column());
            for (const GridErrorQuantity& q : grid_error_quantities())
                row.grid[i].*q.value = at(column());
            if (extrapolated)
                for (const ExtrapolatedQuantity& q : extrapolated_quantities())
                    row.extrapolated[i].*q.value = at(column());
        }
        if (layered)
            for (const std::vector<std::size_t>& columns_of_rheology : layer_columns) {
                std::vector<double>& powers = row.layer_power.emplace_back();
                for (const std::size_t c : columns_of_rheology)
                    powers.push_back(at(c).value_or(std::numeric_limits<double>::quiet_NaN()));
            }
        out.rows.push_back(std::move(row));
    }
    return out;
}

namespace {

// A double as its field of summary.csv reads back: itself (its shortest round-trip text parses
// to it), but a NaN as the NaN its text parses to, whatever its payload was.
double read_back(double v) {
    if (!std::isnan(v)) return v;
    std::string text;
    append_number(text, v);
    double back = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    return back;
}

std::optional<double> read_back(const std::optional<double>& v) {
    return v ? std::optional<double>(read_back(*v)) : std::nullopt;
}

} // namespace

StudyPointRows rows_as_read_back(std::span<const SummaryRow> rows,
                                 const std::vector<std::string>& rheologies) {
    StudyPointRows out;
    out.rheologies = rheologies;
    out.rows.reserve(rows.size());
    const std::size_t n = rheologies.size();
    for (const SummaryRow& in : rows) {
        SummaryRow row = row_of(read_back(in.eta), n);
        const bool extrapolated = !in.extrapolated.empty();
        if (extrapolated) row.extrapolated.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            for (const SummaryQuantity& q : summary_quantities())
                row.values[i].*q.value = read_back(in.values[i].*q.value);
            for (const SteadyQuantity& q : steady_quantities())
                row.steady[i].*q.value = read_back(in.steady[i].*q.value);
            for (const LoveQuantity& q : love_quantities())
                row.love[i].*q.value = read_back(in.love[i].*q.value);
            for (const GridErrorQuantity& q : grid_error_quantities())
                row.grid[i].*q.value = read_back(in.grid[i].*q.value);
            if (extrapolated)
                for (const ExtrapolatedQuantity& q : extrapolated_quantities())
                    row.extrapolated[i].*q.value = read_back(in.extrapolated[i].*q.value);
        }
        for (const std::vector<double>& powers : in.layer_power) {
            std::vector<double>& back = row.layer_power.emplace_back();
            for (const double p : powers)
                back.push_back(read_back(p));
        }
        out.rows.push_back(std::move(row));
    }
    return out;
}

void study_axes(const Study& study, StudyShape& shape) {
    if (!study.axes.empty()) {
        for (std::size_t k = 0; k < study.keys.size(); ++k)
            shape.axes.push_back(axis_of(study.keys[k], study.axes[k]));
        return;
    }
    StudyAxis point{"point", "point", "1", "the row of the points table, from 1", {}, {}};
    for (std::size_t p = 0; p < study.points.size(); ++p)
        point.numbers.push_back(static_cast<double>(p + 1));
    shape.axes.push_back(std::move(point));
    for (std::size_t k = 0; k < study.keys.size(); ++k) {
        std::vector<std::string> values;
        for (const StudyPoint& p : study.points)
            values.push_back(p.values[k]);
        shape.table_keys.push_back(axis_of(study.keys[k], values));
    }
}

std::vector<std::string> point_rheologies(const Study& study, std::size_t point) {
    std::vector<std::string> names;
    for (const std::string_view n : table_names(study.points[point].body.models))
        names.emplace_back(n);
    return names;
}

StudyShape study_shape(const Study& study) {
    StudyShape shape;
    study_axes(study, shape);
    for (std::size_t p = 0; p < study.points.size(); ++p) {
        for (std::string& r : point_rheologies(study, p))
            if (std::find(shape.rheologies.begin(), shape.rheologies.end(), r) ==
                shape.rheologies.end())
                shape.rheologies.push_back(std::move(r));
        const ViscositySweep sweep = viscosity_sweep(study.points[p].body);
        for (int k = sweep.first_k; k < sweep.first_k + sweep.count; ++k)
            shape.viscosities.push_back(sweep.viscosity(k));
    }
    std::sort(shape.viscosities.begin(), shape.viscosities.end());
    shape.viscosities.erase(std::unique(shape.viscosities.begin(), shape.viscosities.end()),
                            shape.viscosities.end());
    // Every point's summary has the columns of the first one's (else the study stops).
    shape.extrapolated = !study.points.empty() && study.points.front().body.extrapolate;
    if (!study.points.empty()) {
        const Body& body = study.points.front().body;
        shape.layer_numbers = solid_layer_numbers(body);
        shape.layer_names = solid_layer_names(body);
    }
    shape.source = kVersion;
    shape.attributes.push_back({"method", std::string(study.steady ? "steady" : "time")});
    return shape;
}

} // namespace tidal
