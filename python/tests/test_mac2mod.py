"""The module against the C++ readers and writers (through the programs' output and the HTK
fixtures' expected model files), its views, errors and threads."""
import gc
import json
import os
import pathlib
import shutil
import subprocess
import threading

import numpy as np
import pytest

import mac2mod

SOURCE = pathlib.Path(os.environ.get("MAC2MOD_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
EXAMPLES = SOURCE / "examples"
FIXTURES = SOURCE / "tests" / "htk-fixtures"
# The programs of the build the module comes from, unless ctest names them.
BUILD = pathlib.Path(mac2mod.__file__).parents[2]
MAC2MOD_EXE = os.environ.get("MAC2MOD_EXE", BUILD / "driver" / "mac2mod")
MMFTOOL_EXE = os.environ.get("MMFTOOL_EXE", BUILD / "mmftool" / "mmftool")


def fixture_inputs(name):
    folder = FIXTURES / name
    return [folder / line for line in (folder / "inputs").read_text().split()]


def converter_output(tmp_path, source):
    """The model file the converter program writes for source with the example's table."""
    work = tmp_path / "converter"
    work.mkdir()
    shutil.copy(source, work)
    shutil.copy(EXAMPLES / "ModelNames.txt", work)
    subprocess.run([MAC2MOD_EXE, source.name], cwd=work, check=True, capture_output=True)
    return work / (source.stem + ".mod")


# Each read, and the model file the C++ side writes for the same set with its table.
READS = {
    "mac": (lambda: mac2mod.read(EXAMPLES / "example.mac"), EXAMPLES / "ModelNames.txt", "example.mac"),
    "macb": (lambda: mac2mod.read(str(EXAMPLES / "example.macb")), EXAMPLES / "ModelNames.txt", "example.macb"),
    "htk-text": (lambda: mac2mod.import_htk(fixture_inputs("a-text-tmacros")),
                 FIXTURES / "a-text-tmacros" / "ModelNames.txt", "a-text-tmacros"),
    "htk-binary-tied": (lambda: mac2mod.import_htk(fixture_inputs("i-binary-tied")),
                        FIXTURES / "i-binary-tied" / "ModelNames.txt", "i-binary-tied"),
}


@pytest.mark.parametrize("form", READS)
def test_set_values_and_model_file_match_the_cpp_side(form, tmp_path):
    read, table, source = READS[form]
    s = read()
    expected = (FIXTURES / source / "expect.mod" if form.startswith("htk")
                else converter_output(tmp_path, EXAMPLES / source))
    s.write_model_file(tmp_path / "py.mod", table=table)
    assert (tmp_path / "py.mod").read_bytes() == expected.read_bytes()

    m = mac2mod.read_model_file(expected, table=table)
    assert m.vector_size == s.vector_sizes[0] and len(m) == len(s) and "sil" in m and "sil" in s
    for record in m:
        model = s[record.name]
        # Of "sil" the model file holds the first emitting state only.
        assert len(record.states) == (1 if record.index == 0 else model.state_count - 2)
        for fields, state in zip(record.states, model.states):
            stream = state.streams[0]
            assert stream.means.shape == fields["means"].shape == (stream.mixture_count, m.vector_size)
            np.testing.assert_array_equal(stream.means, fields["means"])
            np.testing.assert_array_equal(stream.variances, fields["variances"])


def test_values_as_the_text_file_gives_them():
    sil = mac2mod.read(EXAMPLES / "example.mac")["sil"]
    stream = sil.states[0].streams[0]
    assert sil.trans.shape == (5, 5) and sil.trans[1, 2] == np.float32(0.4)
    assert stream.weights[0] == np.float32(0.2732616) and stream.gconsts[0] == np.float32(60.5965)
    assert stream.means[0, 0] == np.float32(-1.047301) and stream.variances[0, 23] == np.float32(0.9326564)
    assert sil.states[0].stream_weights.tolist() == [1.0]


@pytest.mark.parametrize("extension", ["mac", "macb"])
def test_write_gives_the_cpp_bytes(extension, tmp_path):
    subprocess.run([MMFTOOL_EXE, "convert", EXAMPLES / "example.mac", tmp_path / f"c.{extension}"],
                   check=True, capture_output=True)
    mac2mod.read(EXAMPLES / "example.mac").write(tmp_path / f"py.{extension}")
    assert (tmp_path / f"py.{extension}").read_bytes() == (tmp_path / f"c.{extension}").read_bytes()


def test_write_gives_what_the_views_hold(tmp_path):
    s = mac2mod.read(EXAMPLES / "example.mac")
    s["a"].states[1].streams[0].means[1, 3] = 1.5
    s["a"].trans[1, 1] = 0.25
    s.write(tmp_path / "changed.macb")
    back = mac2mod.read(tmp_path / "changed.macb")["a"]
    assert back.states[1].streams[0].means[1, 3] == 1.5 and back.trans[1, 1] == 0.25


def test_views_are_the_sets_memory_and_outlive_its_name():
    s = mac2mod.read(EXAMPLES / "example.macb")
    means = s[2].states[0].streams[0].means
    assert np.shares_memory(means, s[2].states[0].streams[0].means)
    assert means.strides == (200, 4) and means.flags.writeable
    expected = means.copy()
    del s
    gc.collect()
    np.testing.assert_array_equal(means, expected)


def test_gaussians_pools_every_component_in_set_order():
    s = mac2mod.read(EXAMPLES / "example.mac")
    pooled = s.gaussians()
    rows = [(m.index, e, k) for m in s for e, state in enumerate(m.states)
            for k in range(state.streams[0].mixture_count)]
    assert list(zip(pooled["model"], pooled["state"], pooled["component"])) == rows
    assert pooled["means"].shape == (len(rows), 24) and pooled["weights"].dtype == np.float32
    for g, (m, e, k) in enumerate(rows):
        stream = s[m].states[e].streams[0]
        np.testing.assert_array_equal(pooled["variances"][g], stream.variances[k])
        assert pooled["gconsts"][g] == stream.gconsts[k]


@pytest.mark.parametrize("key, error", [("nope", KeyError), (5, IndexError), (-6, IndexError), (1.0, TypeError)])
def test_wrong_keys(key, error):
    s = mac2mod.read(EXAMPLES / "example.mac")
    assert s[-1].name == s.names[-1] == "sp"
    with pytest.raises(error):
        s[key]


def too_long_vector(tmp_path):
    lines = (EXAMPLES / "example.mac").read_text().splitlines(keepends=True)
    lines[11] = lines[11].replace("<MEAN> 24", "<MEAN> 39")
    (tmp_path / "broken.mac").write_text("".join(lines))
    return tmp_path / "broken.mac"


def cut_model_file(tmp_path):
    (tmp_path / "cut.mod").write_bytes((FIXTURES / "b-single-gaussian" / "expect.mod").read_bytes()[:-6])
    return tmp_path / "cut.mod"


# What fails, and the status, file and line it must carry (None: any line).
FAILURES = {
    "no file": (lambda t: mac2mod.read(t / "none.mac"), -1, "none.mac", 0),
    "extension": (lambda t: mac2mod.read(EXAMPLES / "ModelNames.txt"), 1, "", 0),
    "vector size": (lambda t: mac2mod.read(too_long_vector(t)), 1, "broken.mac", 12),
    "htk undefined macro": (lambda t: mac2mod.import_htk(fixture_inputs("neg-undefined-macro")), 1, "hmmdefs", None),
    "model file cut short": (lambda t: mac2mod.read_model_file(cut_model_file(t)), 1, "cut.mod", 0),
    "model file without a table entry": (lambda t: mac2mod.read(EXAMPLES / "example.mac").write_model_file(
        t / "out.mod", table=FIXTURES / "a-text-tmacros" / "ModelNames.txt"), -1, "", 0),
    "write into a missing folder": (lambda t: mac2mod.read(EXAMPLES / "example.mac").write(t / "no" / "out.mac"),
                                    -1, "", 0),
}


@pytest.mark.parametrize("case", FAILURES)
def test_errors_carry_the_place_and_leave_nothing(case, tmp_path, capfd):
    fails, status, file, line = FAILURES[case]
    with pytest.raises(mac2mod.Error) as raised:
        fails(tmp_path)
    e = raised.value
    assert isinstance(e, ValueError) and e.status == status and e.message.rstrip("\n") == str(e)
    assert e.file.endswith(file) and (line is None or e.line == line)
    if case == "model file cut short":
        assert e.offset > 0
    if line:
        assert e.column > 0
    assert capfd.readouterr() == ("", "")
    assert not (tmp_path / "out.mod").exists() and not list(tmp_path.glob("**/*.tmp*"))


def test_lint_is_what_mmftool_check_reports(tmp_path):
    text = (EXAMPLES / "example.mac").read_text()
    at = text.index("\n", text.index("<VARIANCE>", text.index('~h "i"'))) + 2   # its first variance
    (tmp_path / "bad.mac").write_text(text[:at] + "-" + text[at:])
    findings = mac2mod.read(tmp_path / "bad.mac").lint(table=EXAMPLES / "ModelNames.txt")
    check = subprocess.run([MMFTOOL_EXE, "check", tmp_path / "bad.mac", "--json",
                            "--table", EXAMPLES / "ModelNames.txt"], capture_output=True, check=True)
    assert findings == json.loads(check.stdout)["findings"]
    assert [f["check"] for f in findings] == ["variance-not-positive"] and findings[0]["line"] > 0
    # The values are the set's as they are now, the places those of its file.
    s = mac2mod.read(EXAMPLES / "example.mac")
    s["a"].states[0].streams[0].variances[1, 2] = 0
    assert [(f["check"], f["file"]) for f in s.lint()] == [("variance-not-positive", str(EXAMPLES / "example.mac"))]


def test_lint_of_an_imported_set_is_placed_in_its_htk_files(tmp_path):
    text = (FIXTURES / "b-single-gaussian" / "hmmdefs").read_text()
    (tmp_path / "hmmdefs").write_text(text.replace(" 1.107863e+01 ", " 0 ", 1))
    s = mac2mod.import_htk(tmp_path / "hmmdefs")
    check = subprocess.run([MMFTOOL_EXE, "check", tmp_path / "hmmdefs", "--json"], capture_output=True, check=True)
    findings = s.lint()
    assert findings == json.loads(check.stdout)["findings"]
    assert [(f["file"], f["line"], f["message"]) for f in findings] == [
        (str(tmp_path / "hmmdefs"), 11, 'model 0 ("k-o+t"), state 2, component 1: variance[0] is 0, not above 0')]
    # Changed since, or with a table, the set is checked as it is now, in a form of its own
    # that reads back exactly (one-component streams included).
    variances = s[0].states[0].streams[0].variances
    variances[0, 0] = 1
    assert s.lint() == []
    variances[0, 0] = 0
    assert [(f["file"], f["message"]) for f in s.lint(table=FIXTURES / "b-single-gaussian" / "ModelNames.txt")
            if f["check"] == "variance-not-positive"] == [("", findings[0]["message"])]


# The model file's messages: records by number, or by the table's names; states as HTK
# numbers them, components from 1; a count past a capacity as the import words it.
MODEL_FILE_MESSAGES = {
    "cut, no table": (lambda b: b[:-6], None, "before record 4, state 4, component 1: variance[22] at byte"),
    "cut, a table": (lambda b: b[:-6], FIXTURES / "b-single-gaussian" / "ModelNames.txt",
                     'before record 4 ("k-o+t"), state 4, component 1: variance[22] at byte'),
    "vector size": (lambda b: b[:4] + np.float32(39).tobytes() + b[8:], None,
                    "vector size 39 (the model file's header at byte 4): the set holds vectors of 1 to 24 values"),
}


@pytest.mark.parametrize("case", MODEL_FILE_MESSAGES)
def test_model_file_messages_speak_the_tools_numbering(case, tmp_path):
    change, table, message = MODEL_FILE_MESSAGES[case]
    (tmp_path / "x.mod").write_bytes(change((FIXTURES / "b-single-gaussian" / "expect.mod").read_bytes()))
    with pytest.raises(mac2mod.Error) as raised:
        mac2mod.read_model_file(tmp_path / "x.mod", table=table)
    assert message in raised.value.message


def test_reprs_number_as_the_messages_do():
    s = mac2mod.read(EXAMPLES / "example.mac")
    assert repr(s[0].states[0].streams[0]).startswith("<mac2mod.Stream 1 of state 2 of model 0 'sil': ")
    assert repr(s[0].states[1]) == "<mac2mod.State 3 of model 0 'sil'>"


def test_two_threads_read_two_sets():
    paths = [EXAMPLES / "example.mac", EXAMPLES / "example.macb"]
    results = [[], []]

    def read_many(i):
        for _ in range(50):
            results[i].append(mac2mod.read(paths[i]).gaussians()["means"])

    threads = [threading.Thread(target=read_many, args=(i,)) for i in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for means in results[0] + results[1]:
        np.testing.assert_array_equal(means, results[0][0])


def test_diff_finds_a_changed_view_at_its_place_and_nothing_in_a_conversion(tmp_path):
    s = mac2mod.read(EXAMPLES / "example.mac")
    s.write_model_file(tmp_path / "s.mod", table=EXAMPLES / "ModelNames.txt")
    m = mac2mod.read_model_file(tmp_path / "s.mod", table=EXAMPLES / "ModelNames.txt")
    for a, b in [(s, m), (EXAMPLES / "example.mac", s), (str(EXAMPLES / "example.macb"), m)]:
        assert not mac2mod.diff(a, b)["differs"]

    s["sil"].states[0].streams[0].means[0, 3] *= 1.01
    report = mac2mod.diff(EXAMPLES / "example.mac", s)
    assert report["differs"]
    worst = report["worst"]["meanShift"][0]
    assert (worst["model"], worst["state"], worst["component"], worst["dimension"]) == ("sil", 2, 1, 4)
    assert not mac2mod.diff(EXAMPLES / "example.mac", s, tolerance=1.0)["differs"]
    with pytest.raises(mac2mod.Error) as raised:
        mac2mod.diff(s, tmp_path / "missing.mod")
    assert raised.value.file.endswith("missing.mod")
