#pragma once
// Study files: many bodies in one TOML file. A base body (`base = N` for preset N, or
// `base_file = "body.toml"`), any sections of a body file replacing keys of the base for every
// point, and the points: either `[axes]`, body keys each with an array of values whose
// Cartesian product is taken (the first axis varies slowest), or `points = "points.csv"`, a
// table whose header names body keys and whose rows are points. Relative file names are taken
// from the study file's directory.
//
// `method = "steady"` makes every point a sweep of periodic steady states (as --method steady)
// instead of a time integration; `method = "time"` is the default.
//
// `point_directories = false` keeps no directory per point: the study's tables are built from
// a journal of each point's summary, peaks and body (study/point_journal.hpp), which also keeps
// the study resumable.
//
// Every point's body is built by replacing its keys in the base exactly as --set does, so a
// point is checked like a body file; a bad point is one line naming the point and the key.
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "description/body.hpp"

namespace tidal {

// More points than any study should have: ten days of a 2-core machine at a second a point.
inline constexpr std::size_t kMaxStudyPoints = 1'000'000;

struct StudyPoint {
    std::vector<std::string> values; // the value of each varied key, as TOML text
    Body body;                   // the base with these values, checked
};

struct Study {
    std::vector<std::string> keys; // the varied body keys (axes or CSV columns), in order
    // From [axes]: each key's values (TOML text) in the file's order, so that the points are
    // their Cartesian product; empty for a points table.
    std::vector<std::vector<std::string>> axes;
    std::vector<StudyPoint> points;
    bool steady = false; // method = "steady": periodic steady states instead of time stepping
    bool point_directories = true; // false: a journal instead of a directory per point
};

struct StudyError {
    std::string message; // one line for the user
};

// Reads a study file's text; `path` names it in messages, and `file_path` (else `path`)
// locates the files it names (its points table, its base body file) beside it.
std::variant<Study, StudyError> read_study(std::string_view text, const std::string& path,
                                          const std::string& file_path = "");

// Reads the study file at `path`.
std::variant<Study, StudyError> read_study_file(const std::string& path);

} // namespace tidal
