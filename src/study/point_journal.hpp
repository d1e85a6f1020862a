#pragma once
// The journal of a study without point directories: one append-only file, "study.journal",
// holding for every published point the few files the study's own tables are built from
// (body.toml, summary.csv, peaks.csv), byte for byte. A record is
//   point-00007 body.toml=1438 summary.csv=275295 peaks.csv=529\n
//   <the files' bytes, in that order>
//   end point-00007\n
// and is appended whole and handed to the disk (fsync) before the next point is taken as
// published. A run stopped while appending leaves an incomplete last record: the next run
// cuts it off and computes that point again. Anything else that does not read as records is
// an error, never silently dropped.
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace tidal {

class PointJournal {
  public:
    // Opens (creating if missing) the journal at `path`, reads the index of its complete
    // records and cuts off an incomplete last one. Throws OutputError when the file cannot be
    // read or written, or holds something other than records.
    explicit PointJournal(std::string path);
    ~PointJournal();
    PointJournal(const PointJournal&) = delete;
    PointJournal& operator=(const PointJournal&) = delete;

    // Whether point `name` (e.g. "point-00007") has a complete record. has() and text() may
    // be called while another thread appends.
    bool has(const std::string& name) const;

    // The text of file `file` of point `name`'s record. Throws OutputError if there is no
    // such record or file.
    std::string text(const std::string& name, const std::string& file) const;

    // Appends the record of point `name`, its files in the order given, and syncs it to the
    // disk. Throws OutputError on failure (the journal then ends in at most an incomplete
    // record, which the next run cuts off).
    void append(const std::string& name,
                const std::vector<std::pair<std::string, std::string>>& files);

    const std::string& path() const { return path_; }

  private:
    struct Extent {
        long long offset = 0, size = 0;
    };
    std::string path_;
    int fd_ = -1;
    long long end_ = 0; // bytes of complete records
    // The records are read by one thread while another appends: the index is shared.
    mutable std::mutex index_mutex_;
    std::map<std::string, std::map<std::string, Extent>> index_;
};

} // namespace tidal
