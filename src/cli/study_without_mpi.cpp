// The program built without MPI: started by mpirun, each process would run the whole study
// into the same directory. The first refuses in one line; the others say nothing.
#include <ostream>

#include "cli/launch.hpp"
#include "cli/program.hpp"
#include "study/study_command.hpp"

namespace tidal {

int mpi_study_command(const std::string&, const std::string&, const StudySettings&,
                      std::ostream& err) {
    const Launch launch =
        launch_from_environment([](const char* name) -> const char* { return std::getenv(name); });
    if (launch.rank == 0)
        err << "error: this tidal was built without MPI, so each of the " << launch.size
            << " processes of mpirun would run the whole study; run it without mpirun (it uses "
               "every core) or build with -DTIDAL_MPI=ON\n";
    return kExitBadChoice;
}

} // namespace tidal
