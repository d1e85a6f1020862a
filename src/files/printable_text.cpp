#include "files/printable_text.hpp"

#include <cctype>

namespace tidal {

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

} // namespace tidal
