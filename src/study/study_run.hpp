#pragma once
// Running a study: every point not yet published is computed, batch by batch, by one pool of
// threads (and, built with MPI, by other processes), and written point by point in the
// study's order into its directory; then study.csv is written from all published points.
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/ordered_results.hpp"
#include "study/study_directory.hpp"
#include "study/study_file.hpp"
#include "study/study_job.hpp"

namespace tidal {

struct StudySettings {
    int threads = 1;            // threads of this process computing units
    bool plain = false;         // the slow one-viscosity-at-a-time path
    bool progress = false;      // a progress line on `err` (for a terminal)
    std::vector<double> series; // viscosities (Pa s) whose series tables every point writes
    // --method given: true for steady, false for time; replaces the study file's method.
    std::optional<bool> steady;
    // Asked between units: a nonzero signal number stops the study.
    int (*interrupted)() = [] { return 0; };
};

// Workers elsewhere (other processes) drawing units from the same queue as the threads.
class RemoteWorkers {
  public:
    virtual ~RemoteWorkers() = default;
    // Units they compute at the same time.
    virtual int slots() const = 0;
    // Hands units claimed from `results` to workers that ask for them and delivers the results
    // that have come back. Does not wait.
    virtual void poll(OrderedResults<UnitResult>& results) = 0;
    // Tells every worker that no more units come and waits for the results they still owe.
    virtual void finish() = 0;
    // Units handed to each of them so far.
    virtual std::vector<int> units_handed() const = 0;
};

// A study with its output directory taken and the points still to compute.
struct PreparedStudy {
    std::unique_ptr<StudyDirectory> dir;
    StudyJob job;
    int published = 0; // points published by an earlier run
};

// Checks the study's --series viscosities against every point's sweep (a steady study has no
// series), then takes the output directory (throws OutputError if it cannot be created or
// another run holds it) and finds the points already published there. A published point whose
// body is not that point's body of this study, or a directory of a study of the other method,
// is an error for the user. Records the study's method in the directory.
std::variant<PreparedStudy, StudyError> prepare_study(const Study& study, const std::string& output,
                                                      const std::vector<double>& series);

// Computes the job's points and writes them, then study.csv and study_sweep.csv; returns the
// exit status. Progress
// and the closing line go to `err`. Throws OutputError when a file cannot be written.
int run_study(const Study& study, PreparedStudy& prepared, std::ostream& err,
              const StudySettings& settings, RemoteWorkers* remote = nullptr);

} // namespace tidal
