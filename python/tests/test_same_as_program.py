"""The module and the program give the same numbers and the same files."""
import csv
import filecmp
import os

import numpy as np
import pytest

import tidal


def read_csv(path):
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], rows[1:]


def bits(values):
    """The doubles as their bit patterns, so that NaNs and signed zeros compare too."""
    return np.asarray(values, dtype=np.float64).view(np.int64)


def column(rows, i):
    """Column i of CSV rows as doubles; an empty field is the module's NaN."""
    return [float(r[i]) if r[i] else float("nan") for r in rows]


@pytest.fixture(scope="module")
def body1(program, tmp_path_factory):
    """Body 1 swept by the program (its default threads) and by the module (one thread),
    with the series of one viscosity."""
    cli = tmp_path_factory.mktemp("cli")
    run = program("--body", 1, "--series", "1e14", "--output", cli)
    assert run.returncode == 0, run.stderr
    return cli, tidal.sweep(tidal.preset(1), jobs=1, series=[1.01e14])


def test_time_columns_peaks_and_series_equal_the_programs_tables(body1):
    cli, result = body1
    header, rows = read_csv(cli / "summary.csv")
    assert result.names == header and len(result) == len(rows) == 241
    for i, name in enumerate(header):
        assert result[name].dtype == np.float64
        np.testing.assert_array_equal(bits(result[name]), bits(column(rows, i)), err_msg=name)

    header, rows = read_csv(cli / "peaks.csv")
    assert set(result.peaks) == {r[0] for r in rows} == set(result.body["rheology.models"])

    def value(name, v):
        if name in ("rheology", "position"):
            return v
        return int(v) if name == "rank" else (float(v) if v else None)
    assert len(result.all_peaks) == len(rows)
    for row, r in zip(result.all_peaks, rows):
        assert row == {n: value(n, v) for n, v in zip(header, r)}
        if row["rank"] == 1:
            assert result.peaks[r[0]] == {n: value(n, v) for n, v in zip(header[1:], r[1:])}

    # The asked-for 1.01e14 is taken at the swept 1e14, the file the program wrote.
    assert list(result.series) == [1e14]
    header, rows = read_csv(cli / "series-1e+14.csv")
    table = result.series[1e14]
    assert list(table) == header
    for i, name in enumerate(header):
        np.testing.assert_array_equal(bits(table[name]), bits(column(rows, i)), err_msg=name)


def test_write_reproduces_the_programs_files_byte_for_byte(body1, tmp_path):
    cli, result = body1
    out = tmp_path / "nested" / "py"
    result.write(out)
    names = sorted(os.listdir(cli))
    assert names == sorted(os.listdir(out))
    files = [n for n in names if not n.startswith(".")]
    assert len(files) == 17  # ten legacy files, summary, profile, Love numbers, peaks, one
    # series, body.toml, results.nc
    match, mismatch, errors = filecmp.cmpfiles(cli, out, files, shallow=False)
    assert mismatch == [] and errors == []

    # A directory another run holds is refused, as the program refuses it.
    with open(out / ".tidal.lock", "r+") as held:
        import fcntl
        fcntl.flock(held, fcntl.LOCK_EX | fcntl.LOCK_NB)
        with pytest.raises(tidal.DirectoryInUse):
            result.write(out)


@pytest.mark.parametrize("switch", ["", "shell.self_gravity", "numerics.extrapolate"])
def test_steady_sweep_of_body8_equals_the_programs(program, tmp_path, switch):
    cli = tmp_path / "cli"
    run = program("--body", 8, "--method", "steady", *(["--set", switch + "=true"] if switch else []),
                  "--output", cli)
    assert run.returncode == 0, run.stderr
    body = tidal.preset(8).with_(**{switch: True}) if switch else tidal.preset(8)
    assert body["shell.self_gravity"] is (switch == "shell.self_gravity")
    assert body["numerics.extrapolate"] is (switch == "numerics.extrapolate")
    result = tidal.sweep(body, method="steady")
    header, rows = read_csv(cli / "summary.csv")
    assert result.names == header and len(result) == len(rows) == 201
    # Every column, the extrapolated ones where asked for: 1 + 2 rheologies x (7 + 4 + 6 + 3 (+ 6)).
    assert len(header) == 1 + 2 * (26 if switch == "numerics.extrapolate" else 20)
    for i, name in enumerate(header):
        np.testing.assert_array_equal(bits(result[name]), bits(column(rows, i)), err_msg=name)
    assert np.isnan(result["maxwell_transient"]).all()
    # result.love: the columns of love_numbers.csv, bit for bit (the limits where asked for).
    # Caught: the module's love columns named one off (each under the name of the one before).
    header, rows = read_csv(cli / "love_numbers.csv")
    assert list(result.love) == header
    assert ("extrapolated_l2_imag" in header) is (switch == "numerics.extrapolate")
    assert list(result.love["rheology"]) == [r[1] for r in rows]
    for i, name in enumerate(header):
        if name != "rheology":
            np.testing.assert_array_equal(bits(result.love[name]), bits(column(rows, i)),
                                          err_msg=name)
    result.write(tmp_path / "py")
    files = sorted(os.listdir(cli))
    assert files == sorted(os.listdir(tmp_path / "py"))
    assert filecmp.cmpfiles(cli, tmp_path / "py", [f for f in files if f[0] != "."],
                            shallow=False)[1:] == ([], [])


def test_rheologies_select_columns_and_pandas_gets_every_column(body1):
    _, result = body1
    df = result.to_pandas() if _has_pandas() else None
    if df is not None:
        assert list(df.columns) == result.names
        np.testing.assert_array_equal(df["maxwell_power_W"].to_numpy(), result["maxwell_power_W"])
    kv = tidal.sweep(tidal.preset(1).with_(**{"sweep.steps_per_decade": 1,
                                             "numerics.periods": 2}),
                     method="steady", rheologies=["kelvin_voigt"])
    assert kv.names[0] == "viscosity_Pa_s"
    assert all(n.startswith("kelvin_voigt_") for n in kv.names[1:]) and len(kv.names) == 21
    assert list(kv.peaks) == ["kelvin_voigt"]
    with pytest.raises(ValueError, match="unknown rheology 'elastic'"):
        tidal.sweep(tidal.preset(1), rheologies=["elastic"])
    with pytest.raises(ValueError, match="did you mean 'andrade'"):
        tidal.sweep(tidal.preset(1), rheologies=["andrad"])
    with pytest.raises(ValueError, match="twice"):
        tidal.sweep(tidal.preset(1), rheologies=["andrade", "andrade"])
    # Only the chosen rheologies run, in the list's order, and the result's body says so.
    two = tidal.sweep(tidal.preset(1).with_(**{"sweep.steps_per_decade": 1}), method="steady",
                      rheologies=["andrade", "burgers"])
    assert [n for n in two.names if n.endswith("_power_W") and "steady" not in n] == \
        ["burgers_power_W", "andrade_power_W"]
    assert two.body["rheology.models"] == ["burgers", "andrade"]


def _has_pandas():
    try:
        import pandas  # noqa: F401
    except ImportError:
        return False
    return True


LAYERED = """name = "ice over a liquid interior"
outer_radius = 252100.0

[[layer]]
name = "ice"
thickness = 23000.0
density = 925.0
state = "solid"
rigidity = 3.5e9
viscosity = "swept"
viscosity_factor = 2.0
cells = 12

[[layer]]
name = "interior"
thickness = 229100.0
density = 1760.0
state = "liquid"

[orbit]
period = 118386.8
eccentricity = 0.0047

[sweep]
log10_viscosity_min = 12.0
log10_viscosity_max = 16.0
steps_per_decade = 5
"""


def test_a_layered_body_lists_its_layers_and_gives_the_programs_bytes(program, tmp_path):
    (tmp_path / "layered.toml").write_text(LAYERED)
    cli = tmp_path / "cli"
    run = program("--body-file", tmp_path / "layered.toml", "--method", "steady", "--output", cli)
    assert run.returncode == 0, run.stderr
    body = tidal.Body.from_toml(tmp_path / "layered.toml")
    assert [layer["name"] for layer in body.layers] == ["ice", "interior"]
    assert [layer["state"] for layer in body.layers] == ["solid", "liquid"]
    assert body.layers[0]["outer_radius"] == 252100.0 and body.layers[1]["outer_radius"] == 229100.0
    assert body.layers[0]["viscosity_factor"] == 2.0 and body.layers[0]["cells"] == 12
    assert "rigidity" not in body.layers[1]
    assert tidal.preset(1).layers == ()
    result = tidal.sweep(body, method="steady")
    result.write(tmp_path / "py")
    files = sorted(f for f in os.listdir(cli) if f[0] != ".")
    assert files == sorted(f for f in os.listdir(tmp_path / "py") if f[0] != ".")
    assert filecmp.cmpfiles(cli, tmp_path / "py", files, shallow=False)[1:] == ([], [])
    # The innermost layer of a body written back reaches the centre: a thicker shell leaves
    # no gap, a shell thicker than the body is refused with the program's message.
    thicker = body.with_(**{"layer.ice.thickness": 30000.0})
    assert [layer["thickness"] for layer in thicker.layers] == [30000.0, 222100.0]
    assert thicker.with_(**{"layer.2.density": 2000.0}).layers[1]["density"] == 2000.0
    with pytest.raises(ValueError, match=r"layer\[1\].thickness: the layers reach 7900 m beyond the centre"):
        body.with_(**{"layer.ice.thickness": 260000.0})
