"""The published release of the language: its standard library, example
models and training models load with the stand-in. The release archive is
unpacked once into a temporary directory; without it these tests skip."""

import os
import pathlib
import tarfile

import pytest

import _plovik
from _plovik import core

from plovik_fixtures import build_files

ARCHIVE = pathlib.Path(
    os.environ.get(
        "PLOVIK_RELEASE_ARCHIVE",
        pathlib.Path(__file__).resolve().parents[3] / "shared" / "data" / "sysml-v2-release-2025-02.tar.xz",
    )
)

# Names the stand-in leaves unresolved in the library, each with its reason:
# (file name, text of the name).
LIBRARY_GAPS = set()


@pytest.fixture(scope="session")
def release(tmp_path_factory):
    if not ARCHIVE.is_file():
        pytest.skip(f"no release archive at {ARCHIVE}")
    root = tmp_path_factory.mktemp("release")
    with tarfile.open(ARCHIVE) as tar:
        tar.extractall(root, filter="data")
    return root


@pytest.fixture(scope="session")
def library(release):
    files = _plovik.collect_files_recursively(release / "sysml.library")
    return _plovik.Environment.from_stdlib_files(files)


def _unresolved(messages):
    return {(pathlib.Path(m.filename).name, m.message.removeprefix("cannot resolve '").removesuffix("'")) for m in messages}


def test_library_parses_and_resolves(library):
    diags = library.diagnostics
    assert not diags.parser, str(diags)
    assert not diags.validation
    assert all(m.code == "unresolved-name" for m in diags.sema), str(diags)
    assert _unresolved(diags.sema) <= LIBRARY_GAPS
    kinds = {pathlib.Path(str(d.url)).suffix for d in library.documents}
    assert kinds == {".kerml", ".sysml"}
    assert {d.document_tier for d in library.documents} == {core.DocumentTier.StandardLibrary}


@pytest.mark.parametrize(
    "name, cls",
    [
        ("ScalarValues::Real", core.AttributeDefinition),
        ("ISQ::mass", core.AttributeUsage),  # through ISQ's public import of ISQBase
        ("SI::kg", core.AttributeUsage),
        ("Parts::Part", core.PartDefinition),
        ("Actions::Action", core.ActionDefinition),
    ],
)
def test_library_names_users_import(library, name, cls):
    first, *rest = name.split("::")
    model = _plovik.Model(environment=library)
    (found,) = [e for e in model.nodes(core.Package) if e.qualified_name is not None and str(e.qualified_name) == first]
    for segment in rest:
        found = found.get_member(segment)
    assert isinstance(found, cls), (name, found)


def _load(library, paths):
    """The files of one model built against the library."""
    result = build_files(library, paths)
    assert result, "build failed"
    return _plovik.Model(result, environment=library, documents=result.documents), result.diagnostics


def _models(release):
    src = release / "sysml" / "src"
    by_dir = {}
    for p in _plovik.collect_files_recursively(src / "examples"):
        by_dir.setdefault(p.parent, []).append(p)
    models = [(f"examples/{d.relative_to(src / 'examples')}", files) for d, files in sorted(by_dir.items())]
    # The training models import one another across their folders: one build.
    models.append(("training", _plovik.collect_files_recursively(src / "training")))
    return models


# Specialisations and typings of parts the release itself leaves unresolved,
# each with its reason: (file name, element, name).
MODEL_GAPS = {
    # `part p4 :> p4;`: the only p4 in scope is the part itself.
    ("PartTest.sysml", "PartUsage PartTest::p4", "p4"),
}


def _unresolved_heritage(model):
    out = []
    for e in model.nodes(core.PartDefinition, True, _plovik.DocumentKind.MODEL) + model.nodes(
        core.PartUsage, True, _plovik.DocumentKind.MODEL
    ):
        for rel, target in zip(e.heritage.relationships, e.heritage.elements):
            where = (pathlib.Path(str(e.document.url)).name, str(e), rel._ref.text())
            if target is None and where not in MODEL_GAPS:
                out.append(where)
    return out


def test_examples_and_training_models_load_with_the_library(release, library):
    models = _models(release)
    assert sum(len(files) for _, files in models) == 194
    broken = {}
    for name, files in models:
        model, per_doc = _load(library, files)
        parser = [f"{d.segment.range.start.line + 1}: {d.message}" for dd in per_doc for d in dd.parser]
        assert not any(dd.validation for dd in per_doc)
        unresolved = _unresolved_heritage(model)
        if parser or unresolved:
            broken[name] = parser + unresolved
    assert not broken, "\n".join(f"{k}: {v}" for k, v in broken.items())
