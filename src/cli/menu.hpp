#pragma once
// The console menu of preset bodies and the reading of the user's choice.
#include <iosfwd>
#include <string>
#include <variant>

#include "files/printable_text.hpp"

namespace tidal {

// Writes the three menu lines.
void write_menu(std::ostream& out);

// Reads one integer in free form (leading blanks and line ends skipped) and checks that it
// names a preset body. On failure the result is the one-line message for the user.
struct ChoiceError {
    std::string message;
};
std::variant<int, ChoiceError> read_choice(std::istream& in);

} // namespace tidal
