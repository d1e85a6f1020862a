#include "study/points_csv.hpp"

#include <algorithm>

namespace tidal {

namespace {

struct Failure {
    std::string message;
};

bool blank(char c) { return c == ' ' || c == '\t'; }

// The first position from `from` that is not a blank, or npos.
std::size_t first_not_blank(std::string_view s, std::size_t from) {
    for (std::size_t i = from; i < s.size(); ++i)
        if (!blank(s[i])) return i;
    return std::string_view::npos;
}

std::string trimmed(std::string_view s) {
    const std::size_t a = first_not_blank(s, 0);
    if (a == std::string_view::npos) return {};
    std::size_t b = s.size();
    while (blank(s[b - 1]))
        --b;
    return std::string(s.substr(a, b - a));
}

// Splits line `number` of `source` (without its end) into fields.
std::vector<std::string> fields(std::string_view line, std::string_view source, int number) {
    const auto where = [&] { return std::string(source) + ":" + std::to_string(number); };
    std::vector<std::string> out;
    std::size_t i = 0;
    while (true) {
        const std::size_t lead = first_not_blank(line, i);
        if (lead != std::string_view::npos && line[lead] == '"') {
            std::string value;
            std::size_t j = lead + 1;
            for (;; ++j) {
                if (j >= line.size()) throw Failure{where() + ": a quoted field is not closed"};
                if (line[j] == '"') {
                    if (j + 1 < line.size() && line[j + 1] == '"') {
                        value += '"';
                        ++j;
                    } else {
                        break;
                    }
                } else {
                    value += line[j];
                }
            }
            const std::size_t end = line.find(',', j + 1);
            if (!trimmed(line.substr(j + 1, end == std::string_view::npos ? end : end - j - 1))
                     .empty())
                throw Failure{where() + ": text after a quoted field"};
            out.push_back(value);
            if (end == std::string_view::npos) return out;
            i = end + 1;
        } else {
            const std::size_t end = line.find(',', i);
            out.push_back(trimmed(line.substr(i, end == std::string_view::npos ? end : end - i)));
            if (end == std::string_view::npos) return out;
            i = end + 1;
        }
    }
}

} // namespace

std::variant<std::vector<std::vector<std::string>>, PointTableError>
read_csv_rows(std::string_view text, std::string_view source, std::vector<int>* lines) {
    std::vector<std::vector<std::string>> rows;
    try {
        int number = 0;
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = text.find('\n', at);
            if (end == std::string_view::npos) end = text.size();
            std::string_view line = text.substr(at, end - at);
            at = end + 1;
            ++number;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (first_not_blank(line, 0) == std::string_view::npos) continue; // a blank line
            rows.push_back(fields(line, source, number));
            if (lines != nullptr) lines->push_back(number);
        }
    } catch (const Failure& f) {
        return PointTableError{f.message};
    }
    return rows;
}

std::variant<PointTable, PointTableError> read_points_csv(std::string_view text,
                                                          std::string_view source) {
    std::vector<int> lines;
    auto parsed = read_csv_rows(text, source, &lines);
    if (auto* e = std::get_if<PointTableError>(&parsed)) return std::move(*e);
    auto& rows = std::get<std::vector<std::vector<std::string>>>(parsed);
    PointTable t;
    try {
        if (rows.empty()) throw Failure{std::string(source) + ": no header line naming the keys"};
        const std::string head = std::string(source) + ":" + std::to_string(lines[0]);
        for (const std::string& key : rows[0]) {
            if (key.empty()) throw Failure{head + ": a column without a key name"};
            if (std::count(rows[0].begin(), rows[0].end(), key) > 1)
                throw Failure{head + ": " + key + ": named twice"};
        }
        t.keys = rows[0];
        for (std::size_t r = 1; r < rows.size(); ++r) {
            const std::string where = std::string(source) + ":" + std::to_string(lines[r]);
            if (rows[r].size() != t.keys.size())
                throw Failure{where + ": " + std::to_string(rows[r].size()) + " values for " +
                              std::to_string(t.keys.size()) + " keys"};
            for (std::size_t c = 0; c < rows[r].size(); ++c)
                if (rows[r][c].empty()) throw Failure{where + ": " + t.keys[c] + ": no value"};
            t.rows.push_back(std::move(rows[r]));
            t.lines.push_back(lines[r]);
        }
        if (t.rows.empty()) throw Failure{std::string(source) + ": no points below the header"};
    } catch (const Failure& f) {
        return PointTableError{f.message};
    }
    return t;
}

} // namespace tidal
