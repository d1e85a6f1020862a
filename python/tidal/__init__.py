"""Tidal deformation and heating of a planetary body's viscoelastic shell, in Python.

The same engine as the command-line program ``tidal``, run in-process: the same body files,
the same numbers to the last bit, the same result files.

    >>> import tidal
    >>> result = tidal.sweep(tidal.preset(1))          # its rheologies, every viscosity
    >>> df = result.to_pandas()                          # the columns of summary.csv

Units are SI throughout: viscosity Pa s, power W, heat flux W/m^2, displacement m, time s,
phase lag degrees.

Functions and classes:
    preset(n)            -- preset body n (1-8) of the program's menu
    Body                 -- a checked body: Body.from_toml(), body.with_(), body.to_toml()
    sweep(body, ...)     -- run a viscosity sweep, returns a Result
    Result               -- columns of summary.csv as numpy arrays, .peaks, .series, .write()
    TidalWarning         -- a number may not be what it seems (TidalNote: information)
    OutputError          -- a result file could not be written (an OSError)
    DirectoryInUse       -- another run holds the output directory (an OutputError)
"""

import difflib
import json
import math
import os
import sys
import warnings

try:
    import numpy as np  # every column and table is a numpy array
except ImportError as _missing:
    raise ImportError(f"tidal needs numpy, which {sys.executable} cannot import; install numpy "
                      "into this interpreter (with Debian's python3-numpy: a venv made with "
                      "`python3 -m venv --system-site-packages`)") from _missing

from . import _core

__all__ = ["Body", "DirectoryInUse", "OutputError", "Result", "preset", "sweep", "RHEOLOGIES",
           "TidalNote", "TidalWarning"]
__version__ = _core.version.split()[-1]

OutputError = _core.OutputError
DirectoryInUse = _core.DirectoryInUse


class TidalWarning(UserWarning):
    """A number of a sweep may not be what it seems (the lines the command line prints as
    "warning: ..."): a run still far from its periodic state, a large time-step error, a
    largest power at an end of the sweep. Filter it or turn it into an error with the
    warnings module, e.g. warnings.simplefilter("error", tidal.TidalWarning)."""


class TidalNote(TidalWarning):
    """Information the command line prints as "note: ..." (how well the time integration
    carries the Andrade creep). A TidalWarning, so one filter covers both."""


def _issue(messages, stacklevel):
    """Issues every line of `messages` as a TidalNote or TidalWarning, without its prefix."""
    for line in messages:
        note = line.startswith("note: ")
        text = line.split(": ", 1)[1] if line.startswith(("note: ", "warning: ")) else line
        warnings.warn(text, TidalNote if note else TidalWarning, stacklevel=stacklevel + 1)

#: The rheologies of a sweep, in the order of the columns of summary.csv.
RHEOLOGIES = tuple(_core.rheologies)


def _toml_value(key, value):
    """One Python value as the TOML text of a body-file value."""
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        # repr() is the shortest text that reads back to the same double.
        if math.isinf(value):
            return "inf" if value > 0 else "-inf"
        return "nan" if math.isnan(value) else repr(value)
    if isinstance(value, str):
        return json.dumps(value, ensure_ascii=False)
    if hasattr(value, "tolist"):  # a numpy array or scalar
        return _toml_value(key, value.tolist())
    if isinstance(value, (list, tuple)):
        return "[" + ", ".join(_toml_value(key, v) for v in value) + "]"
    raise TypeError(f"{key}: cannot write a {type(value).__name__} as a body-file value")


class Body:
    """A checked body: shell, orbit, viscosity sweep and numerics, as a body file holds them.

    Make one with tidal.preset(n) or Body.from_toml(...); change keys with body.with_(...).
    A Body never holds an unchecked value: every constructor raises ValueError with the
    command line's one-line message for a bad key or value.

    The keys (dotted, as `--set` takes them) and their units:
        name                       text
        shell.outer_radius         m
        shell.thickness            m
        shell.rigidity             Pa, or an array of numerics.layers values (outermost first)
        shell.density              kg/m^3
        shell.density_contrast     kg/m^3, density below the shell minus shell.density
        shell.surface_gravity      m/s^2
        shell.bottom_gravity       m/s^2
        shell.viscosity_factors    per layer, outermost first: multiplies the swept viscosity
        shell.self_gravity         bool: self-gravitation of the displaced mass (default False)
        orbit.period               s
        orbit.eccentricity         dimensionless
        orbit.rotation             text: "synchronous" (default) or "3:2"
        orbit.second_order         bool: True is the older name of orbit.rotation = "3:2"
        orbit.tide                 text: "expansion" (default) or "exact" (the Keplerian orbit)
        orbit.obliquity            degrees, 0 to 180: tilt of the spin axis (default 0)
        orbit.pericentre_argument  degrees, from the orbit's ascending node on the equator
        sweep.log10_viscosity_min  log10 of the viscosity in Pa s
        sweep.log10_viscosity_max  log10 of the viscosity in Pa s
        sweep.steps_per_decade     integer: viscosities 10^(k/steps_per_decade) Pa s
        numerics.layers            integer: radial layers of the shell
        numerics.periods           integer: orbital periods of each run
        numerics.steps_per_period  integer: time steps per orbital period
        numerics.grid_error        bool: the grid error from twice the layers (default True)
        numerics.extrapolate       bool: values extrapolated from N and 2N layers (default False)
        numerics.doubt_limit       relative error beyond which a result is in doubt (default 0.01)
        rheology.models            list of {rheology_names}
{rheology_keys}
    body["shell.thickness"] reads one; print(body.to_toml()) shows them all with units (the
    parameters of a rheology only where it runs or they differ from the defaults; elsewhere
    they read as None).
    """

    __slots__ = ("_core",)

    def __init__(self, core_body):
        """Internal: use tidal.preset() or Body.from_toml()."""
        if not isinstance(core_body, _core.Body):
            raise TypeError("make a Body with tidal.preset(n) or tidal.Body.from_toml(...)")
        self._core = core_body

    @classmethod
    def from_toml(cls, path_or_text):
        """The body of a body file, given as a path (str or os.PathLike) or as its TOML text.

        A str holding a newline or '=' is read as TOML text (messages name it "<text>");
        otherwise it is the path of a body file (messages name the file, as the command
        line's --body-file does). Raises ValueError with the one-line message of the command
        line for a file that cannot be read, a bad key or a bad value.
        """
        if isinstance(path_or_text, os.PathLike):
            return cls(_core.Body.from_file(os.fspath(path_or_text)))
        if not isinstance(path_or_text, str):
            raise TypeError("Body.from_toml expects a path or the TOML text of a body file")
        if "\n" in path_or_text or "=" in path_or_text:
            return cls(_core.Body.from_text(path_or_text, "<text>"))
        return cls(_core.Body.from_file(path_or_text))

    def with_(self, changes=None, /, **keys):
        """A copy of this body with keys replaced, checked like a body file.

        Keys are the dotted keys of a body file; pass them as a dict or as keyword
        arguments, e.g. body.with_({"shell.thickness": 2e4}) or
        body.with_(**{"shell.thickness": 2e4, "numerics.periods": 4}). Values are Python
        numbers, bools, strings or sequences (numpy arrays too), in the key's unit (see
        help(tidal.Body)). Raises ValueError with the message the command line gives for
        the same `--set KEY=VALUE` (an unknown key, a value of the wrong type or range).
        """
        merged = dict(changes or {})
        merged.update(keys)
        if not merged:
            return self
        overrides = [f"{k}={_toml_value(k, v)}" for k, v in merged.items()]
        try:
            return Body(self._core.with_overrides(overrides))
        except ValueError as e:
            # The engine names the key as the command line's --set: name it as given here.
            message = str(e)
            for o in overrides:
                if message.startswith(f"--set {o}: "):
                    message = message[len(f"--set {o}: "):]
            raise ValueError(message) from None

    def to_toml(self):
        """This body as the text of a commented body file (str); Body.from_toml() reads it
        back to the same bits, and `tidal --body-file` runs it."""
        return self._core.to_toml(f"Body written by the tidal Python module {__version__}; "
                                  "SI units throughout")

    def __getitem__(self, key):
        """The value of a dotted key, e.g. body["shell.thickness"] (m): float, int, bool, str
        or list of floats; an optional array that is not set reads as None, an unset switch as
        its default."""
        if sys.version_info >= (3, 11):
            import tomllib
        else:  # the same parser, from the package index before Python 3.11
            import tomli as tomllib
        if key not in _KEYS_IN_DOC:
            raise KeyError(f"{key!r}: the keys are {', '.join(_KEYS_IN_DOC)}")
        node = tomllib.loads(self.to_toml())
        for part in key.split("."):
            if part not in node:
                return _SWITCH_DEFAULTS.get(key)
            node = node[part]
        return node

    @property
    def name(self):
        """The body's name (str)."""
        return self._core.name

    @property
    def layers(self):
        """The layers of a body given by [[layer]] tables, listed from the surface down (the
        order of its body file), as dicts of the layer's keys (name, outer_radius, thickness,
        density, state, and for a solid layer rigidity, viscosity, viscosity_factor or
        rheology, cells) in SI units; an empty tuple for a body given by its [shell]."""
        return tuple(self._core.layers)

    def __repr__(self):
        return f"<tidal.Body {self.name!r} from {self._core.source}>"

    def __eq__(self, other):
        return isinstance(other, Body) and self.to_toml() == other.to_toml()

    __hash__ = None


# Keys that a body file leaves out at their defaults, with those defaults.
_SWITCH_DEFAULTS = {"shell.self_gravity": False, "numerics.grid_error": True,
                    "numerics.extrapolate": False, "numerics.doubt_limit": 1e-2,
                    "orbit.obliquity": 0.0, "orbit.pericentre_argument": 0.0}

Body.__doc__ = Body.__doc__.format(
    rheology_names=", ".join(f'"{r}"' for r in RHEOLOGIES),
    rheology_keys="\n".join(f"        {key:<26} {meaning} ({values}; default {default:g})"
                            for key, meaning, _unit, default, values in _core.rheology_parameters))

_KEYS_IN_DOC = tuple(line.split()[0] for line in Body.__doc__.splitlines()
                     if line.startswith("        ") and line.split()[0].replace(".", "").replace("_", "").isalnum())


def preset(n):
    """Preset body n of the program's menu (int, 1-8), as a Body.

    1-8 are the bodies of `tidal --help`; tidal.preset(1).to_toml() shows one with every
    key and unit. Raises ValueError for another n.
    """
    if isinstance(n, bool) or not isinstance(n, int):
        raise TypeError(f"preset expects an integer from 1 to 8, but got {n!r}")
    return Body(_core.Body.preset(n))


class _SeriesTables(dict):
    """The series tables of a sweep by swept viscosity; a viscosity that is not a key finds
    the kept one nearest to it in log10 within half a sweep step (as --series does)."""

    def __init__(self, body, tables):
        super().__init__(tables)
        self._half_step = 0.5 / body["sweep.steps_per_decade"]

    def __missing__(self, eta):
        try:
            at = math.log10(eta)
        except (TypeError, ValueError):
            raise KeyError(f"{eta!r}: a viscosity in Pa s (the series kept: "
                           f"{', '.join(f'{v:g}' for v in self) or 'none'})") from None
        near = min(self, key=lambda v: abs(math.log10(v) - at), default=None)
        if near is None or abs(math.log10(near) - at) > self._half_step * (1 + 1e-9):
            raise KeyError(f"{eta!r}: no series kept within half a sweep step (the series kept: "
                           f"{', '.join(f'{v:g}' for v in self) or 'none'} Pa s)")
        warnings.warn(f"series[{eta!r}]: the series of the swept viscosity {near!r} Pa s",
                      TidalNote, stacklevel=2)
        return self[near]


class Result:
    """The results of a sweep, one row per swept viscosity.

    result[name] or result.arrays[name]: a column of summary.csv as a float64 numpy array,
    with the same doubles the command line writes there. The names carry their units:
        viscosity_Pa_s                        the swept viscosity, Pa s
        <rheology>_power_W                    mean dissipated power over a period, W
        <rheology>_heat_flux_W_m2             that power through the outer surface, W/m^2
        <rheology>_min_surface_displacement_m minimum order-0 surface radial displacement, m
        <rheology>_min_phase                  when it occurs, fraction of the period
        <rheology>_max_equator_displacement_m largest |radial displacement| at the equator, m
        <rheology>_phase_lag_deg              lag of the surface displacement behind the tide, deg
        <rheology>_amplitude_m                amplitude of that displacement's fundamental, m
    for each <rheology> of the sweep (of tidal.RHEOLOGIES),
    then for each
        <rheology>_steady_power_W             power of the exact-in-time periodic state, W
        <rheology>_steady_phase_lag_deg       its phase lag, deg
        <rheology>_transient                  time-domain power / the time scheme's own
                                              periodic power - 1 (NaN for method="steady")
        <rheology>_step_error                 that periodic power / the exact one - 1 (NaN
                                              for method="steady")
    then for each
        <rheology>_h2_real, <rheology>_h2_imag  the radial-displacement Love number of the
                                              surface at the orbital frequency
        <rheology>_k2_real, <rheology>_k2_imag  the potential Love number of the displaced
                                              surface and interface (not fed back)
        <rheology>_minus_im_k2                k2/Q = -Im k2
        <rheology>_tidal_q                    Q = |k2| / (-Im k2), NaN where nothing lags
    With method="steady" the first block and the Love numbers hold the periodic state's
    values.

    Attributes:
        body     the Body that was swept
        method   "time" (time integration) or "steady" (periodic steady state)
        columns  list of the column names, in the order of summary.csv
        arrays   dict: name -> numpy array, in the same order
        peaks    dict: rheology -> its rank-1 row of peaks.csv (viscosity_Pa_s, power_W,
                 heat_flux_W_m2 of the largest swept power, and the refined_* values of the
                 parabola through the samples around it, None at the ends of the sweep;
                 position "interior", or "sweep_start"/"sweep_end" for a largest power at
                 an end of the sweep, which is no peak: widen the sweep)
        all_peaks  list of every row of peaks.csv, in its order (with "rheology" and
                 "rank"): every rheology's largest power, then its further peaks
        worst_transient   the transient (see above) largest in magnitude, with its sign
                 (None for method="steady")
        worst_step_error  the step error largest in magnitude, with its sign (None for
                 method="steady")
        worst_grid_error  the power's grid error (<rheology>_grid_error) largest in
                 magnitude, with its sign (None with numerics.grid_error = false)
        accuracy  the one-line accuracy summary the command line ends on: the largest
                 transient, step and grid error of the sweep and where they occur
        messages  the lines the command line prints on standard error for this sweep; each
                 was also issued as a TidalWarning (a TidalNote for "note:" lines)
        series   dict: viscosity (Pa s, a swept one) -> the columns of its series table
                 (step, time_s, time_periods, <rheology>_surface_displacement_m in m);
                 series[eta] takes the kept viscosity nearest to eta within half a sweep
                 step, as --series does, and says which with a TidalNote
        profile  dict: the columns of heating_profile.csv (viscosity_Pa_s, rheology, layer,
                 outer_radius_m, inner_radius_m, heating_W_m3, power_W, and for a body
                 given by its layers body_layer), one row per viscosity, rheology and layer
        love     dict: the columns of love_numbers.csv (viscosity_Pa_s, rheology, h2_real,
                 h2_imag, k2_real, k2_imag, l2_real, l2_imag, their grid errors, and with
                 numerics.extrapolate their limits), one row per viscosity and rheology
        maps     dict: viscosity (Pa s, a swept one) -> the columns of its map table
                 (latitude_deg, longitude_deg, <rheology>_heat_flux_W_m2,
                 <rheology>_top_heating_W_m3, <rheology>_bottom_heating_W_m3)
    """

    def __init__(self, body, method, rheologies, engine):
        """Internal: made by tidal.sweep()."""
        self.body = body
        self.method = method
        self._engine = engine
        chosen = tuple(rheologies)
        self.arrays = {name: column for name, column in engine.columns().items()
                        if name == "viscosity_Pa_s" or name.startswith(tuple(r + "_" for r in chosen))}
        self.all_peaks = [row for row in engine.peaks() if row["rheology"] in chosen]
        self.peaks = {row["rheology"]: {k: v for k, v in row.items() if k != "rheology"}
                      for row in self.all_peaks if row["rank"] == 1}
        self.messages = list(engine.messages())
        worst = engine.worst()
        if method == "time":
            self.worst_transient, self.worst_step_error = worst[0], worst[1]
        else:
            self.worst_transient = self.worst_step_error = None
        self.worst_grid_error = worst[2] if self.body["numerics.grid_error"] else None
        self.accuracy = engine.accuracy()
        series = engine.series() if method == "time" else {}
        self.series = _SeriesTables(self.body, {eta: {name: column for name, column in table.items()
                             if not name.endswith("_surface_displacement_m")
                             or name.startswith(tuple(r + "_" for r in chosen))}
                       for eta, table in series.items()})
        profile = engine.profile()
        keep = np.isin(profile["rheology"], chosen)
        self.profile = {name: column[keep] for name, column in profile.items()}
        love = engine.love()
        keep = np.isin(love["rheology"], chosen)
        self.love = {name: column[keep] for name, column in love.items()}
        self.maps = {eta: {name: column for name, column in table.items()
                           if name in ("latitude_deg", "longitude_deg")
                           or name.startswith(tuple(r + "_" for r in chosen))}
                     for eta, table in engine.maps().items()}
        self.columns = list(self.arrays)
        for column in self.arrays.values():
            column.flags.writeable = False

    def __getitem__(self, name):
        """The column `name` (a numpy array); KeyError names the columns there are."""
        try:
            return self.arrays[name]
        except KeyError:
            raise KeyError(f"{name!r}: the columns are {', '.join(self.columns)}") from None

    def __len__(self):
        """The number of swept viscosities."""
        return len(self.arrays["viscosity_Pa_s"])

    @property
    def names(self):
        """The column names, in the order of summary.csv (list of str)."""
        return list(self.columns)

    def to_pandas(self):
        """The columns as a pandas DataFrame, one row per viscosity (needs pandas)."""
        import pandas
        return pandas.DataFrame(self.arrays)

    def to_xarray(self):
        """The sweep as an xarray Dataset, the very one xarray reads from the results.nc that
        write() and the command line write (summary quantities over rheology and viscosity,
        the heating profile over rheology, viscosity and cell, the maps over rheology,
        map_viscosity, lat and lon, the body's keys as attributes). Needs xarray with a
        NetCDF-4 backend (Debian: python3-xarray, python3-netcdf4)."""
        try:
            import xarray
        except ImportError as e:
            raise ImportError(f"Result.to_xarray needs xarray, which {sys.executable} cannot "
                              "import; install xarray and netCDF4 (Debian: apt-get install "
                              "python3-xarray python3-netcdf4)") from e
        import tempfile
        with tempfile.TemporaryDirectory(prefix="tidal-") as tmp:
            self.write(tmp)
            return xarray.load_dataset(os.path.join(tmp, "results.nc"))

    def write(self, directory):
        """Writes the command line's result files of this sweep into `directory` (str or
        os.PathLike; created with its parents if missing): the ten legacy files,
        summary.csv, heating_profile.csv, love_numbers.csv, peaks.csv, series-<viscosity>.csv of the asked-for series and
        body.toml and results.nc, byte for byte those `tidal` writes for the same body and series (its
        body.toml names the rheologies swept). They appear together when all are
        written. A steady sweep writes what `tidal --method steady` writes: summary.csv,
        peaks.csv and body.toml. Raises DirectoryInUse if another run holds the directory, OutputError if a
        file cannot be written. Returns the directory.
        """
        self._engine.write(os.fspath(directory))
        return directory

    def __repr__(self):
        return (f"<tidal.Result {self.method} sweep of {self.body.name!r}: {len(self)} viscosities"
                f", {len(self.columns)} columns>")


def sweep(body, method="time", rheologies=None, jobs=None, series=(), maps=(), map_step=2.0):
    """Sweeps the viscosity of `body` and returns a Result.

    body        a Body (tidal.preset(n), Body.from_toml(...), or .with_(...) of one)
    method      "time": integrate in time over numerics.periods orbital periods and reduce
                the last one, as the command line does; "steady": the periodic steady state
                of the same shell, solved directly in the frequency domain (much faster,
                no transient)
    rheologies  which rheologies to sweep: a sequence of names of tidal.RHEOLOGIES
                (in any order; the columns follow that tuple's order), or
                None for the body's rheology.models. Only those are computed.
    jobs        threads of the time sweep (int >= 1); None: as the command line,
                OMP_NUM_THREADS if set, else every core. The numbers do not depend on it.
    series      viscosities (Pa s) whose surface displacement at every time step is kept
                (time method); each picks the nearest swept viscosity, and result.series is
                keyed by the swept one.
    maps        viscosities (Pa s) whose surface heat-flux maps are made (as --map); each
                picks the nearest swept viscosity, and result.maps is keyed by the swept one
    map_step    the maps' grid step in degrees (dividing 180), as --map-step

    Returns a Result: result[name] is a column of summary.csv, e.g. "maxwell_power_W" (W);
    help(tidal.Result) lists the columns with their units. The time method also solves the
    periodic steady state beside each run, for the steady_* columns and the transient.

    The computation runs with the GIL released. Ctrl-C (SIGINT) stops it within a second
    and raises KeyboardInterrupt; nothing is returned. Raises ValueError for a bad
    argument (an unknown method or rheology, a series viscosity outside the sweep).
    """
    if not isinstance(body, Body):
        raise TypeError("sweep expects a tidal.Body (tidal.preset(n) or tidal.Body.from_toml)")
    if method not in ("time", "steady"):
        raise ValueError(f"method must be 'time' or 'steady', not {method!r}")
    if isinstance(rheologies, str):
        rheologies = (rheologies,)
    if rheologies is not None:
        rheologies = list(rheologies)
        if not rheologies:
            raise ValueError("rheologies must name at least one rheology")
        for i, r in enumerate(rheologies):
            if r not in RHEOLOGIES:
                near = difflib.get_close_matches(str(r), RHEOLOGIES, n=1)
                hint = f" (did you mean {near[0]!r}?)" if near else ""
                raise ValueError(f"unknown rheology {r!r}{hint}: the rheologies are "
                                 f"{', '.join(RHEOLOGIES)}")
            if r in rheologies[:i]:
                raise ValueError(f"rheologies names {r!r} twice")
        body = body.with_({"rheology.models": [r for r in RHEOLOGIES if r in rheologies]})
    chosen = tuple(body["rheology.models"])
    if jobs is not None and (isinstance(jobs, bool) or not isinstance(jobs, int)):
        raise TypeError(f"jobs expects a positive integer or None, not {jobs!r}")
    series = [float(eta) for eta in series]
    maps = [float(eta) for eta in maps]
    map_step = float(map_step)
    if method == "time":
        engine = _core.TimeSweep(body._core, series, jobs, maps, map_step)
    else:
        if series:
            raise ValueError("series needs the time method: the steady state has no series")
        engine = _core.SteadySweep(body._core, maps, map_step)
    result = Result(body, method, [r for r in RHEOLOGIES if r in chosen], engine)
    _issue(result.messages, stacklevel=2)
    return result
