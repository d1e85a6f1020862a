#pragma once
// Parsing a TOML document for the body and study readers, with a failure as one line.
#include <optional>
#include <string>
#include <string_view>

#include <toml++/toml.h>

namespace tidal {

// Parses `text` into `doc`; on a syntax error returns "<source>:<line>: not a valid TOML file:
// <what>" on one line and leaves `doc` empty.
inline std::optional<std::string> parse_toml_document(std::string_view text,
                                                      std::string_view source, toml::table& doc) {
    try {
        doc = toml::parse(text, source);
    } catch (const toml::parse_error& e) {
        std::string what(e.description());
        for (char& c : what)
            if (c == '\n') c = ' ';
        return std::string(source) + ":" + std::to_string(e.source().begin.line) +
               ": not a valid TOML file: " + what;
    }
    return std::nullopt;
}

} // namespace tidal
