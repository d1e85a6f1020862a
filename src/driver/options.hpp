#pragma once
// Command-line options. Without any, the program shows the menu and reads the body from
// standard input.
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace tidal {

struct Options {
    std::optional<int> body;    // --body N: preset body, no menu and no read from standard input
    std::string output = ".";   // --output DIR: directory of the result files (created if missing)
    std::optional<int> jobs;    // --jobs N: threads of the sweep
    bool plain = false;         // --plain: the slow one-viscosity-at-a-time path (for checking)
    std::vector<double> series; // --series ETA (repeatable): viscosities (Pa s) to keep series of
    bool help = false;          // --help
    bool version = false;       // --version
};

struct OptionError {
    std::string message; // one line for the user
};

// Parses the arguments after the program name. Options take their value as the next argument
// or after '=' (--body=3).
std::variant<Options, OptionError> parse_options(std::span<const char* const> args);

// Usage text for --help: the options and the preset bodies.
std::string usage_text();

// Name and version for --version.
std::string version_text();

// Threads to use: --jobs if given, else OMP_NUM_THREADS if it holds a positive integer, else
// every core of the machine.
int thread_count(const Options& options, const char* omp_num_threads);

} // namespace tidal
