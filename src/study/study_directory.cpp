#include "study/study_directory.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "files/result_file.hpp"

namespace tidal {

namespace {

std::string in_quotes(const std::string& s) {
    return "'" + s + "'";
}

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
    throw OutputError("cannot " + what + " " + in_quotes(path) + ": " + std::strerror(err));
}

// Hands a file's or a directory's data to the disk.
void sync_path(const std::string& path, bool directory) {
    const int fd =
        ::open(path.c_str(), (directory ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) fail("open", path, errno);
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    // A file system that cannot sync a directory says so with EINVAL: nothing to do there.
    if (rc != 0 && !(directory && err == EINVAL)) fail("sync", path, err);
}

// The whole text of a file. Throws OutputError when it cannot be read.
std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) throw OutputError("cannot read " + in_quotes(path));
    return text.str();
}

} // namespace

namespace {

std::string without_trailing_slashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

} // namespace

StudyDirectory::StudyDirectory(const std::string& dir, bool point_directories)
    : dir_(without_trailing_slashes(dir)), path_(without_trailing_slashes(dir)) {
    // Opened only once the directory's lock is held.
    if (!point_directories)
        journal_ = std::make_unique<PointJournal>(path_ + "/" + kJournalName);
}

std::string StudyDirectory::point_name(int point) {
    char name[32];
    std::snprintf(name, sizeof name, "point-%05d", point + 1);
    return name;
}

std::string StudyDirectory::point_path(int point) const {
    return path_ + "/" + point_name(point);
}

std::string StudyDirectory::partial_path(int point) const {
    return path_ + "/." + point_name(point) + ".partial";
}

bool StudyDirectory::published(int point) const {
    if (journal_) return journal_->has(point_name(point));
    std::error_code ec;
    return std::filesystem::is_directory(point_path(point), ec);
}

std::string StudyDirectory::point_text(int point, const std::string& file) const {
    if (journal_) return journal_->text(point_name(point), file);
    return file_text(point_path(point) + "/" + file);
}

std::string StudyDirectory::point_label(int point, const std::string& file) const {
    if (journal_) return journal_->path() + " (" + point_name(point) + "/" + file + ")";
    return point_path(point) + "/" + file;
}

std::unique_ptr<ResultDirectory> StudyDirectory::begin_point(int point) const {
    if (journal_)
        return std::make_unique<ResultDirectory>(
            ResultDirectory::InMemory{{"body.toml", "summary.csv", "peaks.csv"}});
    const std::string partial = partial_path(point);
    std::error_code ec;
    std::filesystem::remove_all(partial, ec);
    if (ec) throw OutputError("cannot remove " + in_quotes(partial) + ": " + ec.message());
    return std::make_unique<ResultDirectory>(partial);
}

void StudyDirectory::publish_point(int point, std::unique_ptr<ResultDirectory> written) const {
    if (journal_) {
        // The files the study's tables are built from, byte for byte; the rest was dropped.
        std::vector<std::pair<std::string, std::string>> files;
        for (const char* name : {"body.toml", "summary.csv", "peaks.csv"})
            files.emplace_back(name, written->take_text(name));
        journal_->append(point_name(point), files);
        return;
    }
    written.reset(); // closes its files and releases its lock
    const std::string partial = partial_path(point);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(partial, ec))
        if (entry.is_regular_file()) sync_path(entry.path().string(), false);
    if (ec) throw OutputError("cannot list " + in_quotes(partial) + ": " + ec.message());
    sync_path(partial, true);
    const std::string target = point_path(point);
    if (std::rename(partial.c_str(), target.c_str()) != 0) fail("publish", target, errno);
    sync_path(path_, true);
}

namespace {

constexpr const char* kMethodFile = "/.study-method";

} // namespace

std::string StudyDirectory::recorded_method() const {
    std::ifstream in(path_ + kMethodFile, std::ios::binary);
    std::string method;
    std::getline(in, method);
    return method;
}

void StudyDirectory::record_method(const std::string& method) const {
    const std::string target = path_ + kMethodFile;
    {
        ResultFile file(target + ".partial");
        file.rewrite(method + "\n");
        file.close();
    }
    if (std::rename((target + ".partial").c_str(), target.c_str()) != 0)
        fail("write", target, errno);
    sync_path(path_, true);
}

} // namespace tidal
