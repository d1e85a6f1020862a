#pragma once
// A table of study points in CSV: a header naming body keys, then one row of values per point.
// Fields are separated by commas; a field may be quoted with '"' (a doubled '"' inside stands
// for one), which lets an array value such as "[1e9, 2e9]" hold commas. Blank lines are
// skipped; unquoted fields lose their surrounding blanks.
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tidal {

struct PointTable {
    std::vector<std::string> keys;
    std::vector<std::vector<std::string>> rows; // each as many values as keys
    std::vector<int> lines;                     // the line of each row in the file
};

struct PointTableError {
    std::string message; // one line: "source:line: what"
};

// Any CSV text as rows of fields, blank lines skipped; `lines` gets each row's line number.
std::variant<std::vector<std::vector<std::string>>, PointTableError>
read_csv_rows(std::string_view text, std::string_view source, std::vector<int>* lines = nullptr);

// The points: a header naming distinct keys, then rows of one non-empty value per key.
std::variant<PointTable, PointTableError> read_points_csv(std::string_view text,
                                                          std::string_view source);

} // namespace tidal
