"""Fixtures and helpers of the engine stand-in's tests, imported by each test
module (a `conftest.py` here would shadow the one of the bindings' tests)."""

import textwrap

import pytest

import _plovik


@pytest.fixture
def load(tmp_path):
    """Writes texts to files and loads them: `load("text")` or
    `load({"a.sysml": "...", ...})`; returns (model, diagnostics)."""

    def _load(texts, **kwargs):
        if isinstance(texts, str):
            texts = {"model.sysml": texts}
        paths = []
        for name, text in texts.items():
            p = tmp_path / name
            p.parent.mkdir(parents=True, exist_ok=True)
            p.write_text(textwrap.dedent(text), encoding="utf-8")
            paths.append(p)
        return _plovik.try_load_model(paths, **kwargs)

    return _load


def by_qname(model, text, cls=None):
    """The one element whose qualified name renders as `text`."""
    found = [e for e in model.nodes(cls or _plovik.Element) if e.qualified_name is not None and str(e.qualified_name) == text]
    assert len(found) == 1, (text, found)
    return found[0]


def build_files(environment, paths):
    """Builds files as project documents against an environment through the
    pipeline; gives the execution result."""
    from _plovik import core

    pipeline = core.make_pipeline(core.PipelineOptions(static_index=environment.index(), lib=environment.lib))
    texts = core.TextDocuments.create_st()
    docs = []
    for p in paths:
        url = core.make_file_url(p)
        doc = core.Document.create_st(core.DocumentOptions(url=url, language="sysml", tier=core.DocumentTier.Project))
        with doc.lock() as d:
            d.text_document = texts.open(url, "sysml", p.read_text(encoding="utf-8"), 0)
        docs.append(doc)
    return _plovik.get_default_executor().run(pipeline.schedule(docs, core.ScheduleOptions(), []))
