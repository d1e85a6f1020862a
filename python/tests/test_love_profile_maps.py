"""Love numbers, heating profiles and maps: the module's equal the program's files."""
import csv
import filecmp

import numpy as np
import pytest

import tidal

SHORT = {"sweep.log10_viscosity_min": 12, "sweep.log10_viscosity_max": 15,
         "sweep.steps_per_decade": 2, "numerics.steps_per_period": 200, "numerics.periods": 4}
ARGS = [a for k, v in SHORT.items() for a in ("--set", f"{k}={v}")]


def read_columns(path):
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], list(zip(*rows[1:]))


@pytest.mark.parametrize("method", ["time", "steady"])
def test_profile_and_maps_equal_the_programs_files(program, tmp_path, method):
    cli = tmp_path / "cli"
    run = program("--body", 3, *ARGS, "--method", method, "--map", "1e13", "--map-step", "10",
                  "--output", cli)
    assert run.returncode == 0, run.stderr
    result = tidal.sweep(tidal.preset(3).with_(SHORT), method=method, jobs=1, maps=[1.1e13],
                         map_step=10)

    header, columns = read_columns(cli / "heating_profile.csv")
    assert list(result.profile) == header
    for name, values in zip(header, columns):
        got = result.profile[name]
        if name == "rheology":
            assert list(got) == list(values)
        else:
            np.testing.assert_array_equal(got, np.array(values, dtype=float), err_msg=name)

    assert list(result.maps) == [1e13]
    header, columns = read_columns(cli / "map-1e+13.csv")
    assert list(result.maps[1e13]) == header
    for name, values in zip(header, columns):
        np.testing.assert_array_equal(result.maps[1e13][name], np.array(values, dtype=float),
                                      err_msg=name)

    out = tmp_path / "py"
    result.write(out)
    names = ["heating_profile.csv", "map-1e+13.csv", "summary.csv"]
    match, mismatch, errors = filecmp.cmpfiles(cli, out, names, shallow=False)
    assert match == names, (mismatch, errors)


def test_love_numbers_and_profile_per_rheology():
    result = tidal.sweep(tidal.preset(1).with_(SHORT), method="steady",
                         rheologies=["andrade", "maxwell"], maps=[1e14])
    for r in ("maxwell", "andrade"):
        # k2/Q is -Im k2, Q where the response lags; the layers add up to the power.
        np.testing.assert_array_equal(result[f"{r}_minus_im_k2"], -result[f"{r}_k2_imag"])
        q = result[f"{r}_tidal_q"]
        k2 = np.hypot(result[f"{r}_k2_real"], result[f"{r}_k2_imag"])
        np.testing.assert_allclose(q, k2 / result[f"{r}_minus_im_k2"], rtol=1e-15)
        rows = result.profile["rheology"] == r
        power = result.profile["power_W"][rows].reshape(len(result), -1).sum(axis=1)
        np.testing.assert_allclose(power, result[f"{r}_power_W"], rtol=1e-13)
    assert set(result.profile["rheology"]) == {"maxwell", "andrade"}
    assert [n for n in result.maps[1e14] if n.endswith("_heat_flux_W_m2")] == \
        ["maxwell_heat_flux_W_m2", "andrade_heat_flux_W_m2"]
    with pytest.raises(ValueError, match="map 1e\\+?30 lies outside"):
        tidal.sweep(tidal.preset(1).with_(SHORT), method="steady", maps=[1e30])
    with pytest.raises(ValueError, match="map_step"):
        tidal.sweep(tidal.preset(1).with_(SHORT), method="steady", maps=[1e14], map_step=7)
