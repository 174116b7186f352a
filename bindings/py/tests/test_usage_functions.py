import json
import logging
import os

import pytest

ADD_TARGET = "kestro_core.commands.add"
PAD = " " * 9  # a warning's continuation indent


def project(tmp_path, usage=None, **extra):
    """A project directory whose `.project.json` holds `usage` (and the
    extra top-level keys); returns its path as text."""
    info = {"name": "demo", "version": "1.0.0", **extra}
    if usage is not None:
        info["usage"] = usage
    (tmp_path / ".project.json").write_text(json.dumps(info))
    (tmp_path / ".meta.json").write_text('{"index": {}, "created": "2025-01-01T00:00:00Z"}')
    return str(tmp_path)


def info_text(tmp_path):
    return (tmp_path / ".project.json").read_text()


def usages(tmp_path):
    return json.loads(info_text(tmp_path)).get("usage", [])


# --- do_init_py_local_file -------------------------------------------------


@pytest.mark.parametrize(
    "version,license,message",
    [
        ("v2.0.0", None, "failed to parse `v2.0.0` as a Semantic Version: "),
        ("2.0", "MIT or nothing", "failed to parse `2.0` as a Semantic Version: "),
        ("1.0.0", "", "failed to parse `` as an SPDX license expression:\n\n^ "),
        ("1.0.0", "Foo-Unknown", "failed to parse `Foo-Unknown` as an SPDX license expression:\nFoo-Unknown\n^^^"),
        ("1.0.0", "GPL-2.0+", "failed to parse `GPL-2.0+` as an SPDX license expression:\nGPL-2.0+\n^"),
        (
            "1.0.0",
            "MIT or BSD-3-Clause",
            "failed to parse `MIT or BSD-3-Clause` as an SPDX license expression:\nMIT or BSD-3-Clause\n    ^^ ",
        ),
        (
            "1.0.0",
            "Apache-2.0 OR",
            "failed to parse `Apache-2.0 OR` as an SPDX license expression:\nApache-2.0 OR\n             ^ ",
        ),
    ],
)
def test_init_refuses_bad_versions_and_licences(km, tmp_path, version, license, message):
    with pytest.raises(ValueError) as raised:
        km.do_init_py_local_file("demo", "acme", version, str(tmp_path), license)
    assert type(raised.value) is ValueError
    assert str(raised.value).startswith(message)
    assert list(tmp_path.iterdir()) == []


@pytest.mark.parametrize(
    "version,license",
    [
        ("0.1.0-alpha+build.5", None),
        ("1.0.0", "Apache-2.0 WITH LLVM-exception"),
        ("1.0.0", "LicenseRef-corp"),
        ("1.0.0", "GPL-2.0-or-later"),
    ],
)
def test_init_writes_version_and_licence_unchanged(km, tmp_path, version, license):
    args = ("demo", "acme", version, str(tmp_path)) + ((license,) if license else ())
    assert km.do_init_py_local_file(*args) is None
    expected = {"name": "demo", "publisher": "acme", "version": version}
    if license:
        expected["license"] = license
    assert list(json.loads(info_text(tmp_path)).items()) == list(expected.items())
    meta = json.loads((tmp_path / ".meta.json").read_text())
    assert list(meta) == ["index", "created"] and meta["index"] == {}
    assert meta["created"].endswith("Z") and "." not in meta["created"]


def test_init_in_a_missing_directory_names_it(km, tmp_path):
    missing = tmp_path / "absent"
    with pytest.raises(OSError) as raised:
        km.do_init_py_local_file("demo", "acme", "1.0.0", str(missing))
    assert str(missing) in str(raised.value)
    assert not missing.exists()


def test_init_beside_a_meta_file_leaves_the_new_project_file(km, tmp_path):
    (tmp_path / ".meta.json").write_text("keep")
    with pytest.raises(FileExistsError) as raised:
        km.do_init_py_local_file("demo", "acme", "1.0.0", str(tmp_path), license=None)
    assert str(raised.value) == "'.meta.json' already exists"
    assert (tmp_path / ".meta.json").read_text() == "keep"
    assert json.loads(info_text(tmp_path))["name"] == "demo"


def test_init_twice_keeps_both_files(km, tmp_path):
    km.do_init_py_local_file("demo", "acme", "1.0.0", str(tmp_path))
    before = {p.name: p.read_bytes() for p in tmp_path.iterdir()}
    with pytest.raises(FileExistsError, match="^`.project.json` already exists$"):
        km.do_init_py_local_file("other", "acme", "2.0.0", str(tmp_path))
    assert {p.name: p.read_bytes() for p in tmp_path.iterdir()} == before


# --- do_add_py ----------------------------------------------------------------

IRI = "pkg:kestro/acme/geo"


def already_with(existing, new):
    return (
        f"usage `{IRI}` is already present, but with version\n{PAD}constraint `{existing}`; new version constraint\n"
        f"{PAD}`{new}` will be added to the existing ones; this may\n"
        f"{PAD}result in failed version resolution or conflicting symbol errors"
    )


@pytest.mark.parametrize(
    "existing,constraint,result,stored,warning",
    [
        (None, "3.1", True, "^3.1", None),
        (None, ">=1, <2", True, ">=1, <2", None),
        ("^3.1", "4", True, "^3.1, ^4", already_with("^3.1", "^4")),
        ("3.1", "3.1", True, "3.1, ^3.1", already_with("3.1", "^3.1")),
        ("^3.1", "3.1", False, "^3.1",
         f"ignoring usage `{IRI}` with version constraint\n{PAD}`^3.1`, since it is already present with identical "
         "version constraint"),
        ("", None, False, None, f"ignoring usage `{IRI}`,\n{PAD}since it is already present"),
        ("^3.1", None, False, "^3.1",
         f"ignoring usage `{IRI}`\n{PAD}without a version constraint, since it is already present with\n{PAD}version "
         "constraint `^3.1`"),
        ("", "=3.1.0", True, "=3.1.0",
         f"usage `{IRI}` is already present,\n{PAD}but without a version constraint; version constraint\n{PAD}`=3.1.0` "
         "will be added to it"),
    ],
)
def test_add_constraint_table(km, tmp_path, caplog, registered, existing, constraint, result, stored, warning):
    """`existing`: None for no usage yet, "" for one without a constraint."""
    declared = []
    if existing is not None:
        declared = [{"resource": IRI, **({"versionConstraint": existing} if existing else {})}]
    path = project(tmp_path, declared)
    before = info_text(tmp_path)
    with caplog.at_level(logging.WARNING, logger=ADD_TARGET):
        assert km.do_add_py(path, IRI, constraint) is result
    warnings = [r.getMessage() for r in caplog.records if r.name == ADD_TARGET and r.levelno == logging.WARNING]
    assert warnings == ([warning] if warning else [])
    if not result:
        assert info_text(tmp_path) == before
        return
    expected = {"resource": IRI, **({"versionConstraint": stored} if stored else {})}
    assert info_text(tmp_path) == json.dumps(
        {"name": "demo", "version": "1.0.0", "usage": [expected]}, indent=2
    ) + "\n"


def test_add_expands_the_shorthand_once(km, tmp_path, registered):
    path = project(tmp_path)
    assert km.do_add_py(path, "acme/widgets", None) is True
    assert km.do_add_py(path, "pkg:kestro/acme/widgets", None) is False
    assert usages(tmp_path) == [{"resource": "pkg:kestro/acme/widgets"}]
    # The dict form reaches the command as written, where it is no IRI.
    with pytest.raises(registered["project"], match="^invalid usage resource `acme/widgets`"):
        km.do_add_usage_py(path, {"resource": "acme/widgets", "version_constraint": None})
    assert usages(tmp_path) == [{"resource": "pkg:kestro/acme/widgets"}]


@pytest.mark.parametrize(
    "new,after,warning",
    [
        # Same publisher and name: repointed, also to the same path.
        ({"dir": "../geo2", "publisher": "corp", "name": "geo"}, {"dir": "../geo2", "publisher": "corp", "name": "geo"},
         f"usage `corp`/`geo` is already present;\n{PAD}it will be updated to point to `../geo2`"),
        ({"dir": "../geo", "publisher": "corp", "name": "geo"}, {"dir": "../geo", "publisher": "corp", "name": "geo"},
         f"usage `corp`/`geo` is already present;\n{PAD}it will be updated to point to `../geo`"),
        # Same path: renamed.
        ({"dir": "../geo", "publisher": "corp", "name": "maps"}, {"dir": "../geo", "publisher": "corp", "name": "maps"},
         "existing usage `corp`/`geo` already points to path\n" + " " * 21 + "`../geo`; existing usage will be "
         "overwritten"),
    ],
)
def test_add_directory_usage_repoints_or_renames(km, tmp_path, caplog, registered, new, after, warning):
    path = project(tmp_path, [{"resource": "urn:x"}, {"dir": "../geo", "publisher": "corp", "name": "geo"}])
    with caplog.at_level(logging.WARNING, logger=ADD_TARGET):
        assert km.do_add_usage_py(path, new) is True
    assert [r.getMessage() for r in caplog.records if r.name == ADD_TARGET] == [warning]
    assert usages(tmp_path) == [{"resource": "urn:x"}, {"dir": after["dir"], "publisher": after["publisher"],
                                                        "name": after["name"]}]


@pytest.mark.parametrize(
    "call,message",
    [
        (lambda km, p: km.do_add_usage_py(p, {"dir": "geo", "publisher": "corp", "name": "geo"}),
         "`pkg:kestro/corp/geo` is already declared as a KPAR path usage;\n"
         "remove it before adding it as a directory usage"),
        (lambda km, p: km.do_add_py(p, "pkg:kestro/corp/geo", "1"),
         "`pkg:kestro/corp/geo` is already declared as a KPAR path usage;\n"
         "remove it before adding it as a resource usage"),
        (lambda km, p: km.do_add_py(p, "Corp/geo", None),
         "malformed `pkg:kestro` IRI `Corp/geo`: `pkg:kestro/Corp/geo` is not a valid `pkg:kestro` PURL, but can be "
         "normalized to `pkg:kestro/corp/geo`"),
        (lambda km, p: km.do_add_py(p, "urn:x", "not a version"),
         "failed to parse version constraint `not a version` of usage\n`urn:x` as a Semantic Version constraint"),
    ],
)
def test_add_refusals_change_nothing(km, tmp_path, registered, call, message):
    path = project(tmp_path, [{"kparPath": "geo.kpar", "publisher": "corp", "name": "geo"}])
    before = info_text(tmp_path)
    with pytest.raises(registered["project"]) as raised:
        call(km, path)
    assert str(raised.value).startswith(message)
    assert info_text(tmp_path) == before


def test_add_usage_with_a_list_names_the_argument(km, tmp_path):
    with pytest.raises(TypeError) as raised:
        km.do_add_usage_py(str(tmp_path / "absent"), ["resource"])
    assert "while processing 'usage'" in getattr(raised.value, "__notes__", [])


# --- do_set_usage_constraint_py -------------------------------------------------


def test_constraint_edit_keeps_unknown_keys_and_their_order(km, tmp_path, registered):
    text = (
        '{"zeta": 1, "usage": [{"versionConstraint": "1", "resource": "urn:a", "extra": [true]}],\n'
        ' "name": "demo", "version": "1.0.0", "alpha": {"b": null}}'
    )
    (tmp_path / ".project.json").write_text(text)
    assert km.do_set_usage_constraint_py(str(tmp_path), "urn:a", "1.2") == ("urn:a", True, True, "1", "1.2")
    assert info_text(tmp_path) == (
        '{\n  "zeta": 1,\n  "usage": [\n    {\n      "versionConstraint": "1.2",\n      "resource": "urn:a",\n'
        '      "extra": [\n        true\n      ]\n    }\n  ],\n  "name": "demo",\n  "version": "1.0.0",\n'
        '  "alpha": {\n    "b": null\n  }\n}\n'
    )
    assert km.do_set_usage_constraint_py(str(tmp_path), "urn:a", None) == ("urn:a", True, True, "1.2", None)
    assert json.loads(info_text(tmp_path))["usage"] == [{"resource": "urn:a", "extra": [True]}]


def test_constraint_set_twice_keeps_the_file(km, tmp_path, registered):
    path = project(tmp_path, [{"resource": "pkg:kestro/acme/widgets"}])
    assert km.do_set_usage_constraint_py(path, "acme/widgets", "1.2") == (
        "pkg:kestro/acme/widgets", True, True, None, "1.2")
    stamp = 1_000_000_000
    os.utime(tmp_path / ".project.json", (stamp, stamp))
    assert km.do_set_usage_constraint_py(path, "acme/widgets", "1.2") == (
        "pkg:kestro/acme/widgets", True, False, "1.2", "1.2")
    assert os.stat(tmp_path / ".project.json").st_mtime == stamp


@pytest.mark.parametrize(
    "declared,identifier,constraint,message",
    [
        ([{"resource": "urn:a"}, {"resource": "urn:a", "versionConstraint": "1"}, {"resource": "urn:a"}], "urn:a",
         "1", "`urn:a` is declared 3 times in `.project.json`; refusing to guess"),
        ([{"resource": "urn:a"}, {"kparPath": "a.kpar", "publisher": "corp", "name": "geo"}], "pkg:kestro/corp/geo",
         "1", "`pkg:kestro/corp/geo` is declared as a KPAR path usage, which carries no\n"),
        ([{"dir": "geo", "publisher": "corp", "name": "geo"}], "corp/geo", None,
         "`pkg:kestro/corp/geo` is declared as a directory usage, which carries no\n"
         "version constraint: it always resolves to the single version found there"),
        ({}, "urn:a", "1", "`usage` is present in `.project.json` but is not an array"),
        ([], "urn:a", "1", None),
        ([{"resource": "urn:b"}], "urn:a", None, None),
        ([{"resource": "urn:a"}], "urn:a", "no version", "`no version` is not a valid version requirement"),
        ([{"resource": "urn:a"}], "Acme/geo", "1", "malformed `pkg:kestro` IRI `Acme/geo`: "),
    ],
)
def test_constraint_failures_write_nothing(km, tmp_path, registered, declared, identifier, constraint, message):
    path = project(tmp_path, declared)
    before = info_text(tmp_path)
    if message is None:
        assert km.do_set_usage_constraint_py(path, identifier, constraint) == (identifier, False, False, None, None)
    else:
        with pytest.raises(registered["project"]) as raised:
            km.do_set_usage_constraint_py(path, identifier, constraint)
        assert str(raised.value).startswith(message)
    assert info_text(tmp_path) == before


def test_constraint_without_a_usage_key_is_not_found(km, tmp_path, registered):
    path = project(tmp_path)
    before = os.stat(tmp_path / ".project.json").st_mtime_ns
    assert km.do_set_usage_constraint_py(path, "acme/widgets", None) == (
        "pkg:kestro/acme/widgets", False, False, None, None)
    assert os.stat(tmp_path / ".project.json").st_mtime_ns == before


# --- do_remove_py ---------------------------------------------------------------


def test_remove_returns_every_declaration_in_file_order(km, tmp_path, registered):
    path = project(tmp_path, [
        {"resource": "urn:a", "versionConstraint": "1"},
        {"resource": "urn:b"},
        {"resource": "urn:a"},
    ])
    assert km.do_remove_py(path, "urn:a") == [
        {"resource": "urn:a", "version_constraint": "1"},
        {"resource": "urn:a", "version_constraint": None},
    ]
    assert usages(tmp_path) == [{"resource": "urn:b"}]


@pytest.mark.parametrize(
    "identifier,message",
    [
        ("URN:A", "could not find usage for `URN:A`"),
        ("urn:a/", "could not find usage for `urn:a/`"),
        ("corp/geo", "`pkg:kestro/corp/geo` is declared as a directory usage, not as a resource usage;\n"
                     "remove it with `kestro experimental remove <publisher> <name>`"),
        ("Corp/geo", "malformed `pkg:kestro` IRI `Corp/geo`: "),
    ],
)
def test_remove_refusals(km, tmp_path, registered, identifier, message):
    path = project(tmp_path, [{"resource": "urn:a"}, {"dir": "geo", "publisher": "corp", "name": "geo"}])
    before = info_text(tmp_path)
    with pytest.raises(registered["project"]) as raised:
        km.do_remove_py(path, identifier)
    assert str(raised.value).startswith(message)
    assert info_text(tmp_path) == before
