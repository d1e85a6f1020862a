"""Every line the program prints on standard error for a sweep reaches Python as a warning of
the module's own category, with the figures behind it kept on the result."""
import warnings

import pytest

import tidal

# Two periods are too few for Enceladus (transients of 1e-2), the first-order Kelvin-Voigt step
# errs by 1.8e-3, and a sweep from 1e13 Pa s misses the Maxwell peak near 2e12 Pa s.
SHORT = {"numerics.periods": 2, "sweep.log10_viscosity_min": 13.0,
         "sweep.log10_viscosity_max": 14.0, "sweep.steps_per_decade": 4}


def test_the_programs_warning_lines_are_python_warnings(program, tmp_path):
    args = ["--body", 1]
    for key, value in SHORT.items():
        args += ["--set", f"{key}={value}"]
    run = program(*args, "--output", tmp_path / "cli")
    assert run.returncode == 0, run.stderr
    lines = run.stderr.splitlines()
    assert len(lines) == 3 and all(line.startswith("warning: ") for line in lines[:2]), lines
    assert lines[2].startswith("note: accuracy: largest transient ")

    with pytest.warns(tidal.TidalWarning) as caught:
        result = tidal.sweep(tidal.preset(1).with_(SHORT), jobs=1)
    assert result.messages == lines
    caught = [w for w in caught if w.category is not tidal.TidalNote]  # the accuracy note
    assert [str(w.message) for w in caught] == [line[len("warning: "):] for line in lines[:2]]
    assert result.accuracy == lines[2]
    assert all(w.category is tidal.TidalWarning for w in caught)
    assert caught[0].filename == __file__  # the warning points at the caller's line
    # The figures behind the warnings.
    assert abs(result.worst_transient) > 1e-2
    assert result.worst_transient == max(
        (v for name in result.names if name.endswith("_transient") for v in result[name]), key=abs)
    assert result.worst_step_error == pytest.approx(-1.8e-3, abs=1e-4)
    assert result.peaks["maxwell"]["position"] == "sweep_start"

    # A filter turns them into errors, as for any category.
    with warnings.catch_warnings():
        warnings.simplefilter("error", tidal.TidalWarning)
        with pytest.raises(tidal.TidalWarning, match="numerics.periods"):
            tidal.sweep(tidal.preset(1).with_(SHORT), jobs=1)


def test_the_andrade_note_is_a_note():
    body = tidal.preset(1).with_(SHORT, **{"numerics.periods": 10})
    with pytest.warns(tidal.TidalNote, match="Andrade creep carried by"):
        result = tidal.sweep(body, rheologies=["andrade"], jobs=1)
    assert result.messages[0].startswith("note: Andrade creep carried by")
    # The steady method uses the exact compliance: no fit to tell of.
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        tidal.sweep(body, method="steady", rheologies=["andrade"])
    assert not [w for w in caught if issubclass(w.category, tidal.TidalNote)
                and "carried by" in str(w.message)]


def test_errors_name_the_key_as_given_and_lookups_forgive_like_the_command_line():
    with pytest.raises(ValueError) as e:
        tidal.preset(1).with_(**{"shell.thicknes": 2e4})
    assert str(e.value) == "shell.thicknes: unknown key (did you mean shell.thickness?)"
    result = tidal.sweep(tidal.preset(1).with_(SHORT, **{"numerics.periods": 1}), jobs=1,
                         series=[3e13])
    assert result.columns[:2] == ["viscosity_Pa_s", "maxwell_power_W"]
    assert list(result.arrays) == result.columns == result.names
    kept = list(result.series)
    assert len(kept) == 1 and kept[0] != 3e13
    with pytest.warns(tidal.TidalNote, match=repr(kept[0])):
        assert result.series[3e13] is result.series[kept[0]]
    with pytest.raises(KeyError, match="no series kept within half a sweep step"):
        result.series[1e15]
