#pragma once
// The output directory of a study: one directory per point, published whole. A point is
// written into ".point-NNNNN.partial" and renamed to "point-NNNNN" only when all its files are
// complete and on disk, so a point directory that exists is a whole result and a stopped
// study leaves nothing that could be taken for one. Without point directories, the files the
// study's tables are built from are appended to "study.journal" instead (study/point_journal.hpp)
// and the rest of the point's files are dropped. The study holds the directory's lock, as
// any run does, so that two runs never write into it at once.
#include <memory>
#include <string>

#include "files/result_directory.hpp"
#include "study/point_journal.hpp"

namespace tidal {

class StudyDirectory {
  public:
    // Creates `dir` (with its parents) if missing and takes its lock. Throws OutputError
    // (DirectoryInUse when another run holds it).
    // `point_directories` false: the points go into the journal instead.
    explicit StudyDirectory(const std::string& dir, bool point_directories = true);

    // The name of the journal of a study without point directories.
    static constexpr const char* kJournalName = "study.journal";
    bool point_directories() const { return !journal_; }

    // "point-00001" for point 0; more digits past 99999 points.
    static std::string point_name(int point);

    // The published directory of a point, and whether the point is published (its directory
    // exists, or its journal record is complete).
    std::string point_path(int point) const;
    bool published(int point) const;

    // The text of file `file` (body.toml, summary.csv or peaks.csv) of a published point, from
    // its directory or its journal record; `label` says where, for messages. Throws
    // OutputError when it cannot be read.
    std::string point_text(int point, const std::string& file) const;
    std::string point_label(int point, const std::string& file) const;

    // An empty result directory to write a point into, its lock taken: on disk, where what a
    // stopped run left is removed first; without point directories, in memory, keeping only
    // the files the journal holds (body.toml, summary.csv, peaks.csv) and writing no other.
    std::unique_ptr<ResultDirectory> begin_point(int point) const;

    // Publishes the point written (and published) into begin_point's directory, which it
    // closes: its files are flushed to the disk, then the directory is renamed into place; or,
    // without point directories, its body.toml, summary.csv and peaks.csv are appended to the
    // journal.
    void publish_point(int point, std::unique_ptr<ResultDirectory> written) const;

    // A file of the study as a whole (study.csv), written as NAME.partial; publish_files()
    // renames every such file into place once all are complete.
    ResultFile& open_file(const std::string& name) { return dir_.open(name); }
    void publish_files() { dir_.publish(); }
    // A file of the study written whole by another library (study.nc): the path to create it
    // at, published by publish_files().
    std::string reserve_file(const std::string& name) { return *dir_.reserve(name); }

    // The method ("time" or "steady") the directory's study runs, as recorded by
    // record_method(); empty when none was recorded (a study of earlier versions: time).
    std::string recorded_method() const;
    // Records the method, on disk before any point is published, so that resuming the study
    // with the other method is refused instead of mixing points of both.
    void record_method(const std::string& method) const;

    const std::string& path() const { return path_; }

  private:
    std::string partial_path(int point) const;
    ResultDirectory dir_;
    std::string path_;
    std::unique_ptr<PointJournal> journal_; // without point directories

};

} // namespace tidal
