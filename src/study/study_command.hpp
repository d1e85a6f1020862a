#pragma once
// `tidal --study FILE --output DIR` in one process: reads and checks the study, takes the
// directory and runs what is left of the study on the threads.
#include <iosfwd>
#include <string>

#include "study/study_run.hpp"

namespace tidal {

// Returns the exit status; messages go to `err` as one line each.
int study_command(const std::string& study_file, const std::string& output,
                  const StudySettings& settings, std::ostream& err);

// The same as one of the processes started by mpirun, the first of which writes (built with
// MPI only; without MPI, more than one process is refused).
int mpi_study_command(const std::string& study_file, const std::string& output,
                      const StudySettings& settings, std::ostream& err);

} // namespace tidal
