#pragma once
// SIGINT and SIGTERM during a sweep: instead of dying with half-written files, the program
// notes the signal, stops after the viscosity in hand and closes its files. SIGPIPE is
// ignored meanwhile: a reader that closes the console must not end the sweep.
namespace tidal {

// Catches the two signals (and ignores SIGPIPE) while alive; restores the previous handlers when
// destroyed.
class InterruptCatcher {
  public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    // The signal caught, or 0.
    static int caught();
};

} // namespace tidal
