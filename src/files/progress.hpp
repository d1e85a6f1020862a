#pragma once
// A self-updating progress line on a terminal: viscosities (or points) done of the total, the time
// spent and an estimate of the time left. Writes nothing when disabled.
#include <chrono>
#include <iosfwd>

namespace tidal {

class ProgressLine {
  public:
    // `unit` names what is counted ("viscosity", "point").
    ProgressLine(std::ostream& terminal, int total, bool enabled, const char* unit = "viscosity");
    // Removes the line, also when a failure ends the sweep.
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // `done` viscosities are complete; redraws the line at most ten times a second.
    void update(int done);
    // Removes the line.
    void clear();

  private:
    using Clock = std::chrono::steady_clock;
    std::ostream& out_;
    int total_;
    bool enabled_;
    const char* unit_;
    bool shown_ = false;
    Clock::time_point start_, last_draw_;
};

} // namespace tidal
