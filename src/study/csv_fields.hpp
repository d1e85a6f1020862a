#pragma once
// A CSV table a study reads back (a point's summary.csv or peaks.csv) as views of its fields,
// with the rows and fields read_csv_rows (study/points_csv.hpp) gives. A table without quotes
// and blanks, as the program writes its tables, is split in place: its fields are views into
// its text, and each row's fields are one stretch of it. Any other text is read by
// read_csv_rows and viewed in the fields it returns.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tidal {

class CsvFields {
  public:
    // Takes the table's text; `label` names it in messages. Throws OutputError when it is not
    // CSV (a quoted field not closed, text after one).
    CsvFields(std::string text, const std::string& label);
    // The views point into this object.
    CsvFields(const CsvFields&) = delete;
    CsvFields& operator=(const CsvFields&) = delete;

    std::size_t size() const { return starts_.size() - 1; }
    bool empty() const { return size() == 0; }
    std::span<const std::string_view> operator[](std::size_t row) const {
        return std::span<const std::string_view>(fields_).subspan(starts_[row],
                                                                  starts_[row + 1] - starts_[row]);
    }
    // Whether every field is its text unchanged and the fields of a row follow one another
    // in it, separated by single commas: row `row`'s fields are then line(row).
    bool verbatim() const { return verbatim_; }
    // The text of row `row`'s fields, commas between (verbatim() tables only).
    std::string_view line(std::size_t row) const;

  private:
    std::string text_;
    std::vector<std::vector<std::string>> owned_; // the fields of a text read by read_csv_rows
    std::vector<std::string_view> fields_;
    std::vector<std::size_t> starts_{0}; // each row's first field, then the end
    bool verbatim_ = false;
};

} // namespace tidal
