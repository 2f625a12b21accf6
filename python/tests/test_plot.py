"""The plots drawn headless into a PDF and PNG files: every figure present, none blank."""
import os
import pathlib
import subprocess
import sys

import pytest

matplotlib = pytest.importorskip("matplotlib")
matplotlib.use("Agg")
import matplotlib.image  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402

import mac2mod  # noqa: E402
import mac2mod.plot  # noqa: E402

SOURCE = pathlib.Path(os.environ.get("MAC2MOD_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
EXAMPLE = SOURCE / "examples" / "example.mac"
FIXTURE = SOURCE / "tests" / "htk-fixtures" / "a-text-tmacros"

# Inputs and options, and the figures they give: the overview, three distributions, two pages of
# comparison when there is another side, a page per model.
CASES = {
    "htk files against their model file": ([FIXTURE / "hmmdefs"], ["--against", FIXTURE / "expect.mod", "--table",
                                            FIXTURE / "ModelNames.txt", "--model", "sil"], "report.pdf", 4 + 2 + 1),
    "set to pdf": ([EXAMPLE], [], "report.pdf", 4 + 4),
    "set to png, chosen models": ([EXAMPLE], ["--model", "sp", "--model", "a"], "pictures", 4 + 2),
    "model file to png": ([FIXTURE / "expect.mod"], ["--table", FIXTURE / "ModelNames.txt"], "pictures", 4 + 4),
    "htk files to pdf": ([FIXTURE / "hmmdefs"], [], "report.pdf", 4 + 4),
}


def run(*args):
    return subprocess.run([sys.executable, "-m", "mac2mod.plot", *map(str, args)], capture_output=True, text=True,
                          env={**os.environ, "MPLBACKEND": "Agg"})


@pytest.mark.parametrize("case", CASES)
def test_every_figure_is_drawn(case, tmp_path):
    inputs, options, out, figures = CASES[case]
    done = run(*inputs, *options, "-o", tmp_path / out)
    assert done.returncode == 0, done.stderr
    if out.endswith(".pdf"):
        pdf = (tmp_path / out).read_bytes()
        assert pdf.count(b"/Type /Page\n") + pdf.count(b"/Type /Page ") + pdf.count(b"/Type /Page>") == figures
        return
    assert_drawn(sorted((tmp_path / out).glob("*.png")), figures)


def assert_drawn(pngs, figures):
    assert len(pngs) == figures
    for png in pngs:
        pixels = matplotlib.image.imread(png)[..., :3]
        drawn = (pixels < 0.9).any(axis=2).mean()
        assert drawn > 0.02, f"{png.name} is nearly blank"


def test_two_sets_differing_in_one_dimension(tmp_path):
    changed = mac2mod.read(EXAMPLE)
    for model in changed:
        for state in model.states:
            state.streams[0].means[:, 5] += 0.1
    changed.write(tmp_path / "changed.macb")
    done = run(EXAMPLE, tmp_path / "changed.macb", "--model", "sil", "-o", tmp_path / "pictures")
    assert done.returncode == 0, done.stderr
    assert_drawn(sorted((tmp_path / "pictures").glob("*.png")), 4 + 2 + 1)


def test_draws_into_the_given_axes_and_imports_matplotlib_only_then():
    s = mac2mod.read(EXAMPLE)
    fig, ax = plt.subplots()
    mac2mod.plot.draw_transitions(ax, s["sil"])
    assert ax.get_images() and ax.get_title() and ax.get_xlabel()
    plt.close(fig)
    check = "import sys, mac2mod.plot; print('matplotlib' in sys.modules)"
    assert subprocess.run([sys.executable, "-c", check], capture_output=True, text=True).stdout.strip() == "False"


def test_failures_leave_no_output(tmp_path):
    done = run(tmp_path / "none.mac", "-o", tmp_path / "report.pdf")
    assert done.returncode == 1 and "Cannot open" in done.stderr
    done = run(EXAMPLE, "--model", "nope", "-o", tmp_path / "report.pdf")
    assert done.returncode == 2 and "nope" in done.stderr
    assert not list(tmp_path.iterdir())
