#pragma once
// Body files: the TOML form of a Body, read with every key checked and written back in the
// shortest form that reads back to the same bits.
//
// Every failure is one line naming the source (file, or the --set option), the line where the
// parser knows it, the key and what is wrong.
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "body/quoted_text.hpp" // toml_string, for the users of body files
#include "description/body.hpp"

namespace tidal {

struct BodyError {
    std::string message; // one line for the user
};

// Reads a body file's text; `source` names it in messages (the file's path). Each override is
// "KEY=VALUE" (a dotted key such as shell.thickness, a TOML value) and replaces that key before
// the body is checked.
std::variant<Body, BodyError> read_body(std::string_view text, std::string_view source,
                                            std::span<const std::string> overrides = {});

// The body as a commented TOML file; `header` (without '#') becomes its first comment line.
std::string write_body(const Body& body, std::string_view header);

// The comment a body file writes after a key ("m", "Pa; or an array ...", "orbital periods of
// each run"): its unit, or what it counts. Empty for a key without one or not of a body file.
std::string key_comment(std::string_view dotted_key);

// A double as TOML text: the shortest decimal form that reads back to the same bits, always a
// float (3.3e+09, 925.0).
std::string toml_real(double v);

// Applies overrides to a body given in code (a preset): the body is written, the overrides
// applied and the result read and checked like any file. `source` names the body in messages.
std::variant<Body, BodyError> override_body(const Body& body, std::string_view source,
                                                std::span<const std::string> overrides);

} // namespace tidal
