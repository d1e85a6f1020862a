"""Result.to_xarray() is the Dataset of the program's results.nc, every variable and
attribute the same."""
import os
import sys

import numpy as np
import pytest

import tidal

xr = pytest.importorskip("xarray")


@pytest.mark.parametrize("method", ["steady", "time"])
def test_to_xarray_is_the_programs_results_nc(program, tmp_path, method):
    short = {"sweep.log10_viscosity_min": 14.0, "sweep.log10_viscosity_max": 15.0,
             "sweep.steps_per_decade": 4}
    body = tidal.preset(8).with_(**short)
    args = [f"--set={k}={v}" for k, v in short.items()]
    run = program("--body", 8, *args, "--method", method, "--map", "1e14", "--map-step", "15",
                  "--output", tmp_path)
    assert run.returncode == 0, run.stderr
    result = tidal.sweep(body, method=method, maps=[1e14], map_step=15)
    got = result.to_xarray()
    want = xr.load_dataset(tmp_path / "results.nc")
    xr.testing.assert_identical(got, want)
    # Bit for bit, NaN included.
    for name in want.variables:
        if want[name].dtype == np.float64:
            np.testing.assert_array_equal(got[name].values.view(np.uint64),
                                          want[name].values.view(np.uint64), err_msg=name)
    assert got.power_W.sel(rheology="maxwell").size == len(result)


def _open_results_nc():
    """The files of this process named results.nc that it holds open (Linux's /proc)."""
    fds = "/proc/self/fd"
    out = []
    for fd in os.listdir(fds):
        try:
            target = os.readlink(os.path.join(fds, fd))
        except OSError:
            continue
        if "results.nc" in target:
            out.append(target)
    return out


# The Dataset holds its values, not the file it was read from: the file lived in a temporary
# directory, gone once to_xarray returns. Caught: the file opened lazily (each call then kept a
# handle on a deleted file, and values were read from it only when first used).
@pytest.mark.skipif(not os.path.isdir("/proc/self/fd"), reason="needs /proc/self/fd")
@pytest.mark.filterwarnings("ignore::tidal.TidalWarning")  # a peak beyond the short sweep
def test_to_xarray_holds_its_values_and_no_file():
    body = tidal.preset(8).with_(**{"sweep.log10_viscosity_min": 14.0,
                                    "sweep.log10_viscosity_max": 15.0})
    ds = tidal.sweep(body, method="steady").to_xarray()
    assert _open_results_nc() == []
    assert np.isfinite(ds.power_W.values).all() and ds.power_W.sizes["viscosity"] > 1


# Without xarray the error names the interpreter that lacks it and what to install.
@pytest.mark.filterwarnings("ignore::tidal.TidalWarning")
def test_to_xarray_without_xarray_says_what_to_install(monkeypatch):
    body = tidal.preset(8).with_(**{"sweep.log10_viscosity_min": 14.0,
                                    "sweep.log10_viscosity_max": 14.0})
    result = tidal.sweep(body, method="steady")
    monkeypatch.setitem(sys.modules, "xarray", None)
    with pytest.raises(ImportError) as e:
        result.to_xarray()
    assert sys.executable in str(e.value) and "netCDF4" in str(e.value)
