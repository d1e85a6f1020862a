#pragma once
// One run's result files in one output directory, published together.
//
// The run holds an exclusive lock on the directory (flock on ".tidal.lock" there, dropped by
// the kernel when the process ends however it ends) from before its first write to its end, so
// two runs never mix their records. Every file is written as "NAME.partial" and renamed to
// "NAME" only by publish(), when the whole run is complete; a run that fails or is stopped
// leaves its whole records in the ".partial" files and every earlier complete "NAME" untouched.
// The lock file lists the ".partial" files of its last run, so that the next run removes stale
// ones it does not write again.
//
// The renames of a publication are many system calls: a run killed between two of them would
// leave new files beside old ones. So the set is named first in ".tidal.publishing" (written
// and on disk before the first rename, removed after the last): while that file stands the
// directory is a set being published, and every reader takes it as incomplete. The next run
// into the directory completes such an interrupted publication before anything else (every
// file it names was whole and on disk before the first rename).
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "files/result_file.hpp"

namespace tidal {

// Another run holds the directory.
class DirectoryInUse : public OutputError {
  public:
    using OutputError::OutputError;
};

inline constexpr std::string_view kLockFileName = ".tidal.lock";
inline constexpr std::string_view kPartialSuffix = ".partial";
inline constexpr std::string_view kPublishingFileName = ".tidal.publishing";

class ResultDirectory {
  public:
    // Creates `dir` (with its parents) if missing and takes its lock; completes a publication
    // that was interrupted, then removes the ".partial" files an earlier stopped run left. Throws DirectoryInUse naming the directory and the
    // other run's process id, or OutputError.
    explicit ResultDirectory(std::string dir);
    // A directory that exists only in memory, for results of which only a few files are kept
    // (a study's journal): the files named in `kept` hold their text (text()), every other
    // file's text is dropped as it is written, files another library would write (reserve())
    // are not written at all. Nothing touches the disk; publish() only marks it published.
    struct InMemory {
        std::vector<std::string> kept;
    };
    explicit ResultDirectory(InMemory memory);
    // Without publish(): closes the files, leaving them as ".partial"; releases the lock.
    ~ResultDirectory();
    ResultDirectory(const ResultDirectory&) = delete;
    ResultDirectory& operator=(const ResultDirectory&) = delete;

    // Creates "NAME.partial" anew; the file stays valid as long as this object. Refuses a
    // NAME where a directory stands (it could never be published).
    ResultFile& open(std::string_view name);

    // For a file another library writes whole (a NetCDF file): the "NAME.partial" path to
    // create it at (nothing stands there), published with the others. Refuses NAME as open()
    // does. In memory: nothing, and the file is not to be written.
    std::optional<std::string> reserve(std::string_view name);

    // In memory: the text written into kept file NAME (empty if it was never opened).
    std::string text(std::string_view name) const;
    // The same, moved out of the directory (whose file NAME is then empty): no copy of a
    // large table handed on whole.
    std::string take_text(std::string_view name);
    bool in_memory() const { return memory_.has_value(); }

    // Closes every file and renames each "NAME.partial" to "NAME", in the order opened, with
    // the set named in ".tidal.publishing" meanwhile.
    void publish();

    // Where the published file NAME goes; files in the working directory keep bare names.
    std::string path(std::string_view name) const;
    const std::string& dir() const { return dir_; }

  private:
    void record_partial(std::string_view name);
    void sync_directory() const;
    void finish_interrupted_publication();

    std::string dir_;
    std::optional<InMemory> memory_; // a directory in memory only
    int lock_fd_ = -1;
    bool published_ = false;
    // Per file its name and, for those written here, the file (null for reserved ones).
    std::vector<std::pair<std::string, std::unique_ptr<ResultFile>>> files_;
};

} // namespace tidal
