import pathlib
import subprocess

import pytest


def pytest_addoption(parser):
    parser.addoption("--tidal-program", required=True, help="the tidal program to compare with")
    parser.addoption("--docs-dir", required=True, help="the docs/ directory with the example")


@pytest.fixture(scope="session")
def program(request):
    """Runs the tidal program with the given arguments; returns the completed process."""
    path = request.config.getoption("--tidal-program")

    def run(*args, cwd=None):
        return subprocess.run([path, *map(str, args)], capture_output=True, text=True,
                              stdin=subprocess.DEVNULL, cwd=cwd)
    return run


@pytest.fixture(scope="session")
def docs_dir(request):
    return pathlib.Path(request.config.getoption("--docs-dir"))
