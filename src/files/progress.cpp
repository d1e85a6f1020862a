#include "files/progress.hpp"

#include <cstdio>
#include <ostream>

namespace tidal {

ProgressLine::ProgressLine(std::ostream& terminal, int total, bool enabled, const char* unit)
    : out_(terminal), total_(total), enabled_(enabled), unit_(unit), start_(Clock::now()),
      last_draw_(start_) {}

void ProgressLine::update(int done) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (shown_ && done < total_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
    last_draw_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    char line[128];
    if (done > 0) {
        const double left = elapsed / done * (total_ - done);
        std::snprintf(line, sizeof line, "\r%s %d/%d, %.1f s elapsed, about %.1f s left\033[K",
                      unit_, done, total_, elapsed, left);
    } else {
        std::snprintf(line, sizeof line, "\r%s 0/%d, %.1f s elapsed\033[K", unit_, total_, elapsed);
    }
    out_ << line << std::flush;
    shown_ = true;
}

void ProgressLine::clear() {
    if (!enabled_ || !shown_) return;
    out_ << "\r\033[K" << std::flush;
    shown_ = false;
}

} // namespace tidal
