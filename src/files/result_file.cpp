#include "files/result_file.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace tidal {

ResultFile::ResultFile(std::string path) : path_(std::move(path)) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) fail("create", errno);
}

ResultFile::ResultFile(std::string name, InMemory memory)
    : path_(std::move(name)), in_memory_(true), keep_(memory.keep) {}

ResultFile::~ResultFile() {
    if (fd_ >= 0) ::close(fd_);
}

void ResultFile::fail(const char* action, int err) const {
    std::string msg = "cannot " + std::string(action) + " result file '" + path_ + "'";
    if (err != 0) msg += ": " + std::string(std::strerror(err));
    throw OutputError(msg);
}

void ResultFile::write(std::string_view text) {
    if (in_memory_) {
        // Nothing in memory can fail part way: the text goes straight to where it is kept
        // (or nowhere), without a second copy at the flush.
        if (keep_) content_.append(text);
        return;
    }
    if (fd_ < 0) fail("write", EBADF);
    pending_.append(text);
}

void ResultFile::flush() {
    if (in_memory_) return;
    if (fd_ < 0) fail("write", EBADF);
    write_whole(pending_);
    pending_.clear();
}

void ResultFile::write_whole(std::string_view unit) {
    std::size_t done = 0;
    while (done < unit.size()) {
        const ssize_t n = ::write(fd_, unit.data() + done, unit.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            pending_.clear();
            // Part of the unit may have reached the file: cut it back to the last whole one.
            // Devices that cannot be cut (a terminal, /dev/full) never held a torn record.
            if (done > 0) {
                (void)::ftruncate(fd_, whole_);
                (void)::lseek(fd_, whole_, SEEK_SET);
            }
            fail("write", err);
        }
        done += static_cast<std::size_t>(n);
    }
    whole_ += static_cast<off_t>(done);
#ifdef __linux__
    // A large file has its records written to the disk as it grows, without waiting for them:
    // its close() then waits for little more than the last of them, instead of for all of its
    // hundreds of megabytes, which the system would otherwise keep in memory till then.
    constexpr off_t kWriteBack = off_t{16} << 20;
    if (whole_ - handed_ >= kWriteBack) {
        (void)::sync_file_range(fd_, handed_, whole_ - handed_, SYNC_FILE_RANGE_WRITE);
        handed_ = whole_;
    }
#endif
}

void ResultFile::rewrite(std::string_view text) {
    if (in_memory_) {
        content_.clear();
        if (keep_) content_.assign(text);
        return;
    }
    if (fd_ < 0) fail("write", EBADF);
    pending_.clear();
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) fail("write", errno);
    whole_ = 0;
    handed_ = 0;
    // Written from where it stands: a whole file (a NetCDF image of tens of megabytes) is not
    // copied first.
    write_whole(text);
}

void ResultFile::close() {
    if (in_memory_) return;
    if (fd_ < 0) return;
    flush();
    const int fd = std::exchange(fd_, -1);
    // Devices and some file systems cannot sync; that is no failure of the records.
    const bool sync_error = ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS;
    const int sync_errno = errno;
    if (::close(fd) != 0 && errno != EINTR) fail("close", errno);
    if (sync_error) fail("write", sync_errno);
}

std::string ResultFile::take_content() {
    return std::exchange(content_, {});
}

} // namespace tidal
