#include "study/point_journal.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "files/result_file.hpp"

namespace tidal {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
    throw OutputError("cannot " + what + " '" + path + "': " + std::strerror(err));
}

[[noreturn]] void damaged(const std::string& path, long long offset, const std::string& why) {
    throw OutputError("'" + path + "' is damaged at byte " + std::to_string(offset) + " (" + why +
                      "); move it away and run the study again to compute its points anew");
}

// Reads `size` bytes at `offset`; fewer only at the end of the file.
std::string read_at(int fd, const std::string& path, long long offset, long long size) {
    std::string out(static_cast<std::size_t>(size), '\0');
    long long done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out.data() + done, static_cast<std::size_t>(size - done),
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail("read", path, errno);
        if (n == 0) break;
        done += n;
    }
    out.resize(static_cast<std::size_t>(done));
    return out;
}

bool point_name(std::string_view s) {
    if (s.size() < 7 || s.substr(0, 6) != "point-") return false;
    for (const char c : s.substr(6))
        if (c < '0' || c > '9') return false;
    return true;
}

// Splits "NAME=SIZE" into its parts; false if it is not such a field.
bool file_field(std::string_view field, std::string& name, long long& size) {
    const auto eq = field.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
    name = std::string(field.substr(0, eq));
    const std::string_view digits = field.substr(eq + 1);
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), size);
    return r.ec == std::errc() && r.ptr == digits.data() + digits.size() && size >= 0;
}

// Longest header line a record may have.
constexpr long long kMaxHeader = 4096;

} // namespace

PointJournal::PointJournal(std::string path) : path_(std::move(path)) {
    const bool existed = ::access(path_.c_str(), F_OK) == 0;
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) fail("open", path_, errno);
    try {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) fail("read", path_, errno);
        const long long size = st.st_size;
        long long at = 0;
        while (at < size) {
            const std::string head = read_at(fd_, path_, at, std::min(kMaxHeader, size - at));
            const auto line_end = head.find('\n');
            if (line_end == std::string::npos) {
                if (at + static_cast<long long>(head.size()) == size &&
                    static_cast<long long>(head.size()) < kMaxHeader)
                    break; // an incomplete last header
                damaged(path_, at, "a record's first line is too long");
            }
            // "point-00007 body.toml=1438 summary.csv=275295 peaks.csv=529"
            std::string_view line(head.data(), line_end);
            std::vector<std::pair<std::string, long long>> files;
            std::string name;
            std::size_t from = 0;
            while (from <= line.size()) {
                const auto space = line.find(' ', from);
                const std::string_view field =
                    line.substr(from, space == std::string_view::npos ? line.npos : space - from);
                if (name.empty()) {
                    if (!point_name(field)) damaged(path_, at, "no point name opens a record");
                    name = std::string(field);
                } else {
                    std::string file;
                    long long bytes = 0;
                    if (!file_field(field, file, bytes))
                        damaged(path_, at, "a record's file size cannot be read");
                    files.emplace_back(file, bytes);
                }
                if (space == std::string_view::npos) break;
                from = space + 1;
            }
            long long offset = at + static_cast<long long>(line_end) + 1;
            std::map<std::string, Extent> extents;
            for (const auto& [file, bytes] : files) {
                extents[file] = Extent{offset, bytes};
                offset += bytes;
            }
            const std::string end_line = "end " + name + "\n";
            if (offset + static_cast<long long>(end_line.size()) > size)
                break; // an incomplete last record
            if (read_at(fd_, path_, offset, static_cast<long long>(end_line.size())) != end_line)
                damaged(path_, offset, "a record of " + name + " does not end as its sizes say");
            index_[name] = std::move(extents);
            at = offset + static_cast<long long>(end_line.size());
        }
        end_ = at;
        if (end_ < size) {
            // What a stopped append left: cut off, so that the next record follows the last
            // complete one.
            if (::ftruncate(fd_, static_cast<off_t>(end_)) != 0 || ::fsync(fd_) != 0)
                fail("repair", path_, errno);
        }
        if (!existed) {
            // The new file's name on the disk, before any record counts as published.
            if (::fsync(fd_) != 0) fail("sync", path_, errno);
            const auto slash = path_.rfind('/');
            const std::string parent = slash == std::string::npos ? "." : path_.substr(0, slash);
            const int dir = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dir >= 0) {
                const int rc = ::fsync(dir);
                const int err = errno;
                ::close(dir);
                if (rc != 0 && err != EINVAL) fail("sync", parent, err);
            }
        }
    } catch (...) {
        ::close(fd_);
        throw;
    }
}

PointJournal::~PointJournal() {
    if (fd_ >= 0) ::close(fd_);
}

bool PointJournal::has(const std::string& name) const {
    const std::lock_guard lock(index_mutex_);
    return index_.count(name) != 0;
}

std::string PointJournal::text(const std::string& name, const std::string& file) const {
    Extent extent;
    {
        const std::lock_guard lock(index_mutex_);
        const auto record = index_.find(name);
        if (record == index_.end())
            throw OutputError("'" + path_ + "' holds no record of " + name);
        const auto found = record->second.find(file);
        if (found == record->second.end())
            throw OutputError("'" + path_ + "': the record of " + name + " holds no " + file);
        extent = found->second;
    }
    // A complete record is never written again: read without the index held.
    std::string out = read_at(fd_, path_, extent.offset, extent.size);
    if (static_cast<long long>(out.size()) != extent.size)
        throw OutputError("'" + path_ + "' ended while " + name + "/" + file + " was read");
    return out;
}

void PointJournal::append(const std::string& name,
                          const std::vector<std::pair<std::string, std::string>>& files) {
    // The record goes out in pieces (its first line, each file's text as it stands, its last
    // line) by one gathering write: the files' texts, most of the record, are not copied.
    std::string head = name;
    for (const auto& [file, text] : files)
        head += " " + file + "=" + std::to_string(text.size());
    head += '\n';
    const std::string tail = "end " + name + "\n";
    std::vector<std::string_view> pieces;
    pieces.reserve(files.size() + 2);
    pieces.emplace_back(head);
    std::map<std::string, Extent> extents;
    long long offset = end_ + static_cast<long long>(head.size());
    for (const auto& [file, text] : files) {
        extents[file] = Extent{offset, static_cast<long long>(text.size())};
        offset += static_cast<long long>(text.size());
        pieces.emplace_back(text);
    }
    pieces.emplace_back(tail);
    const long long size = offset + static_cast<long long>(tail.size()) - end_;
    long long done = 0;
    while (done < size) {
        // The pieces from byte `done` of the record on.
        std::vector<iovec> left;
        long long skip = done;
        for (const std::string_view piece : pieces) {
            const long long n = static_cast<long long>(piece.size());
            if (skip >= n) {
                skip -= n;
                continue;
            }
            left.push_back({const_cast<char*>(piece.data()) + skip,
                            static_cast<std::size_t>(n - skip)});
            skip = 0;
        }
        const ssize_t n = ::pwritev(fd_, left.data(), static_cast<int>(left.size()),
                                    static_cast<off_t>(end_ + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            [[maybe_unused]] const int cut = ::ftruncate(fd_, static_cast<off_t>(end_));
            fail("write", path_, err);
        }
        done += n;
    }
    if (::fsync(fd_) != 0) {
        const int err = errno;
        [[maybe_unused]] const int cut = ::ftruncate(fd_, static_cast<off_t>(end_));
        fail("sync", path_, err);
    }
    end_ += size;
    const std::lock_guard lock(index_mutex_);
    index_[name] = std::move(extents);
}

} // namespace tidal
