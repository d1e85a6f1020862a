#include "files/printable_text.hpp"

#include <cctype>

namespace tidal {

namespace {

std::string without_control_bytes(std::string_view text) {
    std::string shown;
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        shown += std::isprint(c) ? ch : '?';
    }
    return shown;
}

} // namespace

std::string printable(std::string_view token) {
    constexpr std::size_t kMaxShown = 40;
    if (token.size() <= kMaxShown) return without_control_bytes(token);
    return without_control_bytes(token.substr(0, kMaxShown)) + "...";
}

std::string printable_path(std::string_view path) {
    constexpr std::size_t kMaxShown = 400;
    if (path.size() <= kMaxShown) return without_control_bytes(path);
    return "..." + without_control_bytes(path.substr(path.size() - kMaxShown));
}

} // namespace tidal
