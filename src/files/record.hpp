#pragma once
// Free-format text records: one line that begins with one blank, items separated by blanks.
// Doubles are written in the shortest decimal form that reads back to the same double.
#include <string>
#include <string_view>

namespace tidal {

class Record {
  public:
    Record& text(std::string_view s);
    Record& real(double v);
    // The finished line, with its newline.
    const std::string& line();

  private:
    std::string buf_;
};

// Appends one record " <step> <value>\n" to `out` (used for the per-step series).
void append_step_record(std::string& out, int step, double value);

} // namespace tidal
