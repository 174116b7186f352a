"""Incremental builds through text documents, document handles, the static
index, the pipeline and the executor, driven the way a workspace drives
them; and the environments and URL helpers they use."""

import pathlib

import pytest

import _plovik
from _plovik import core

from plovik_fixtures import build_files, by_qname

ENGINE = "package A { part def Engine; }\n"
USER = "package B { private import A::*; part e : Engine; part x : Missing; }\n"
BROKEN = "package C { part x = ; }\n"


class Builds:
    """Open texts and their documents, one index clone and one pipeline."""

    def __init__(self, environment):
        self.env = environment
        self.index = environment.index()
        self.pipeline = core.make_pipeline(core.PipelineOptions(static_index=self.index, lib=environment.lib))
        self.texts = core.TextDocuments.create_st()
        self.docs = {}

    def open(self, name, text):
        url = core.Url(f"memory://{name}")
        handle = self.texts.open(url, "sysml", text, 0)
        doc = core.Document.create_st(core.DocumentOptions(url=url, language="sysml", tier=core.DocumentTier.Project))
        with doc.lock() as d:
            d.text_document = handle
        self.docs[name] = doc
        return doc

    def change(self, name, text, erase=True):
        doc = self.docs[name]
        with doc.lock() as d:
            if erase:
                assert self.index.erase(d) is True
            self.texts.change_content(d.url, [core.TextDocumentEditUtf8(text, None)])
            d.build_state = core.BuildState.Changed
        return doc

    def run(self, changed, invalidated=()):
        options = core.ScheduleOptions(validation_timing=core.ValidationTiming.Manual, attach_comments=True)
        result = _plovik.get_default_executor().run(self.pipeline.schedule(changed, options, invalidated))
        if not result:
            result.rethrow_exception()
        model = _plovik.Model(result, environment=self.env, documents=list(self.docs.values()), lib=self.env.lib, index=self.index)
        found = {}
        for handle, diags in zip(result.documents, result.diagnostics):
            with handle.lock() as d:
                found[str(d.url)[len("memory://"):]] = diags
        return model, found


def summary(diags):
    """(empty, [(stage, code, line, character)...]) of one document's results."""
    rows = [
        (stage, d.code, d.segment.range.start.line, d.segment.range.start.character)
        for stage in ("parser", "sema", "validation")
        for d in getattr(diags, stage)
    ]
    return diags.empty, rows


@pytest.fixture
def builds():
    b = Builds(_plovik.Environment.get_default())
    for name, text in (("a", ENGINE), ("b", USER), ("c", BROKEN)):
        b.open(name, text)
    return b


def test_full_build_reports_per_document(builds):
    model, found = builds.run(list(builds.docs.values()))
    assert {k: summary(v) for k, v in found.items()} == {
        "a": (True, []),
        "b": (False, [("sema", "unresolved-name", 0, 59)]),
        "c": (False, [("parser", "syntax", 0, 21)]),
    }
    assert by_qname(model, "B::e").definitions.collect() == [by_qname(model, "A::Engine")]
    shorts = {d.declared_short_name for d in model.nodes(core.MetadataDefinition, True, _plovik.DocumentKind.ENVIRONMENT)}
    assert {"derivation", "original", "derive"} <= shorts
    assert [e.name for e in model.nodes(core.PartDefinition, True, _plovik.DocumentKind.USER)] == ["Engine"]


def test_rebuild_after_erase_sees_the_change(builds):
    builds.run(list(builds.docs.values()))
    a, b, c = builds.docs.values()
    builds.change("a", "package A { part def Motor; }\n")
    model, found = builds.run([a], [b, c])
    assert summary(found["a"]) == (True, [])
    assert summary(found["b"]) == (False, [("sema", "unresolved-name", 0, 42), ("sema", "unresolved-name", 0, 59)])
    assert summary(found["c"]) == (True, [])  # not parsed again: its syntax error is not reported again
    assert [e.name for e in model.nodes(core.PartDefinition, True, _plovik.DocumentKind.USER)] == ["Motor"]
    builds.change("b", "package B { private import A::*; part e : Motor; }\n")
    model, found = builds.run([b], [a, c])
    assert summary(found["b"]) == (True, [])
    assert by_qname(model, "B::e").definitions.collect() == [by_qname(model, "A::Motor")]


def test_changed_document_not_erased_keeps_its_old_exports(builds):
    builds.run(list(builds.docs.values()))
    a, b, c = builds.docs.values()
    builds.change("a", "package Renamed { part def Engine; }\n", erase=False)
    model, found = builds.run([a], [b, c])
    assert "A" in builds.index.exports(a) and "Renamed" not in builds.index.exports(a)
    assert summary(found["b"])[1] == [("sema", "unresolved-name", 0, 59)]  # still finds the old `A`
    assert builds.index.erase(a) is True and builds.index.erase(a) is False


def test_closed_document_is_no_longer_found(builds):
    builds.run(list(builds.docs.values()))
    a, b, c = builds.docs.values()
    with a.lock() as d:
        builds.index.erase(d)
        builds.texts.close(d.url)
    del builds.docs["a"]
    _, found = builds.run([], [b, c])
    assert [row[1] for row in summary(found["b"])[1]] == ["unresolved-name"] * 3
    with pytest.raises(KeyError):
        builds.texts.close(core.Url("memory://a"))
    builds.open("a", ENGINE)  # the URL can be opened again
    assert builds.texts.get(core.Url("memory://a")) is not None


def test_schedule_rules(builds):
    a, b, _ = builds.docs.values()
    with pytest.raises(ValueError, match="both changed and invalidated"):
        builds.pipeline.schedule([a], core.ScheduleOptions(), [a])
    with pytest.raises(ValueError, match="never built"):
        builds.run([a], [b])
    textless = core.Document.create_st(core.DocumentOptions(url=core.Url("memory://t"), language="sysml"))
    result = _plovik.get_default_executor().run(builds.pipeline.schedule([textless], core.ScheduleOptions(), []))
    assert not result and result.documents == []
    with pytest.raises(ValueError, match="has no text"):
        result.rethrow_exception()


def test_text_edits():
    texts = core.TextDocuments.create_st()
    url = core.Url("memory://t")
    handle = texts.open(url, "sysml", "part a;\npart b;\n", 0)
    rng = core.RangeUtf8(core.PositionUtf8(1, 5), core.PositionUtf8(1, 6))
    texts.change_content(url, [core.TextDocumentEditUtf8("c", rng), core.TextDocumentEditUtf8("x" + "\n", None)])
    with handle.lock() as td:
        assert (td.text, td.version) == ("x\n", 1)
    texts.change_content(url, [core.TextDocumentEditUtf8("yz", core.RangeUtf8(core.PositionUtf8(0, 0), core.PositionUtf8(0, 1)))])
    with handle.lock() as td:
        assert td.text == "yz\n"
    with pytest.raises(ValueError, match="already open"):
        texts.open(url, "sysml", "", 0)


@pytest.mark.parametrize("name", ["plain.sysml", "with space.sysml", "ünï €.kerml", "per%cent#hash?.sysml"])
def test_file_urls_round_trip(tmp_path, name):
    path = tmp_path / name
    url = core.make_file_url(path)
    assert str(url).startswith("file:///") and " " not in str(url)
    assert core.decode_path(url) == str(path)
    assert core.decode_path(core.Url("memory://sysml_model.sysml")) == "sysml_model.sysml"


def test_environments(tmp_path):
    default = _plovik.Environment.get_default()
    assert _plovik.Environment.get_default() is default
    first, second = default.index(), default.index()
    doc = default.documents[0]
    assert first.erase(doc) is True and second.exports(doc) is not None
    assert default.index().exports(doc) is not None
    empty = _plovik.Environment.from_stdlib_files([])
    assert empty.documents == [] and empty.lib.documents == []
    lib = tmp_path / "Units.sysml"
    lib.write_text("standard library package Units { attribute def Mass; }\n", encoding="utf-8")
    own = _plovik.Environment.from_stdlib_files(_plovik.collect_files_recursively(tmp_path))
    assert [d.document_tier for d in own.documents] == [core.DocumentTier.StandardLibrary]
    assert not own.diagnostics


def test_messages_match_the_reference_loader(tmp_path):
    paths = []
    for name, text in (("a.sysml", ENGINE), ("b.sysml", USER), ("c.sysml", BROKEN)):
        paths.append(tmp_path / name)
        paths[-1].write_text(text, encoding="utf-8")
    _, reference = _plovik.try_load_model(paths, stdlib_paths=[pathlib.Path(_plovik.__file__).parent / "stdlib"])
    result = build_files(_plovik.Environment.get_default(), paths)
    options = core.DiagnosticFormatOptions(colours=True, draw_tree=core.TreeDrawing.Unicode)
    built = _plovik.Diagnostics([], [], [])
    for handle, diags in zip(result.documents, result.diagnostics):
        with handle.lock() as d:
            with d.text_document.lock() as td:
                ctx = core.DiagnosticContext(source=td.text, filename=core.decode_path(d.url))
        for stage in ("parser", "sema", "validation"):
            for diag in getattr(diags, stage):
                start = diag.segment.range.start
                getattr(built, stage).append(
                    _plovik.DiagnosticMessage(
                        filename=ctx.filename, line=start.line + 1, col=start.character + 1, severity=diag.severity,
                        code=diag.code, message=diag.message, full_message=core.format_diagnostics([diag], ctx, options),
                    )
                )
    for stage in ("parser", "sema", "validation"):
        mine, theirs = getattr(built, stage), getattr(reference, stage)
        assert [(str(m), m.full_message) for m in mine] == [(str(m), m.full_message) for m in theirs]
    assert len(reference) == 2
    full = reference.sema[0].full_message
    assert "\x1b[31m" in full and "╭─[" in full and USER.rstrip("\n") in full and "^^^^^^^" in full
