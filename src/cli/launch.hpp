#pragma once
// How the process was started: by mpirun (or another MPI launcher) as one of several
// processes, or alone. Read from the launcher's environment, so that even a program built
// without MPI can tell that it was started K times.
namespace tidal {

struct Launch {
    int size = 1; // processes started together
    int rank = 0; // this one's number among them
};

// From OMPI_COMM_WORLD_SIZE/RANK (Open MPI) or PMI_SIZE/RANK (MPICH, Slurm's PMI); `env` is
// getenv or a stand-in.
Launch launch_from_environment(const char* (*env)(const char*));

} // namespace tidal
