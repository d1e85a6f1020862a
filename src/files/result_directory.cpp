#include "files/result_directory.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tidal {

namespace {

std::string in_quotes(const std::string& s) {
    return "'" + s + "'";
}

// Everything the lock file holds (pid of its run, then the names of that run's files).
std::string read_all(int fd) {
    std::string text;
    char buf[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n <= 0) break;
        text.append(buf, static_cast<std::size_t>(n));
        at += n;
    }
    return text;
}

// The lines of `text` after the first.
std::vector<std::string> names_after_first_line(const std::string& text) {
    std::vector<std::string> names;
    std::size_t at = text.find('\n');
    while (at != std::string::npos && at + 1 < text.size()) {
        const std::size_t end = text.find('\n', at + 1);
        if (end == std::string::npos) break; // a name being written when its run ended
        names.push_back(text.substr(at + 1, end - at - 1));
        at = end;
    }
    return names;
}

// The process id that the lock's holder wrote, if it is there and names a live process.
std::optional<std::string> holder_pid(int fd) {
    const std::string text = read_all(fd);
    const std::string first = text.substr(0, text.find('\n'));
    char* end = nullptr;
    const long pid = std::strtol(first.c_str(), &end, 10);
    if (pid > 0 && end != first.c_str() && *end == '\0' &&
        (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM))
        return first;
    return std::nullopt;
}

// Takes the lock, or names the process that holds it. The holder writes its id just after
// taking the lock and clears it just before letting go, so a refusal that finds no id asks
// again for a moment: the lock may be free by then, or the id written.
void take_lock(int fd, const std::string& dir) {
    for (int attempt = 0;; ++attempt) {
        int rc = 0;
        while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
        if (rc == 0) return;
        if (errno != EWOULDBLOCK)
            throw OutputError("cannot lock output directory " + in_quotes(dir) + ": " +
                              std::strerror(errno));
        const auto pid = holder_pid(fd);
        if (pid || attempt == 100)
            throw DirectoryInUse("output directory " + in_quotes(dir) +
                                 " is in use by another run (process " + pid.value_or("unknown") +
                                 ")");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool plain_name(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

} // namespace

ResultDirectory::ResultDirectory(std::string dir) : dir_(std::move(dir)) {
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
    if (ec)
        throw OutputError("cannot create output directory " + in_quotes(dir_) + ": " +
                          ec.message());

    const std::string lock_path = path(kLockFileName);
    lock_fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (lock_fd_ < 0)
        throw OutputError("cannot create lock file " + in_quotes(lock_path) + ": " +
                          std::strerror(errno));
    try {
        take_lock(lock_fd_, dir_);
    } catch (...) {
        ::close(lock_fd_);
        throw;
    }
    try {
        finish_interrupted_publication();
    } catch (...) {
        ::close(lock_fd_);
        throw;
    }
    // Ours now: the ".partial" files of the run before are stale, whatever they hold.
    for (const std::string& name : names_after_first_line(read_all(lock_fd_)))
        if (plain_name(name)) ::unlink((path(name) + std::string(kPartialSuffix)).c_str());
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(lock_fd_, 0) != 0 || ::pwrite(lock_fd_, pid.data(), pid.size(), 0) < 0) {
        const int err = errno;
        ::close(lock_fd_);
        throw OutputError("cannot write lock file " + in_quotes(lock_path) + ": " +
                          std::strerror(err));
    }
}

ResultDirectory::ResultDirectory(InMemory memory) : dir_("."), memory_(std::move(memory)) {}

ResultDirectory::~ResultDirectory() {
    files_.clear(); // closes what is still open
    if (lock_fd_ < 0) return;
    // After publication no ".partial" file is left to remember.
    if (published_) (void)::ftruncate(lock_fd_, 0);
    ::close(lock_fd_); // releases the lock
}

std::string ResultDirectory::path(std::string_view name) const {
    if (dir_ == ".") return std::string(name);
    return (std::filesystem::path(dir_) / name).string();
}

void ResultDirectory::record_partial(std::string_view name) {
    const std::string line = std::string(name) + "\n";
    const off_t end = ::lseek(lock_fd_, 0, SEEK_END);
    if (end < 0 ||
        ::pwrite(lock_fd_, line.data(), line.size(), end) != static_cast<ssize_t>(line.size()))
        throw OutputError("cannot write lock file " + in_quotes(path(kLockFileName)) + ": " +
                          std::strerror(errno));
}

ResultFile& ResultDirectory::open(std::string_view name) {
    if (memory_) {
        bool keep = false;
        for (const std::string& k : memory_->kept)
            keep = keep || k == name;
        for (auto& [n, file] : files_)
            if (n == name) file.reset(); // opened anew: the text written before is gone
        files_.emplace_back(std::string(name), std::make_unique<ResultFile>(
                                                   std::string(name), ResultFile::InMemory{keep}));
        return *files_.back().second;
    }
    const std::string partial = *reserve(name);
    files_.back().second = std::make_unique<ResultFile>(partial);
    return *files_.back().second;
}

std::string ResultDirectory::text(std::string_view name) const {
    std::string out;
    for (const auto& [n, file] : files_)
        if (n == name && file) {
            file->flush();
            out = file->content();
        }
    return out;
}

std::string ResultDirectory::take_text(std::string_view name) {
    std::string out;
    for (const auto& [n, file] : files_)
        if (n == name && file) out = file->take_content();
    return out;
}

std::optional<std::string> ResultDirectory::reserve(std::string_view name) {
    if (memory_) return std::nullopt;
    const std::string final_path = path(name);
    struct stat st {};
    if (::stat(final_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw OutputError("cannot create result file " + in_quotes(final_path) + ": " +
                          std::strerror(EISDIR));
    record_partial(name);
    // A fresh file, never one reached through whatever stands at the temporary name.
    const std::string partial = final_path + std::string(kPartialSuffix);
    ::unlink(partial.c_str());
    files_.emplace_back(std::string(name), nullptr);
    return partial;
}

void ResultDirectory::sync_directory() const {
    const int dir_fd = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd >= 0) {
        (void)::fsync(dir_fd);
        ::close(dir_fd);
    }
}

void ResultDirectory::finish_interrupted_publication() {
    const std::string marker = path(kPublishingFileName);
    const int fd = ::open(marker.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    // One name a line, every line: an empty first line makes them all "after the first".
    std::string text(1, '\n');
    text.append(read_all(fd));
    ::close(fd);
    for (const std::string& name : names_after_first_line(text)) {
        if (!plain_name(name)) continue;
        const std::string from = path(name) + std::string(kPartialSuffix);
        if (::rename(from.c_str(), path(name).c_str()) != 0 && errno != ENOENT)
            throw OutputError("cannot complete the interrupted publication of result file " +
                              in_quotes(path(name)) + ": " + std::strerror(errno));
    }
    sync_directory();
    ::unlink(marker.c_str());
    sync_directory();
}

void ResultDirectory::publish() {
    if (memory_) {
        for (auto& [name, file] : files_)
            if (file) file->close();
        published_ = true;
        return;
    }
    for (auto& [name, file] : files_)
        if (file) file->close();
    // The set, named and on disk before its first file moves.
    std::string names;
    for (auto& [name, file] : files_)
        names += name + "\n";
    {
        ResultFile marker(path(kPublishingFileName));
        marker.write(names);
        marker.close();
    }
    sync_directory();
    for (auto& [name, file] : files_) {
        const std::string to = path(name);
        const std::string from = to + std::string(kPartialSuffix);
        if (::rename(from.c_str(), to.c_str()) != 0)
            throw OutputError("cannot publish result file " + in_quotes(to) + ": " +
                              std::strerror(errno));
    }
    // Make the renames themselves durable, then the end of the publication.
    sync_directory();
    if (::unlink(path(kPublishingFileName).c_str()) != 0)
        throw OutputError("cannot remove " + in_quotes(path(kPublishingFileName)) + ": " +
                          std::strerror(errno));
    sync_directory();
    published_ = true;
}

} // namespace tidal
