import subprocess

import pytest


def pytest_addoption(parser):
    parser.addoption("--tidal-program", required=True, help="the tidal program whose files are read")
    parser.addoption("--data-dir", required=True, help="tests/data, with the small study")


@pytest.fixture(scope="session")
def program(request):
    """Runs the tidal program with the given arguments; fails the test on a non-zero status."""
    path = request.config.getoption("--tidal-program")

    def run(*args, cwd=None):
        done = subprocess.run([path, *map(str, args)], capture_output=True, text=True,
                              stdin=subprocess.DEVNULL, cwd=cwd)
        assert done.returncode == 0, done.stderr
        return done
    return run


@pytest.fixture(scope="session")
def data_dir(request):
    import pathlib
    return pathlib.Path(request.config.getoption("--data-dir"))
