#pragma once
// User input as a one-line message may show it.
#include <string>
#include <string_view>

namespace tidal {

// `token` with control bytes replaced by '?' and its length bounded (40 bytes, then "...").
std::string printable(std::string_view token);

// A file's path as a message shows it: control bytes replaced by '?', and a path longer than
// 400 bytes shortened at its start ("..." and its last 400 bytes), so that the file's own
// name, the part a user needs, always shows.
std::string printable_path(std::string_view path);

} // namespace tidal
