#include "body/quoted_text.hpp"

#include <cstdio>

namespace tidal {

std::string toml_string(std::string_view v) {
    std::string s = "\"";
    for (const char c : v) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            s += '\\';
            s += c;
        } else if (u < 0x20 || u == 0x7f) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", u);
            s += esc;
        } else {
            s += c;
        }
    }
    return s + "\"";
}

} // namespace tidal
