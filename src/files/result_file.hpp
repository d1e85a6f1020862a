#pragma once
// A result file written sequentially from its beginning, in whole records. What is written
// between two flushes reaches the file whole or not at all: when the system refuses part of it
// (a full disk), the file is cut back to the end of the last whole flush before the failure is
// reported, so it never holds a torn line. Every failure to create, write, flush or close it
// throws OutputError naming the file and the system's reason.
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tidal {

class OutputError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class ResultFile {
  public:
    // Creates the file, or truncates it if it exists.
    explicit ResultFile(std::string path);
    // A file held in memory under the name `name`: its flushed text is kept (content()) when
    // `keep`, else dropped; it never fails and is never synced.
    struct InMemory {
        bool keep = true;
    };
    ResultFile(std::string name, InMemory memory);
    ~ResultFile();
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;

    // Adds text to the pending records; nothing reaches the file before flush().
    void write(std::string_view text);
    // Hands the pending records to the system as one unit.
    void flush();
    // Replaces the file's whole content by `text` (flushed): the file then holds either all
    // of it or, after a failure, nothing.
    void rewrite(std::string_view text);
    // Flushes, makes the content durable (fsync) and closes the file, reporting any failure.
    void close();

    const std::string& path() const { return path_; }
    // The text written so far of a file held in memory and kept (empty otherwise; in memory
    // a write cannot fail part way, so what is written counts as flushed).
    const std::string& content() const { return content_; }
    // The same, moved out: the file in memory is then empty.
    std::string take_content();
    // Whether whatever is written is dropped (a file held in memory and not kept): a writer
    // may then leave its records unformatted.
    bool discards() const { return in_memory_ && !keep_; }

  private:
    [[noreturn]] void fail(const char* action, int err) const;
    // Hands `unit` to the system after the last whole unit; on failure cuts the file back to
    // that unit's end and throws.
    void write_whole(std::string_view unit);
    std::string path_;
    int fd_ = -1;
    std::string pending_;
    off_t whole_ = 0; // end of the last whole flush
    off_t handed_ = 0; // the records before this are being written to the disk already
    bool in_memory_ = false, keep_ = false;
    std::string content_; // a kept file's text in memory, as written
};

} // namespace tidal
