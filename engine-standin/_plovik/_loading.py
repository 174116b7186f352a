"""Loading texts into a model, and the model's queries."""

from __future__ import annotations

import enum
import os
import pathlib
import uuid
from builtins import isinstance as is_a

from . import _elements as E
from . import _sema
from ._base import DiagnosticSeverity, Document, DocumentTier, Stdlib, Url
from ._diagnostics import DiagnosticMessage, Diagnostics
from ._parser import Parser

SUFFIXES = (".sysml", ".kerml")


class DocumentKind(enum.Enum):
    MODEL = 0  # the documents loaded as the model (not the environment)
    ENVIRONMENT = 1  # the environment's documents (the libraries)
    ALL = 2
    USER = 3  # documents of tier Project
    STDLIB = 4  # documents of tier StandardLibrary


def _considered(doc, kind) -> bool:
    if kind is DocumentKind.ALL:
        return True
    if kind is DocumentKind.MODEL:
        return not doc.is_environment
    if kind is DocumentKind.ENVIRONMENT:
        return doc.is_environment
    if kind is DocumentKind.USER:
        return doc.document_tier is DocumentTier.Project
    if kind is DocumentKind.STDLIB:
        return doc.document_tier is DocumentTier.StandardLibrary
    raise ValueError(f"not a DocumentKind: {kind!r}")


def walk(e, out):
    """`e` and everything it owns, depth first in text order."""
    stack = [e]
    while stack:
        x = stack.pop()
        out.append(x)
        kids = []
        for r in x._rels:
            kids.append(r)
            if r._member is not None:
                kids.append(r._member)
        stack.extend(reversed(kids))
    return out


class Model:
    def __init__(self, exec_result=None, environment=None, documents=None, lib=None, index=None):
        self.documents = list(documents or [])
        self.environment = environment
        self.lib = lib if lib is not None else Stdlib([d for d in self.documents if d.is_environment])
        self.index = index
        self._world = self.documents[0].world if self.documents else _sema.World()
        self._nodes = None
        self._nodes_gen = -1

    def _all_nodes(self):
        if self._nodes_gen != self._world.generation:
            self._nodes = [(d, walk(d.root, [])) for d in self.documents]
            self._nodes_gen = self._world.generation
        return self._nodes

    def nodes(self, cls, include_subtypes=True, considered_document_kinds=DocumentKind.ALL):
        out = []
        for doc, elems in self._all_nodes():
            if not _considered(doc, considered_document_kinds):
                continue
            if include_subtypes:
                out.extend(e for e in elems if is_a(e, cls))
            else:
                out.extend(e for e in elems if type(e) is cls)
        return out


class Source:
    """One text to load: its address, text, tier, and whether it belongs
    to the environment."""

    __slots__ = ("url", "text", "tier", "is_environment", "filename")

    def __init__(self, url, text, tier=DocumentTier.Project, is_environment=False, filename=None):
        self.url = url
        self.text = text
        self.tier = tier
        self.is_environment = is_environment
        self.filename = filename if filename is not None else url


def _message(filename, line, col, code, text, severity=DiagnosticSeverity.Error):
    return DiagnosticMessage(filename=filename, line=line + 1, col=col + 1, severity=severity, code=code, message=text)


def load_sources(sources: list[Source]) -> tuple[Model, Diagnostics]:
    world = _sema.World()
    diags = Diagnostics()
    docs = []
    for src in sources:
        doc = Document(Url(src.url), src.tier, src.text)
        doc.is_environment = src.is_environment
        doc.world = world
        doc.filename = src.filename
        root = E.Namespace()
        root._doc = doc
        doc.root = root

        def report(tok, text, filename=src.filename):
            diags.parser.append(_message(filename, tok.line, tok.col, "syntax", text))

        Parser(src.text, doc, report).parse_into(root)
        docs.append(doc)
    world.documents = docs
    model = Model(documents=docs)
    for doc, elems in model._all_nodes():
        base = str(doc.url)
        for i, e in enumerate(elems):
            e._id = uuid.uuid5(uuid.NAMESPACE_URL, f"{base}#{i}")
    _check(model, diags)
    return model, diags


def _check(model, diags):
    for doc, elems in model._all_nodes():
        for rel in _sema.unresolved_refs(elems):
            tok = rel._ref.tokens[0]
            diags.sema.append(
                _message(doc.filename, tok.line, tok.col, "unresolved-name", f"cannot resolve '{rel._ref.text()}'")
            )
        for e in elems:
            if not is_a(e, E.Namespace):
                continue
            for name, members in _sema.names_of(e).items():
                for dup in members[1:]:
                    if dup is members[0]:
                        continue
                    rng = dup._cst.fields.get("declared_name") if dup._cst is not None else None
                    line, col = (rng[0].start.line, rng[0].start.character) if rng else (0, 0)
                    diags.sema.append(
                        _message(doc.filename, line, col, "duplicate-name", f"duplicate member name '{name}'")
                    )


def collect_files_recursively(directory) -> list[pathlib.Path]:
    out = []
    for dirpath, dirnames, filenames in os.walk(directory):
        dirnames.sort()
        for f in sorted(filenames):
            if f.endswith(SUFFIXES):
                out.append(pathlib.Path(dirpath) / f)
    return out


def _file_sources(paths, tier, is_environment):
    out = []
    for p in paths:
        p = pathlib.Path(p)
        files = collect_files_recursively(p) if p.is_dir() else [p]
        for f in files:
            text = f.read_text(encoding="utf-8", errors="replace")
            out.append(Source(f.resolve().as_uri(), text, tier, is_environment, str(f)))
    return out


def try_load_model(paths, stdlib_paths=(), external_paths=()) -> tuple[Model, Diagnostics]:
    """Loads files (directories are searched for `.sysml` and `.kerml`
    files): `stdlib_paths` as the standard library, `external_paths` as
    other libraries, `paths` as the model."""
    sources = (
        _file_sources(stdlib_paths, DocumentTier.StandardLibrary, True)
        + _file_sources(external_paths, DocumentTier.External, True)
        + _file_sources(paths, DocumentTier.Project, False)
    )
    return load_sources(sources)
