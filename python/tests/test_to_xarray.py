"""Result.to_xarray() is the Dataset of the program's results.nc, every variable and
attribute the same."""
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
