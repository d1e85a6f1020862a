#pragma once
// Rows of CSV tables: fields separated by commas, every record ended by a line feed (as every
// other file of the program; every common reader takes it, and awk's last field then has no
// trailing carriage return), quoting as RFC 4180 has it. Numbers
// are written in the shortest decimal form that reads back to the same double, so that every
// common reader (spreadsheets, pandas, numpy, gnuplot) takes them as numbers; text fields are
// quoted only when they hold a comma, a quote or a line break.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tidal {

// Appends a number as a CSV field holds it: the shortest decimal form that reads back to the
// same double, in exponent form where the plain one would be more than 15 digits of a whole
// number.
void append_number(std::string& out, double v);

// The CSV text of numbers met again and again (a heating profile's radii at every viscosity
// and rheology), each formatted once: slot i keeps the last double given to it, by its bits,
// and the text append_number gave it.
class NumberSlots {
  public:
    std::string_view text(std::size_t slot, double v);

  private:
    std::vector<std::pair<std::uint64_t, std::string>> slots_;
};

class CsvRow {
  public:
    CsvRow& text(std::string_view s);
    // A field already in its CSV form (a number's text from append_number, say).
    CsvRow& formatted(std::string_view s);
    CsvRow& number(double v);
    CsvRow& integer(long long v);
    // An empty field (a value that does not exist; read as missing).
    CsvRow& empty();
    // Room for `bytes` of the record, so that a long record is not moved as it grows.
    CsvRow& reserve(std::size_t bytes);
    // The finished record, with its line feed.
    const std::string& line();
    // Empty again, for the next record (its room kept).
    CsvRow& clear();

  private:
    void separate();
    std::string buf_;
    bool first_ = true;
};

} // namespace tidal
