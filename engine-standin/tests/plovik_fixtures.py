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
