#include "cli/menu.hpp"

#include <cctype>
#include <charconv>
#include <istream>
#include <ostream>
#include <vector>

#include "body/presets.hpp"
#include "files/record.hpp"

namespace tidal {

void write_menu(std::ostream& out) {
    // The presets' labels, four to a line.
    constexpr std::size_t kPerLine = 4;
    std::vector<std::string> lines = {"Choose from examined planetary bodies"};
    const auto table = presets();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i % kPerLine == 0)
            lines.emplace_back();
        else
            lines.back() += ", ";
        lines.back() += table[i].menu_label;
    }
    for (const std::string& line : lines) {
        Record rec;
        out << rec.text(line).line();
    }
    out.flush();
}

std::variant<int, ChoiceError> read_choice(std::istream& in) {
    const std::string expected = "expected an integer from " + std::to_string(kFirstChoice) +
                                 " to " + std::to_string(kLastChoice);
    std::string token;
    if (!(in >> token)) return ChoiceError{expected + " on standard input, but the input ended"};

    const char* first = token.data();
    const char* last = token.data() + token.size();
    if (first != last && *first == '+') ++first;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    const bool is_integer = ec == std::errc() && ptr == last;
    if (!is_integer || value < kFirstChoice || value > kLastChoice)
        return ChoiceError{expected + ", but read '" + printable(token) + "'"};
    return value;
}

} // namespace tidal
