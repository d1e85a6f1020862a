#pragma once
// How many threads a sweep or a study runs on.
#include <optional>

namespace tidal {

// The most threads a caller may ask for.
inline constexpr int kMaxThreads = 1024;

// Threads to use on this machine: every core (1 where the count is unknown).
int default_thread_count();

// Threads to use: `requested` if given, else OMP_NUM_THREADS (`omp_num_threads`, may be null)
// if it holds a whole decimal integer in 1..kMaxThreads, else every core of the machine.
int thread_count(std::optional<int> requested, const char* omp_num_threads);

} // namespace tidal
