#pragma once
// User input as a one-line message may show it.
#include <string>
#include <string_view>

namespace tidal {

// `token` with control bytes replaced by '?' and its length bounded (40 bytes, then "...").
std::string printable(std::string_view token);

} // namespace tidal
