#pragma once
// The whole program: menu, choice, sweep and the result files of the output directory.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "description/body.hpp"
#include "files/exit_status.hpp"
#include "files/version.hpp"

namespace tidal {

// How the periodic response is found: stepped in time from rest (the result files of earlier
// versions and the steady state beside them), or as the periodic steady state alone.
enum class Method { Time, Steady };

struct ProgramSettings {
    std::optional<Body> body_spec; // a body from a file, checked, overrides applied
    std::optional<int> body; // preset body; without either the menu is shown and one is read
    std::vector<std::string> overrides; // KEY=VALUE replacing keys of the preset
    std::string output = ".";           // directory of the result files, created if missing
    int threads = 1;
    bool plain = false;         // the slow one-viscosity-at-a-time path
    std::vector<double> series; // viscosities (Pa s) whose series tables are written
    std::vector<double> maps;   // viscosities (Pa s) whose surface heat-flux maps are written
    double map_step = 2.0;      // the maps' grid step, degrees
    Method method = Method::Time;
    bool progress = false;      // a progress line on `err` (for a terminal)
    // Asked between viscosities: a nonzero signal number stops the sweep.
    int (*interrupted)() = [] { return 0; };
};

// Runs the program with the given console streams; returns the exit status. The result files
// are published only when the sweep is complete. Throws DirectoryInUse when another run holds
// the output directory, and OutputError when a result file cannot be created, written or
// published (the message says where the completed viscosities are).
//
// Besides the result files the output directory gets `body.toml`, the body that was run,
// from which `--body-file` repeats the run.
int run_program(std::istream& in, std::ostream& out, std::ostream& err,
                const ProgramSettings& settings);

} // namespace tidal
