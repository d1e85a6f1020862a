#pragma once
// The exit statuses of the program, shared by the command line, the studies and the MPI
// division of a study: 2 for bad input (nothing created), 1 for a failure to write, 128 + the
// signal's number for a run a signal stopped.
namespace tidal {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;      // a result file could not be written, or worse
inline constexpr int kExitBadChoice = 2;    // the menu choice (or an option) was not valid
inline constexpr int kExitSignalBase = 128; // plus the number of the signal that stopped it

} // namespace tidal
