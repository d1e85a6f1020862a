"""results.nc and study.nc read back with the netCDF4 module and with xarray: every variable
holds the doubles of the CSV tables beside it (the CSV's shortest round-trip texts parsed
back), every variable carries its CF attributes, and a study's hypercube puts each point where
its axis values say."""
import csv
import math
import re
import shutil
import tomllib

import netCDF4
import numpy as np
import pytest
import xarray as xr

SHORT = ["--set", "sweep.log10_viscosity_min=14", "--set", "sweep.log10_viscosity_max=16",
         "--set", "sweep.steps_per_decade=4"]


def read_csv(path):
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], rows[1:]


def number(text):
    return float(text) if text else math.nan


def bits(values):
    """The values as their bit patterns, so that NaN equals NaN and -0 differs from 0."""
    return np.asarray(values, dtype=np.float64).view(np.uint64)


def same_bits(a, b, what):
    np.testing.assert_array_equal(bits(a), bits(b), err_msg=what)


# The runs read back: each method, the steady one with the extrapolated values (which add
# variables of their own to results.nc), and a body given by its layers (whose layers' powers
# and names are variables of their own).
RUNS = {"steady": ["--method", "steady"], "time": ["--method", "time"],
        "extrapolated": ["--method", "steady", "--set", "numerics.extrapolate=true"],
        "layered": ["--method", "steady"]}
LAYERED = "examples/enceladus-shell-ocean-core.toml"  # ice, ocean and a solid core


def run_body(name, data_dir):
    """Body 8 (four rheologies), or the layered example (two)."""
    if name == "layered":
        return ["--body-file", data_dir.parent.parent / LAYERED]
    return ["--body", 8]


@pytest.fixture(scope="module", params=list(RUNS))
def run(request, program, data_dir, tmp_path_factory):
    """A short sweep with the maps of two viscosities."""
    out = tmp_path_factory.mktemp(request.param)
    program(*run_body(request.param, data_dir), *SHORT, *RUNS[request.param], "--map", "1e14",
            "--map", "1e15", "--map-step", "10", "--output", out)
    return out


def run_name(run):
    return run.name.rstrip("0123456789")


def run_args(run):
    return RUNS[run_name(run)]


OPENED = []


@pytest.fixture(autouse=True)
def close_files():
    """HDF5 refuses a second open of a file still open: each test closes what it opened."""
    yield
    while OPENED:
        OPENED.pop().close()


def open_both(path):
    """The file through netCDF4 (no masking or scaling: the stored doubles) and xarray."""
    ds = xr.load_dataset(path)
    raw = netCDF4.Dataset(path)
    raw.set_auto_maskandscale(False)
    OPENED.append(raw)
    return raw, ds


def summary_columns(header, rheologies):
    """Per column of summary.csv after the viscosity: (rheology, quantity)."""
    out = []
    for name in header[1:]:
        owner = [r for r in rheologies if name.startswith(r + "_")]
        assert len(owner) == 1, name
        out.append((owner[0], name[len(owner[0]) + 1:]))
    return out


def test_summary_every_column_equals_the_csv_bit_for_bit(run):
    header, rows = read_csv(run / "summary.csv")
    raw, ds = open_both(run / "results.nc")
    rheologies = list(ds.rheology.values)
    assert list(raw["rheology"][:]) == rheologies
    eta = [number(r[0]) for r in rows]
    same_bits(ds.viscosity.values, eta, "viscosity")
    same_bits(raw["viscosity"][:], eta, "viscosity")
    quantities = set()
    layer_columns = []
    for i, (rheology, q) in enumerate(summary_columns(header, rheologies), start=1):
        column = [number(r[i]) for r in rows]
        k = rheologies.index(rheology)
        layer = re.fullmatch(r"layer([0-9]+)_power_W", q)
        if layer:
            # A body layer's power: layer_power_W over (rheology, viscosity, layer), the layer
            # by its number.
            n = int(layer.group(1))
            at = list(raw["layer"][:]).index(n)
            assert raw["layer_power_W"].dimensions == ("rheology", "viscosity", "layer")
            same_bits(raw["layer_power_W"][k, :, at], column, f"{rheology} layer {n} (netCDF4)")
            same_bits(ds.layer_power_W.sel(rheology=rheology, layer=n).values, column,
                      f"{rheology} layer {n} (xarray)")
            layer_columns.append((rheology, n))
            continue
        assert raw[q].dimensions == ("rheology", "viscosity")
        same_bits(raw[q][k, :], column, f"{rheology} {q} (netCDF4)")
        same_bits(ds[q].sel(rheology=rheology).values, column, f"{rheology} {q} (xarray)")
        quantities.add(q)
    # Nothing over (rheology, viscosity) that summary.csv does not have, but the tangential
    # Love number of love_numbers.csv (and its extrapolated limits where asked for).
    over = {n for n, v in raw.variables.items() if v.dimensions == ("rheology", "viscosity")}
    l2 = {"l2_real", "l2_imag", "l2_grid_error"}
    if "numerics.extrapolate=true" in run_args(run):
        assert "extrapolated_power_W" in quantities
        l2 |= {"extrapolated_l2_real", "extrapolated_l2_imag"}
    assert over == quantities | l2
    if run_name(run) == "layered":
        # Every solid layer's power, of every rheology, and each layer named as in its file:
        # the ice shell and the core (3), not the ocean (2).
        assert list(raw["layer"][:]) == [1, 3]
        assert list(ds.layer_name.values) == ["ice shell", "rocky core"]
        assert sorted(layer_columns) == sorted((r, n) for r in rheologies for n in (1, 3))
    else:
        assert "layer_power_W" not in raw.variables and "layer" not in raw.dimensions


# Every column of love_numbers.csv is the variable of its name in results.nc, bit for bit
# (h2 and k2 those of summary.csv), with the CF attributes of a dimensionless number.
# Caught: every rheology's l2 variables filled from the first rheology's rows.
def test_love_numbers_csv_equals_results_nc_bit_for_bit(run):
    header, rows = read_csv(run / "love_numbers.csv")
    assert header[:2] == ["viscosity_Pa_s", "rheology"]
    assert {"h2_real", "k2_imag", "l2_real", "l2_imag", "l2_grid_error"} <= set(header)
    raw, ds = open_both(run / "results.nc")
    eta = list(ds.viscosity.values)
    rheologies = list(ds.rheology.values)
    assert len(rows) == len(eta) * len(rheologies)
    for r in rows:
        v, k = eta.index(float(r[0])), rheologies.index(r[1])
        for name, text in zip(header[2:], r[2:]):
            same_bits(raw[name][k, v], number(text), f"{r[1]} {r[0]} {name}")
    for name in ("l2_real", "l2_imag", "l2_grid_error"):
        assert raw[name].units == "1" and "l2" in raw[name].long_name
        assert not np.isnan(raw[name][:]).any(), name


def test_profile_equals_heating_profile_csv_bit_for_bit(run):
    header, rows = read_csv(run / "heating_profile.csv")
    layered = run_name(run) == "layered"
    assert header == ["viscosity_Pa_s", "rheology", "layer", "outer_radius_m",
                      "inner_radius_m", "heating_W_m3", "power_W"] + (["body_layer"] if layered else [])
    raw, ds = open_both(run / "results.nc")
    rheologies = list(ds.rheology.values)
    cells = ds.sizes["cell"]
    assert len(rows) == len(rheologies) * ds.sizes["viscosity"] * cells
    eta = list(ds.viscosity.values)
    seen = set()
    for r in rows:
        v, k, c = eta.index(float(r[0])), rheologies.index(r[1]), int(r[2]) - 1
        seen.add((v, k, c))
        same_bits(raw["radius_bounds"][c, :], [number(r[3]), number(r[4])], "bounds")
        same_bits(raw["cell_heating_W_m3"][k, v, c], number(r[5]), "heating")
        same_bits(raw["cell_power_W"][k, v, c], number(r[6]), "power")
        if layered:
            assert raw["body_layer"][c] == r[7], f"cell {c + 1}"
        point = ds.sel(rheology=r[1], viscosity=float(r[0]), cell=int(r[2]))
        same_bits([point.cell_heating_W_m3, point.cell_power_W], [number(r[5]), number(r[6])],
                  "profile (xarray)")
    assert len(seen) == len(rows)
    same_bits(ds.radius.values, ds.radius_bounds.mean("bounds").values, "mid radius")
    assert "radius" in ds.cell_heating_W_m3.coords
    assert ("body_layer" in raw.variables) == layered


def test_maps_equal_the_map_tables_bit_for_bit(run):
    raw, ds = open_both(run / "results.nc")
    rheologies = list(ds.rheology.values)
    assert list(ds.map_viscosity.values) == [1e14, 1e15]
    for m, name in enumerate(["map-1e+14.csv", "map-1e+15.csv"]):
        header, rows = read_csv(run / name)
        lat = sorted({float(r[0]) for r in rows})
        lon = sorted({float(r[1]) for r in rows}, key=[float(r[1]) for r in rows].index)
        same_bits(ds.lat.values, lat, "lat")
        same_bits(ds.lon.values, lon, "lon")
        assert len(rows) == len(lat) * len(lon)
        for j, column in enumerate(header[2:], start=2):
            rheology = [r for r in rheologies if column.startswith(r + "_")][0]
            var = "map_" + column[len(rheology) + 1:]
            values = np.array([number(r[j]) for r in rows]).reshape(len(lat), len(lon))
            k = rheologies.index(rheology)
            assert raw[var].dimensions == ("rheology", "map_viscosity", "lat", "lon")
            same_bits(raw[var][k, m], values, f"{name} {column}")
            same_bits(ds[var].sel(rheology=rheology, map_viscosity=ds.map_viscosity[m]).values,
                      values, f"{name} {column} (xarray)")
        # A point away from the grid's symmetry: the row of (lat, lon) is the file's.
        r = next(r for r in rows if float(r[0]) == 30.0 and float(r[1]) == 50.0)
        got = ds[f"map_heat_flux_W_m2"].sel(rheology=rheologies[0], lat=30.0, lon=50.0)
        same_bits(got.isel(map_viscosity=m).values, number(r[2]), "lat 30 lon 50")


def test_every_variable_carries_its_cf_attributes(run, program):
    raw, ds = open_both(run / "results.nc")
    assert raw.getncattr("Conventions") == "CF-1.8"
    # Where the file came from: the program as --version names it, and the method of the run.
    assert raw.getncattr("source") == program("--version").stdout.strip()
    args = run_args(run)
    assert raw.getncattr("method") == args[args.index("--method") + 1]
    for name, v in raw.variables.items():
        assert v.getncattr("long_name"), name
        if v.dtype != str:
            assert v.getncattr("units"), name
        # A missing value is a NaN, and every double variable declares it, so that a reader
        # that masks fill values masks exactly the empty fields of the CSV.
        if v.dtype == np.float64:
            assert np.isnan(v.getncattr("_FillValue")), name
    # The large arrays, the profiles and the maps, are stored compressed.
    for name in ("cell_heating_W_m3", "cell_power_W", "map_heat_flux_W_m2",
                 "map_top_heating_W_m3", "map_bottom_heating_W_m3"):
        filters = raw[name].filters()
        assert filters["zlib"] and filters["shuffle"] and filters["complevel"] > 0, name
    # Radius grows upwards, and cell 1 is the outermost: the mid radii fall with the cell.
    assert raw["radius"].positive == "up"
    assert (np.diff(raw["radius"][:]) < 0).all() and raw["cell"][0] == 1
    assert raw["lat"].units == "degrees_north" and raw["lat"].standard_name == "latitude"
    assert raw["lon"].units == "degrees_east" and raw["lon"].standard_name == "longitude"
    assert raw["radius"].units == "m" and raw["radius"].bounds == "radius_bounds"
    assert raw["power_W"].units == "W" and raw["heat_flux_W_m2"].units == "W m-2"
    assert raw["viscosity"].units == "Pa s"


def test_the_body_keys_are_the_files_attributes(run):
    with open(run / "body.toml", "rb") as f:
        body = tomllib.load(f)
    flat = {}

    def walk(prefix, t):
        for k, v in t.items():
            key = f"{prefix}.{k}" if prefix else k
            if isinstance(v, dict):
                walk(key, v)
            elif isinstance(v, list) and v and all(isinstance(x, dict) for x in v):
                # The [[layer]] tables: layer.1.name, ..., the outermost first.
                for i, x in enumerate(v, start=1):
                    walk(f"{key}.{i}", x)
            else:
                flat.setdefault(key, v)
    walk("", body)
    raw, _ = open_both(run / "results.nc")
    attributes = {a: raw.getncattr(a) for a in raw.ncattrs()}
    for key, value in flat.items():
        got = attributes[key]
        if isinstance(value, bool):
            assert got == ("true" if value else "false"), key
        elif isinstance(value, (int, float)):
            same_bits(got, value, key)
        elif isinstance(value, str):
            assert got == value, key
        else:
            assert got.replace("'", '"').replace(" ", "") == \
                str(value).replace("'", '"').replace(" ", ""), key
    assert set(attributes) - set(flat) == {"Conventions", "title", "source", "method"}


def test_a_full_run_and_its_write_from_python_agree(run, program, data_dir, tmp_path):
    # The same run again gives the same bytes: the file is deterministic.
    program(*run_body(run_name(run), data_dir), *SHORT, *run_args(run), "--map", "1e14",
            "--map", "1e15", "--map-step", "10", "--output", tmp_path)
    assert (tmp_path / "results.nc").read_bytes() == (run / "results.nc").read_bytes()


@pytest.fixture(scope="module", params=["plain", "extrapolated"])
def study(request, program, data_dir, tmp_path_factory):
    """The small 2 x 3 study (axes of different lengths), by the steady method; and the same
    with the extrapolated values, which its hypercube holds as results.nc does."""
    out = tmp_path_factory.mktemp("study")
    text = (data_dir / "study_small.toml").read_text().replace("base = 3", 'base = 3\nmethod = "steady"')
    if request.param == "extrapolated":
        text = text.replace("[numerics]", "[numerics]\nextrapolate = true")
    (out / "study.toml").write_text(text)
    program("--study", "study.toml", "--output", "result", "--jobs", "2", cwd=out)
    return out / "result"


def test_study_hypercube_holds_every_row_of_study_sweep_where_its_axes_say(study):
    header, rows = read_csv(study / "study_sweep.csv")
    assert header[:4] == ["point", "shell.thickness", "orbit.eccentricity", "viscosity_Pa_s"]
    raw, ds = open_both(study / "study.nc")
    assert raw["power_W"].dimensions == ("shell_thickness", "orbit_eccentricity", "rheology",
                                         "viscosity")
    thickness, eccentricity = [10e3, 20e3], [0.005, 0.009, 0.02]
    same_bits(raw["shell_thickness"][:], thickness, "axis 1")
    same_bits(raw["orbit_eccentricity"][:], eccentricity, "axis 2")
    rheologies = list(ds.rheology.values)
    eta = list(ds.viscosity.values)
    columns = summary_columns(header[3:], rheologies)
    assert len(rows) == 6 * len(eta)
    for r in rows:
        point = int(r[0].split("-")[1]) - 1
        # The first axis varies slowest: point p is (p // 3, p % 3).
        i, j = divmod(point, 3)
        assert (float(r[1]), float(r[2])) == (thickness[i], eccentricity[j])
        v = eta.index(float(r[3]))
        for c, (rheology, q) in enumerate(columns, start=4):
            k = rheologies.index(rheology)
            same_bits(raw[q][i, j, k, v], number(r[c]), f"{r[0]} {rheology} {q} (netCDF4)")
        cell = ds.sel(shell_thickness=float(r[1]), orbit_eccentricity=float(r[2]),
                      viscosity=float(r[3]))
        same_bits([cell[q].sel(rheology=rh).values for rh, q in columns],
                  [number(x) for x in r[4:]], f"{r[0]} (xarray)")
    for name, v in raw.variables.items():
        assert v.getncattr("long_name"), name
        if v.dtype != str:
            assert v.getncattr("units"), name
    assert raw["shell_thickness"].units == "m" and raw["orbit_eccentricity"].units == "1"
    assert raw.getncattr("Conventions") == "CF-1.8"


def test_each_point_holds_the_results_nc_of_its_own_run(study):
    header, rows = read_csv(study / "point-00005" / "summary.csv")
    ds = xr.load_dataset(study / "point-00005" / "results.nc")
    cube = xr.load_dataset(study / "study.nc").sel(shell_thickness=20e3, orbit_eccentricity=0.009)
    quantities = ["power_W", "k2_imag", "grid_error"]
    if "extrapolate = true" in (study.parent / "study.toml").read_text():
        quantities += ["extrapolated_power_W", "extrapolated_k2_imag"]
    for q in quantities:
        same_bits(ds[q].values, cube[q].values, q)


def test_a_study_of_a_points_table_has_one_point_axis(program, data_dir, tmp_path):
    text = (data_dir / "study_small.toml").read_text()
    text = text[:text.index("[axes]")].replace("base = 3", 'base = 3\nmethod = "steady"\npoints = "points.csv"')
    (tmp_path / "csv.toml").write_text(text)
    (tmp_path / "points.csv").write_text("orbit.eccentricity,shell.thickness\n0.009,10e3\n0.02,20000.0\n0.005,15e3\n")
    program("--study", "csv.toml", "--output", "result", cwd=tmp_path)
    ds = xr.load_dataset(tmp_path / "result" / "study.nc")
    assert ds.power_W.dims == ("point", "rheology", "viscosity")
    same_bits(ds.point.values, [1, 2, 3], "point")
    same_bits(ds.shell_thickness.values, [10e3, 20e3, 15e3], "thickness")
    same_bits(ds.orbit_eccentricity.values, [0.009, 0.02, 0.005], "eccentricity")
    for p in range(3):
        point = xr.load_dataset(tmp_path / "result" / f"point-0000{p + 1}" / "results.nc")
        same_bits(ds.power_W.isel(point=p).values, point.power_W.values, f"point {p + 1}")


def body_comments(path):
    """The comment body.toml gives each key it writes, by dotted key."""
    out, section = {}, ""
    for line in path.read_text().splitlines():
        if line.startswith("["):
            section = line.strip("[] ")
        elif "=" in line and " # " in line:
            key = line.split("=", 1)[0].strip()
            out[f"{section}.{key}" if section else key] = line.rsplit(" # ", 1)[1].strip()
    return out


# A study over a text key and the low end of the sweep: the text axis holds the names without
# their TOML quotes, the viscosities are those of every point together (NaN where a point did
# not sweep), each axis's coordinate names its body key with the body file's comment on it,
# and the file says which program wrote it by which method. Caught: the quotes kept; the
# viscosities (and rheologies) of the first point only; an axis's key or comment dropped; the
# method or source wrong.
def test_study_of_a_text_axis_and_uneven_sweeps(program, tmp_path):
    (tmp_path / "study.toml").write_text(
        'base = 8\nmethod = "steady"\n[sweep]\nlog10_viscosity_max = 15.0\nsteps_per_decade = 2\n'
        '[numerics]\nlayers = 8\n[axes]\n"orbit.tide" = ["expansion", "exact"]\n'
        '"sweep.log10_viscosity_min" = [14.0, 13.0]\n')
    program("--study", "study.toml", "--output", "result", cwd=tmp_path)
    result = tmp_path / "result"
    raw, ds = open_both(result / "study.nc")
    assert list(ds.orbit_tide.values) == ["expansion", "exact"]
    same_bits(ds.sweep_log10_viscosity_min.values, [14.0, 13.0], "axis 2")
    same_bits(ds.viscosity.values, [1e13, 10 ** 13.5, 1e14, 10 ** 14.5, 1e15], "viscosity")
    for p in range(4):
        i, j = divmod(p, 2)
        point = xr.load_dataset(result / f"point-0000{p + 1}" / "results.nc")
        assert list(point.rheology.values) == list(ds.rheology.values)
        cube = ds.isel(orbit_tide=i, sweep_log10_viscosity_min=j)
        for q in ("power_W", "tidal_q", "h2_real", "grid_error"):
            same_bits(cube[q].sel(viscosity=point.viscosity).values, point[q].values,
                      f"point {p + 1} {q}")
        unswept = cube.power_W.drop_sel(viscosity=point.viscosity.values)
        assert unswept.sizes["viscosity"] == (2 if j == 0 else 0)
        assert np.isnan(unswept.values).all(), f"point {p + 1}"
    comments = body_comments(result / "point-00004" / "body.toml")
    for key in ("orbit.tide", "sweep.log10_viscosity_min"):
        v = raw[key.replace(".", "_")]
        assert v.long_name == key and v.body_key == key and v.comment == comments[key], key
    assert raw["sweep_log10_viscosity_min"].units == "1"
    assert raw.getncattr("method") == "steady"
    assert raw.getncattr("source") == program("--version").stdout.strip()


# A study of a body given by its layers, over a layer's thickness: each solid layer's power is
# layer_power_W over (axes, rheology, viscosity, layer), every value that of study_sweep.csv's
# column <rheology>_layer<k>_power_W at its point; the axis of "layer.ice shell.thickness" is
# a NetCDF name, layer_ice_shell_thickness, in metres. The same file again from the points'
# tables alone, when the study's files are built anew from published points. Caught: the
# layers' powers left out of study.nc; a blank kept in the axis name; the thickness's unit "1".
def test_study_of_a_layered_body_holds_each_layers_power(program, data_dir, tmp_path):
    layered = data_dir.parent.parent / LAYERED
    (tmp_path / "study.toml").write_text(
        f'base_file = "{layered}"\nmethod = "steady"\n'
        '[sweep]\nlog10_viscosity_min = 13.0\nlog10_viscosity_max = 15.0\nsteps_per_decade = 2\n'
        '[axes]\n"layer.ice shell.thickness" = [20e3, 26e3]\n'
        '"orbit.eccentricity" = [0.003, 0.0047, 0.006]\n')
    program("--study", "study.toml", "--output", "result", "--jobs", "2", cwd=tmp_path)
    result = tmp_path / "result"
    header, rows = read_csv(result / "study_sweep.csv")
    raw, ds = open_both(result / "study.nc")
    name = "layer_ice_shell_thickness"
    assert raw["layer_power_W"].dimensions == (name, "orbit_eccentricity", "rheology",
                                               "viscosity", "layer")
    assert raw[name].units == "m" and raw[name].body_key == "layer.ice shell.thickness"
    same_bits(raw[name][:], [20e3, 26e3], "axis 1")
    assert list(raw["layer"][:]) == [1, 3]
    assert list(ds.layer_name.values) == ["ice shell", "rocky core"]
    rheologies = list(ds.rheology.values)
    eta = list(ds.viscosity.values)
    layer_columns = [(c, m) for c, m in enumerate(header)
                     if re.fullmatch(r"[a-z_]+_layer[0-9]+_power_W", m)]
    assert len(layer_columns) == 2 * len(rheologies)
    assert len(rows) == 6 * len(eta)
    for r in rows:
        i, j = divmod(int(r[0].split("-")[1]) - 1, 3)
        v = eta.index(float(r[3]))
        for c, column in layer_columns:
            rheology, n = re.fullmatch(r"([a-z_]+)_layer([0-9]+)_power_W", column).groups()
            k, at = rheologies.index(rheology), [1, 3].index(int(n))
            same_bits(raw["layer_power_W"][i, j, k, v, at], number(r[c]), f"{r[0]} {column}")
    # Each point's own results.nc holds the same powers.
    point = xr.load_dataset(result / "point-00006" / "results.nc")
    cube = ds.isel({name: 1, "orbit_eccentricity": 2})
    same_bits(cube.layer_power_W.values, point.layer_power_W.values, "point 6")
    # Built again from the published points' tables: the same values.
    before = {v: raw[v][:].copy() for v in raw.variables if raw[v].dtype == np.float64}
    while OPENED:
        OPENED.pop().close()
    for f in ("study.csv", "study_sweep.csv", "study.nc"):
        (result / f).unlink()
    program("--study", "study.toml", "--output", "result", cwd=tmp_path)
    again, _ = open_both(result / "study.nc")
    assert set(before) == {v for v in again.variables if again[v].dtype == np.float64}
    for v, values in before.items():
        same_bits(again[v][:], values, f"{v} read back from the points' tables")
