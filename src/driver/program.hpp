#pragma once
// The whole program: menu, choice, sweep and result files in the working directory.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tidal {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;      // a result file could not be written, or worse
inline constexpr int kExitBadChoice = 2;    // the menu choice (or an option) was not valid
inline constexpr int kExitSignalBase = 128; // plus the number of the signal that stopped it

struct ProgramSettings {
    std::optional<int> body;  // preset body; without it the menu is shown and one is read
    std::string output = "."; // directory of the result files, created if missing
    int threads = 1;
    bool plain = false;         // the slow one-viscosity-at-a-time path
    std::vector<double> series; // viscosities (Pa s) whose series tables are written
    bool progress = false;      // a progress line on `err` (for a terminal)
    // Asked between viscosities: a nonzero signal number stops the sweep.
    int (*interrupted)() = [] { return 0; };
};

// Runs the program with the given console streams; returns the exit status. Throws
// OutputError when a result file cannot be created, written or closed.
int run_program(std::istream& in, std::ostream& out, std::ostream& err,
                const ProgramSettings& settings);

} // namespace tidal
