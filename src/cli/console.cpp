#include "cli/console.hpp"

#include <cerrno>
#include <ostream>

namespace tidal {

void Console::check() {
    if (error_ != kNone || out_) return;
    // The stream keeps no reason; the system's is still in errno right after the failed write.
    error_ = errno == EPIPE ? kReaderGone : kOther;
}

void Console::write(std::string_view text) {
    if (error_ != kNone) return;
    errno = 0;
    out_ << text;
    check();
}

void Console::flush() {
    if (error_ != kNone) return;
    errno = 0;
    out_.flush();
    check();
}

} // namespace tidal
