#pragma once
// A result file written sequentially from its beginning. Every failure to create, write,
// flush or close it throws OutputError naming the file and the system's reason.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tidal {

class OutputError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class ResultFile {
  public:
    // Creates the file, or truncates it if it exists.
    explicit ResultFile(std::string path);
    ~ResultFile();
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;

    void write(std::string_view text);
    // Hands what was written so far to the system, so that it survives a later failure.
    void flush();
    // Closes the file, reporting any error that a delayed write or the close brings.
    void close();

  private:
    [[noreturn]] void fail(const char* action, int err) const;
    std::string path_;
    std::FILE* file_ = nullptr;
};

} // namespace tidal
