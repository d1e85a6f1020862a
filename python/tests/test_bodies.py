"""Bodies: the program's keys, checks and messages; TOML both ways."""
import pytest

import tidal


@pytest.mark.parametrize("key, value, option", [
    ("shell.thicknes", 2e4, "shell.thicknes=20000.0"),          # unknown key, suggestion
    ("shell.thickness", -1.0, "shell.thickness=-1.0"),          # out of range
    ("numerics.layers", 2.5, "numerics.layers=2.5"),            # wrong type
    ("shell.rigidity", [7e9, 7e9], "shell.rigidity=[7000000000.0, 7000000000.0]"),  # length
    ("orbit.second_order", "yes", 'orbit.second_order="yes"'),
    ("shell.self_gravity", 1, "shell.self_gravity=1"),
])
def test_bad_keys_raise_the_programs_message(program, tmp_path, key, value, option):
    run = program("--body", 3, "--set", option, "--output", tmp_path / "out")
    assert run.returncode == 2 and run.stderr.startswith("error: ")
    with pytest.raises(ValueError) as e:
        tidal.preset(3).with_(**{key: value})
    # The same message, naming the key as the caller gave it rather than as --set.
    assert "error: --set " + option + ": " + str(e.value) + "\n" == run.stderr
    assert str(e.value).startswith(key + ": ")
    assert not (tmp_path / "out").exists()


def test_bad_files_raise_the_programs_message(program, tmp_path):
    bad = tmp_path / "bad.toml"
    bad.write_text(tidal.preset(2).to_toml().replace("periods = ", "periods = -"))
    for path in (bad, tmp_path / "missing.toml"):
        run = program("--body-file", path, "--output", tmp_path / "out")
        assert run.returncode == 2
        with pytest.raises(ValueError) as e:
            tidal.Body.from_toml(str(path))
        assert "error: " + str(e.value) + "\n" == run.stderr
    with pytest.raises(ValueError, match="from 1 to 8"):
        tidal.preset(9)


def test_a_body_built_in_python_round_trips_through_toml(program, tmp_path):
    body = tidal.preset(5).with_({"name": 'Io "thin" crust', "numerics.layers": 4,
                                  "shell.rigidity": [6e10, 6.5e10, 7e10, 0.1 + 0.2],
                                  "shell.viscosity_factors": (1.0, 2.0, 4.0, 8.0),
                                  "orbit.eccentricity": 1 / 3, "shell.self_gravity": True,
                                  "orbit.obliquity": 7.5, "orbit.pericentre_argument": -20.0})
    again = tidal.Body.from_toml(body.to_toml())
    assert again == body and again.to_toml() == body.to_toml()
    assert body["shell.rigidity"][3] == 0.1 + 0.2 and body["orbit.eccentricity"] == 1 / 3
    assert body["orbit.obliquity"] == 7.5 and tidal.preset(1)["orbit.obliquity"] == 0.0
    assert body["name"] == 'Io "thin" crust' and body["numerics.layers"] == 4
    assert tidal.preset(1)["shell.viscosity_factors"] is None
    assert body["shell.self_gravity"] is True and tidal.preset(1)["shell.self_gravity"] is False

    # The program reads the module's body file, and the module the program's.
    path = tmp_path / "body.toml"
    path.write_text(body.to_toml())
    assert tidal.Body.from_toml(path) == body
    printed = program("--print-body", 5)
    assert tidal.Body.from_toml(printed.stdout) == tidal.preset(5)


def test_the_exact_tide_runs_in_both_methods_with_its_periodic_state_and_maps():
    # Caught: the periodic state beside an exact-tide run switched off (its steady columns NaN);
    # the steady method's states taken from the first-order tide's harmonics.
    body = tidal.preset(1).with_(**{"orbit.tide": "exact", "orbit.eccentricity": 0.2,
                                    "sweep.log10_viscosity_min": 14.0,
                                    "sweep.log10_viscosity_max": 14.0,
                                    "numerics.steps_per_period": 200})
    assert body["orbit.tide"] == "exact"
    steady = tidal.sweep(body, method="steady", jobs=1, maps=[1e14])
    time = tidal.sweep(body, method="time", jobs=1, maps=[1e14])
    first = tidal.sweep(body.with_(**{"orbit.tide": "expansion"}), method="steady", jobs=1)
    for r in ("maxwell", "kelvin_voigt"):
        # The time run's exact-in-time periodic state is the steady method's, to the bit, and
        # the run has reached its own scheme's periodic state.
        assert time[f"{r}_steady_power_W"][0] == steady[f"{r}_power_W"][0]
        assert abs(time[f"{r}_transient"][0]) < 1e-3
        assert time[f"{r}_step_error"][0] == time[f"{r}_step_error"][0]  # a number, not NaN
        # e = 0.2 heats measurably more than the first-order tide.
        assert steady[f"{r}_power_W"][0] > 1.01 * first[f"{r}_power_W"][0]
    assert 1e14 in steady.maps and 1e14 in time.maps