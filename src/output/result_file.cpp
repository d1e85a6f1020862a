#include "output/result_file.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

namespace tidal {

ResultFile::ResultFile(std::string path) : path_(std::move(path)) {
    errno = 0;
    file_ = std::fopen(path_.c_str(), "wb");
    if (file_ == nullptr) fail("create", errno);
}

ResultFile::~ResultFile() {
    if (file_ != nullptr) std::fclose(file_);
}

void ResultFile::fail(const char* action, int err) const {
    std::string msg = "cannot " + std::string(action) + " result file '" + path_ + "'";
    if (err != 0) msg += ": " + std::string(std::strerror(err));
    throw OutputError(msg);
}

void ResultFile::write(std::string_view text) {
    if (file_ == nullptr) fail("write", EBADF);
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::ferror(file_))
        fail("write", errno);
}

void ResultFile::flush() {
    if (file_ == nullptr) fail("write", EBADF);
    errno = 0;
    if (std::fflush(file_) != 0) fail("write", errno);
}

void ResultFile::close() {
    if (file_ == nullptr) return;
    std::FILE* f = file_;
    file_ = nullptr;
    errno = 0;
    const bool write_error = std::fflush(f) != 0 || std::ferror(f);
    const int flush_errno = errno;
    errno = 0;
    const bool close_error = std::fclose(f) != 0;
    if (write_error) fail("write", flush_errno);
    if (close_error) fail("close", errno);
}

} // namespace tidal
