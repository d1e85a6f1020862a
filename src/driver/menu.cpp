#include "driver/menu.hpp"

#include <cctype>
#include <charconv>
#include <istream>
#include <ostream>

#include "driver/bodies.hpp"
#include "output/record.hpp"

namespace tidal {

void write_menu(std::ostream& out) {
    for (const char* line : {"Choose from examined planetary bodies",
                             "Enceladus 26km(1), Enceladus 52km(2), Europa(3), Exoplanet 1day(4)",
                             "Exoplaneta 5days(5), Exoplaneta 20days(6), Exoplaneta 50days(7), "
                             "Merkur(8)"}) {
        Record rec;
        out << rec.text(line).line();
    }
    out.flush();
}

std::string printable(std::string_view token) {
    constexpr std::size_t kMaxShown = 40;
    std::string shown;
    for (std::size_t i = 0; i < token.size() && i < kMaxShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(token[i]);
        shown += std::isprint(c) ? static_cast<char>(c) : '?';
    }
    if (token.size() > kMaxShown) shown += "...";
    return shown;
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
