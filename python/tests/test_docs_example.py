"""The example of docs/ runs and draws its figure."""
import runpy
import sys

import pytest


def test_heating_example_draws_its_figure(docs_dir, tmp_path, monkeypatch):
    pytest.importorskip("matplotlib")
    figure = tmp_path / "heating.png"
    monkeypatch.setattr(sys, "argv", ["heating_vs_viscosity.py", str(figure)])
    runpy.run_path(str(docs_dir / "heating_vs_viscosity.py"), run_name="__main__")
    with open(figure, "rb") as f:
        assert f.read(8) == b"\x89PNG\r\n\x1a\n"
    assert figure.stat().st_size > 20000
