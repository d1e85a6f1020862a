#include "cli/launch.hpp"

#include <charconv>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace tidal {

namespace {

int number(const char* text, int fallback) {
    if (text == nullptr) return fallback;
    int v = 0;
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, v);
    return r.ec == std::errc() && r.ptr == end && v >= 0 ? v : fallback;
}

} // namespace

Launch launch_from_environment(const char* (*env)(const char*)) {
    for (const auto& [size, rank] : {std::pair{"OMPI_COMM_WORLD_SIZE", "OMPI_COMM_WORLD_RANK"},
                                     std::pair{"PMI_SIZE", "PMI_RANK"}}) {
        const int n = number(env(size), 0);
        if (n >= 1) return Launch{n, number(env(rank), 0)};
    }
    return {};
}

} // namespace tidal
