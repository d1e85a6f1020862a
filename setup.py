"""`pip install .`: the Python package tidal, its compiled module built by the project's CMake.

The metadata lives here rather than in pyproject.toml: scikit-build 0.16 (Debian's) passes it
to setuptools itself. The version is the program's, read from the one place that states it.
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def program_version():
    """The version of the program `tidal` (src/files/version.hpp's kVersion), e.g. "1.2.0"."""
    with open(os.path.join(HERE, "src", "files", "version.hpp"), encoding="utf-8") as f:
        found = re.search(r'kVersion\s*=\s*"tidal ([^"]+)"', f.read())
    if found is None:
        sys.exit("setup.py: no kVersion in src/files/version.hpp")
    return found.group(1)


def require_numpy():
    """Stops with one clear line when the interpreter that runs pip has no numpy: the module
    hands every result over as numpy arrays."""
    try:
        import numpy  # noqa: F401
    except ImportError:
        sys.exit(f"tidal: the Python package needs numpy, which {sys.executable} cannot import; "
                 "install numpy into it first (with Debian's python3-numpy: a venv made with "
                 "`python3 -m venv --system-site-packages`)")


def cmake_args():
    """The CMake options of the module's build: no tests, the package straight under the
    install prefix (scikit-build's python/, the package directory)."""
    args = ["-DTIDAL_PYTHON=ON", "-DBUILD_TESTING=OFF", "-DTIDAL_PYTHON_INSTALL_DIR=."]
    try:  # pybind11 from the package index (an isolated build) ships its CMake files inside
        import pybind11
        args.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
    except ImportError:  # Debian's pybind11-dev: found by CMake in /usr/lib/cmake
        pass
    return args


require_numpy()

from skbuild import setup  # noqa: E402  (after the check: numpy's message comes first)

setup(
    name="tidal",
    version=program_version(),
    description="Tidal deformation and heating of a planetary body's viscoelastic shell",
    long_description=open(os.path.join(HERE, "README.md"), encoding="utf-8").read(),
    long_description_content_type="text/markdown",
    python_requires=">=3.9",
    install_requires=["numpy", 'tomli; python_version < "3.11"'],
    extras_require={"pandas": ["pandas"], "plot": ["matplotlib"]},
    packages=["tidal"],
    package_dir={"": "python"},
    cmake_install_dir="python",
    cmake_install_target="install-python",
    cmake_args=cmake_args(),
)
