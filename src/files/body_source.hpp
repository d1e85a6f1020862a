#pragma once
// Reading body files (and the other input files of a run) from disk.
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "files/body_file.hpp"

namespace tidal {

// Largest body file read, bytes: far above any real one (a 10000-layer rigidity array is about
// 250 kB), low enough that a wrong path to a huge file fails at once.
inline constexpr std::size_t kMaxBodyFileBytes = 16u << 20;

// The whole text of the file at `path` (at most kMaxBodyFileBytes); a failure is a BodyError
// naming the file as a `kind` ("body file") and the system's reason.
std::variant<std::string, BodyError> read_text_file(const std::string& path, std::string_view kind);

// Reads and checks the body file at `path`, with the overrides applied. A file that cannot be
// read is a BodyError naming it and the system's reason.
std::variant<Body, BodyError> read_body_file(const std::string& path,
                                                 std::span<const std::string> overrides);

} // namespace tidal
