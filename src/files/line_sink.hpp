#pragma once
// Where the console lines of a run go: the command line's standard output (its Console), or
// nowhere, for the callers that write only the files (studies, Python).
#include <string_view>

namespace tidal {

class LineSink {
  public:
    virtual ~LineSink() = default;
    // Writes one or more whole lines.
    virtual void write(std::string_view text) = 0;
    // Hands the lines written so far to the reader.
    virtual void flush() = 0;
    // Whether nobody reads the lines: a writer may then leave them unformatted.
    virtual bool discards() const { return false; }
};

// Lines nobody reads.
class DiscardedLines final : public LineSink {
  public:
    void write(std::string_view) override {}
    void flush() override {}
    bool discards() const override { return true; }
};

} // namespace tidal
