#pragma once
// How a text is quoted, by the body files and by the messages that name a body's layers: as a
// TOML basic string.
#include <string>
#include <string_view>

namespace tidal {

// A text as a TOML basic string: quoted, with quotes, backslashes and control bytes escaped.
std::string toml_string(std::string_view v);

} // namespace tidal
