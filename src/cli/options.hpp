#pragma once
// Command-line options. Without a body the program shows the menu and reads one from standard
// input.
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace tidal {

struct Options {
    std::optional<int> body;              // --body N: preset body, no menu
    std::optional<std::string> body_file; // --body-file FILE: a body file, no menu
    std::vector<std::string> overrides;   // --set KEY=VALUE, in the order given
    std::optional<std::string> study;     // --study FILE: many bodies, one directory each
    std::optional<int> print_body;        // --print-body N: write preset N as a body file
    std::string output = ".";             // --output DIR: directory of the result files
    std::optional<int> jobs;              // --jobs N: threads of the sweep
    bool plain = false;                   // --plain: the slow one-viscosity-at-a-time path
    std::vector<double> series;           // --series ETA: viscosities (Pa s) to keep series of
    std::vector<double> maps;             // --map ETA: viscosities (Pa s) to map the heating of
    double map_step = 2.0;                // --map-step DEG: the maps' grid step, degrees
    bool steady = false;                  // --method steady: the periodic steady state alone
    bool method_given = false;            // --method given (it overrides a study file's)
    bool help = false;                    // --help
    bool version = false;                 // --version
    bool rheologies = false;              // --rheologies: the table of rheologies and keys
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

} // namespace tidal
