import json
import pathlib

import pytest

from conftest import run_python

PROJECT = {
    "name": "demo",
    "version": "1.0.0",
    "usage": [
        {"resource": "pkg:kestro/acme/base"},
        {"kind": "future", "size": 2**64 - 1, "ratio": 0.5},
    ],
}
META = {"index": {"Demo": "demo.sysml"}, "created": "2025-01-01T00:00:00Z", "checksum": {}}


def write(directory, files):
    for name, text in files.items():
        (directory / name).write_text(text if isinstance(text, str) else json.dumps(text))
    return str(directory)


def test_a_directory_with_both_records(km, tmp_path):
    info, meta = km.do_info_py_path(write(tmp_path, {".project.json": PROJECT, ".meta.json": META}))
    assert info == {
        "name": "demo",
        "publisher": None,
        "description": None,
        "version": "1.0.0",
        "license": None,
        "maintainer": [],
        "website": None,
        "topic": [],
        "usage": [
            {"resource": "pkg:kestro/acme/base", "version_constraint": None},
            {"kind": "future", "size": 2**64 - 1, "ratio": 0.5},
        ],
    }
    assert meta == {
        "index": {"Demo": "demo.sysml"},
        "created": "2025-01-01T00:00:00Z",
        "metamodel": None,
        "includes_derived": None,
        "includes_implied": None,
        "checksum": {},
    }


@pytest.mark.parametrize(
    "files,message",
    [
        ({}, "project is missing"),
        ({".project.json": PROJECT}, "project has .project.json but not .meta.json"),
        ({".meta.json": META}, "project has .meta.json but not .project.json"),
        (
            {".project.json": PROJECT, ".meta.json": '{"index": {}, "created": 5}'},
            "project deserialization error: failed to deserialize `.meta.json`: "
            "invalid type: integer `5`, expected a string at line 1 column 26",
        ),
    ],
)
def test_failures_are_runtime_errors(km, tmp_path, files, message):
    with pytest.raises(RuntimeError) as raised:
        km.do_info_py_path(write(tmp_path, files))
    assert type(raised.value) is RuntimeError
    assert str(raised.value) == message


def test_a_path_object_is_refused(km, tmp_path):
    with pytest.raises(TypeError) as raised:
        km.do_info_py_path(pathlib.Path(tmp_path))
    assert str(raised.value) == "'PosixPath' object is not an instance of 'str'"
    assert raised.value.__notes__ == ["while processing 'path'"]


def test_numbers_are_read_the_same_under_a_comma_decimal_locale(km_import, tmp_path):
    usage = {"kind": "future", "ratio": 0.5, "small": -2.5e-3, "large": 1.5e300, "tiny": 6.25e-7}
    project = write(tmp_path, {".project.json": dict(PROJECT, usage=[usage]), ".meta.json": META})
    out = run_python(
        """
        import locale
        locale.setlocale(locale.LC_ALL, "de_DE.UTF-8")
        assert locale.localeconv()["decimal_point"] == ","
        """,
        km_import,
        f"""
        info, _ = km.do_info_py_path({project!r})
        print(repr(info["usage"][0]))
        """,
    )
    assert out == repr(usage) + "\n"
