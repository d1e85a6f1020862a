#include "engine/thread_count.hpp"

#include <charconv>
#include <cstring>
#include <thread>

namespace tidal {

int default_thread_count() {
    const unsigned hw = std::thread::hardware_concurrency();
    return hw == 0 ? 1 : static_cast<int>(hw);
}

int thread_count(std::optional<int> requested, const char* omp_num_threads) {
    if (requested) return *requested;
    if (omp_num_threads != nullptr) {
        const char* end = omp_num_threads + std::strlen(omp_num_threads);
        int value = 0;
        const auto [ptr, ec] = std::from_chars(omp_num_threads, end, value);
        if (ec == std::errc() && ptr == end && end != omp_num_threads && value >= 1 &&
            value <= kMaxThreads)
            return value;
    }
    return default_thread_count();
}

} // namespace tidal
