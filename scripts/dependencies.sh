# The Debian packages the scripts need, in one list (sourced by scripts/run.sh, scripts/test.sh
# and .ci/run). tidal_missing_packages SET prints those of SET that this machine lacks, each
# found missing by the file or command it provides; tidal_install_missing SET installs them
# when it can (as root, or with sudo that asks no password) and otherwise prints the one
# apt-get command that does, with status 1. SET is one of
#   run   building the program and drawing its figures (scripts/run.sh)
#   test  that, plus the unit tests, the Python module and its tests (scripts/test.sh)
#   ci    that, plus MPI for the study under mpirun and ccache (.ci/run)

tidal_missing_packages() { # set
    local need=()
    command -v cmake > /dev/null || need+=(cmake)
    command -v g++ > /dev/null || need+=(g++)
    command -v make > /dev/null || need+=(make)
    [ -f /usr/include/toml++/toml.h ] || need+=(libtomlplusplus-dev)
    [ -f /usr/include/CLI/CLI.hpp ] || need+=(libcli11-dev)
    # results.nc and study.nc; pkg-config finds the library.
    [ -f /usr/include/netcdf.h ] || need+=(libnetcdf-dev)
    command -v pkg-config > /dev/null || need+=(pkg-config)
    command -v gnuplot > /dev/null || need+=(gnuplot-nox)
    # The figures read results.nc with ncdump (without it, the CSV tables beside it).
    command -v ncdump > /dev/null || need+=(netcdf-bin)
    if [ "$1" != run ]; then
        [ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
        # A run killed between two renames is tried under strace.
        command -v strace > /dev/null || need+=(strace)
        # The Python module: built and tested against Debian's interpreter and packages.
        [ -x /usr/bin/python3 ] || need+=(python3)
        [ -f /usr/include/pybind11/pybind11.h ] || need+=(pybind11-dev)
        dpkg -s python3-dev > /dev/null 2>&1 || need+=(python3-dev)
        # pip install . (scikit-build's backend) into fresh venvs; the notebook run by a
        # Jupyter kernel.
        dpkg -s python3-venv > /dev/null 2>&1 || need+=(python3-venv)
        local pkg
        # The NetCDF files read back in the tests, and Result.to_xarray().
        # sympy: the solid layers' independent solution in tests/solid_layers.py.
        for pkg in numpy pytest matplotlib pandas skbuild nbformat nbclient ipykernel xarray netCDF4 sympy; do
            /usr/bin/python3 -c "import $pkg" > /dev/null 2>&1 || need+=("python3-${pkg,,}") # Debian names are lower case
        done
    fi
    if [ "$1" = ci ]; then
        command -v mpicxx > /dev/null || need+=(libopenmpi-dev)
        command -v mpirun > /dev/null || need+=(openmpi-bin)
        # A compiler cache that the builds use when it is there (CMakeLists.txt): a second run
        # takes every unchanged object from it.
        command -v ccache > /dev/null || need+=(ccache)
    fi
    echo "${need[*]}"
}

tidal_install_missing() { # set
    local need
    need=$(tidal_missing_packages "$1")
    [ -n "$need" ] || return 0
    local install="DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need"
    if [ "$(id -u)" -eq 0 ]; then
        echo "installing the missing Debian packages: $need"
        apt-get update && sh -c "$install"
    elif command -v sudo > /dev/null && sudo -n true 2> /dev/null; then
        echo "installing the missing Debian packages (with sudo): $need"
        sudo apt-get update && sudo sh -c "$install"
    else
        echo "$(basename "$0"): missing Debian packages; install them with: sudo apt-get install $need" >&2
        return 1
    fi
}
