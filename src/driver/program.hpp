#pragma once
// The whole program: menu, choice, sweep and result files in the working directory.
#include <iosfwd>

namespace tidal {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;   // a result file could not be written, or worse
inline constexpr int kExitBadChoice = 2; // the menu choice was not an integer from 1 to 8

// Runs the program with the given console streams; returns the exit status. Throws
// OutputError when a result file cannot be created, written or closed.
int run_program(std::istream& in, std::ostream& out, std::ostream& err, int threads);

} // namespace tidal
