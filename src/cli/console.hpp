#pragma once
// The console lines on standard output, watched for failure. A reader that went away (a
// closed pipe: `tidal ... | head -3`) ends the console, not the run: the lines stop and the
// sweep and its files go on. Any other failure (a full disk behind a redirection) is kept to
// be reported once the result files are complete.
#include <iosfwd>
#include <string_view>

#include "files/line_sink.hpp"

namespace tidal {

class Console final : public LineSink {
  public:
    explicit Console(std::ostream& out) : out_(out) {}

    // Writes text unless the console has failed before.
    void write(std::string_view text) override;
    // Hands the lines written so far to the reader.
    void flush() override;
    // Notes a failure of a write made directly to the stream.
    void check();

    std::ostream& stream() { return out_; }
    // The reader closed its end; nothing to report.
    bool reader_gone() const { return error_ == kReaderGone; }
    // A failure other than a closed reader.
    bool failed() const { return error_ != kNone && error_ != kReaderGone; }

  private:
    enum Error { kNone, kReaderGone, kOther };
    std::ostream& out_;
    Error error_ = kNone;
};

} // namespace tidal
