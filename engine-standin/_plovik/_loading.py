"""Loading texts into a model, and the model's queries."""

from __future__ import annotations

import enum
import os
import pathlib
from builtins import isinstance as is_a

from . import _elements as E
from . import _sema
from ._base import (
    Diagnostic,
    DiagnosticSeverity,
    Document,
    DocumentSegment,
    DocumentTier,
    PositionUtf8,
    RangeUtf8,
    Stdlib,
    Url,
    token_range,
    unwrap,
)
from ._diagnostics import DiagnosticContext, Diagnostics, message_of
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
    """The documents of one load or build: the environment's documents
    first, then the model's (document handles are accepted)."""

    def __init__(self, exec_result=None, environment=None, documents=None, lib=None, index=None):
        own = [unwrap(d) for d in documents or []]
        env = list(environment.documents) if environment is not None else []
        self.documents = env + [d for d in own if all(d is not e for e in env)]
        self.environment = environment
        self.lib = lib if lib is not None else Stdlib([d for d in self.documents if d.is_environment])
        self.index = index
        world = getattr(exec_result, "world", None)
        if world is None:
            world = own[0].world if own else (self.documents[0].world if self.documents else _sema.World())
        self._world = world
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


def _diagnostic(rng, code, text, severity=DiagnosticSeverity.Error):
    return Diagnostic(text, severity, code, DocumentSegment(rng))


def parse_document(doc, text) -> list:
    """Parses `text` into a new root of `doc` and numbers its elements;
    gives the syntax diagnostics."""
    root = E.Namespace()
    root._doc = doc
    doc.root = root
    doc.text = text
    found = []
    Parser(text, doc, lambda tok, message: found.append(_diagnostic(token_range(tok), "syntax", message))).parse_into(root)
    base = str(doc.url)
    for i, e in enumerate(walk(root, [])):
        e._id = (base, i)  # made a UUID when first asked for
    return found


def sema_diagnostics(doc) -> list:
    """Unresolved references and duplicate member names of one document."""
    out = []
    elems = walk(doc.root, [])
    for rel in _sema.unresolved_refs(elems):
        tok = rel._ref.tokens[0]
        out.append(_diagnostic(token_range(tok), "unresolved-name", f"cannot resolve '{rel._ref.text()}'"))
    for e in elems:
        if not is_a(e, E.Namespace):
            continue
        for name, members in _sema.names_of(e).items():
            for dup in members[1:]:
                if dup is members[0]:
                    continue
                rng = dup._cst.fields.get("declared_name") if dup._cst is not None else None
                at = rng[0] if rng else RangeUtf8(PositionUtf8(0, 0), PositionUtf8(0, 0))
                out.append(_diagnostic(at, "duplicate-name", f"duplicate member name '{name}'"))
    return out


def load_sources(sources: list[Source]) -> tuple[Model, Diagnostics]:
    world = _sema.World()
    diags = Diagnostics()
    docs = []
    contexts = []
    for src in sources:
        doc = Document(Url(src.url), src.tier, src.text)
        doc.is_environment = src.is_environment
        doc.world = world
        doc.filename = src.filename
        ctx = DiagnosticContext(source=src.text, filename=src.filename)
        diags.parser.extend(message_of(d, ctx) for d in parse_document(doc, src.text))
        docs.append(doc)
        contexts.append(ctx)
    world.documents = docs
    for doc, ctx in zip(docs, contexts):
        diags.sema.extend(message_of(d, ctx) for d in sema_diagnostics(doc))
    return Model(documents=docs), diags


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
