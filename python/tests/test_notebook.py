"""The notebooks of docs/notebooks run from top to bottom, and are stored without outputs."""
import json
import sys

import pytest

nbformat = pytest.importorskip("nbformat")
nbclient = pytest.importorskip("nbclient")
pytest.importorskip("ipykernel")
pytest.importorskip("matplotlib")
pytest.importorskip("pandas")


def notebooks(docs_dir):
    found = sorted((docs_dir / "notebooks").glob("*.ipynb"))
    assert found, f"no notebook in {docs_dir / 'notebooks'}"
    return found


def test_notebooks_are_stored_without_outputs(docs_dir):
    for path in notebooks(docs_dir):
        notebook = nbformat.read(path, as_version=4)
        nbformat.validate(notebook)
        for i, cell in enumerate(notebook.cells):
            if cell.cell_type == "code":
                assert cell.outputs == [] and cell.execution_count is None, f"{path.name} cell {i}"


@pytest.fixture
def kernel_of_this_interpreter(tmp_path, monkeypatch):
    """A kernel "python3" run by the interpreter of the tests (the one the module was built
    for), whatever python3 comes first in PATH or which kernels are installed."""
    kernel_dir = tmp_path / "jupyter" / "kernels" / "python3"
    kernel_dir.mkdir(parents=True)
    (kernel_dir / "kernel.json").write_text(json.dumps({
        "argv": [sys.executable, "-Xfrozen_modules=off", "-m", "ipykernel_launcher",
                 "-f", "{connection_file}"],
        "display_name": "Python 3", "language": "python"}))
    monkeypatch.setenv("JUPYTER_PATH", str(tmp_path / "jupyter"))
    # The kernel's connection file and IPython's profile there too, not in the home directory.
    monkeypatch.setenv("JUPYTER_RUNTIME_DIR", str(tmp_path / "jupyter" / "runtime"))
    monkeypatch.setenv("IPYTHONDIR", str(tmp_path / "jupyter" / "ipython"))
    monkeypatch.setenv("MPLBACKEND", "module://matplotlib_inline.backend_inline")
    return "python3"


def test_notebooks_run_and_draw_their_figures(docs_dir, tmp_path, kernel_of_this_interpreter):
    for path in notebooks(docs_dir):
        notebook = nbformat.read(path, as_version=4)
        figures = sum(cell.source.count("plt.subplots(") for cell in notebook.cells)
        client = nbclient.NotebookClient(notebook, timeout=120,
                                         kernel_name=kernel_of_this_interpreter,
                                         resources={"metadata": {"path": str(tmp_path)}})
        client.execute()  # raises CellExecutionError, naming the cell, if one fails
        drawn = [output for cell in notebook.cells if cell.cell_type == "code"
                 for output in cell.outputs if "image/png" in output.get("data", {})]
        assert len(drawn) == figures > 0, path.name
        written = sorted(p.name for p in tmp_path.iterdir() if p.name != "jupyter")
        assert written == [], f"{path.name} wrote files"
