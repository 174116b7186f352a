"""Incremental builds: text documents, model documents behind locked
handles, the static index of exported names, environments (the standard
library), and the pipeline that parses changed documents and re-resolves
the others.

A schedule names the changed documents (parsed again from their text) and
the invalidated ones (kept, with every resolved reference forgotten); the
two lists must be disjoint. Names at the top level of documents are found
through the static index: a document's exports enter the index when it is
parsed and the index holds none for it, and stay there until `erase`, so a
document must be erased before its text changes."""

from __future__ import annotations

import enum
import os
import pathlib
import urllib.parse
import urllib.request
from builtins import isinstance as is_a

from . import _elements as E
from . import _sema
from ._base import BuildState, DocumentTier, Handle, PositionUtf8, Stdlib, Url, unwrap  # noqa: F401
from ._loading import Source, collect_files_recursively, load_sources, parse_document, sema_diagnostics, walk

STDLIB_DIR = pathlib.Path(__file__).parent / "stdlib"


class ValidationTiming(enum.Enum):
    Manual = 0
    Automatic = 1


def make_file_url(path) -> Url:
    return Url(pathlib.Path(os.path.abspath(path)).as_uri())


def decode_path(url) -> str:
    """The file name of a `file:` URL; for another scheme, the URL without it."""
    parts = urllib.parse.urlsplit(str(url))
    if parts.scheme == "file":
        return urllib.request.url2pathname(parts.path)
    return parts.netloc + urllib.parse.unquote(parts.path)


# --- texts ------------------------------------------------------------------------------


class TextDocumentEditUtf8:
    """Replaces `range` (a `RangeUtf8`; None: the whole text) by `text`."""

    def __init__(self, text, range=None):
        self.text = text
        self.range = range


class TextDocument:
    def __init__(self, url, language, text, version):
        self.url = url
        self.language = language
        self.text = text
        self.version = version


def _offset(text, pos: PositionUtf8) -> int:
    lines = text.split("\n")
    if not 0 <= pos.line < len(lines) + 1:
        raise ValueError(f"position {pos!r} is outside the text")
    before = sum(len(line) + 1 for line in lines[: pos.line])
    return before + min(pos.character, len(lines[pos.line]) if pos.line < len(lines) else 0)


class TextDocuments:
    """The open texts, by URL."""

    def __init__(self):
        self._open = {}

    @classmethod
    def create_st(cls):
        return cls()

    def open(self, url, language, text, version):
        key = str(url)
        if key in self._open:
            raise ValueError(f"text already open: {key}")
        handle = Handle(TextDocument(Url(key), language, text, version))
        self._open[key] = handle
        return handle

    def change_content(self, url, edits):
        handle = self._get(url)
        with handle.lock() as td:
            for edit in edits:
                if edit.range is None:
                    td.text = edit.text
                else:
                    a, b = _offset(td.text, edit.range.start), _offset(td.text, edit.range.end)
                    td.text = td.text[:a] + edit.text + td.text[b:]
            td.version += 1
        return handle

    def close(self, url):
        self._get(url)
        del self._open[str(url)]

    def get(self, url):
        return self._open.get(str(url))

    def _get(self, url):
        handle = self._open.get(str(url))
        if handle is None:
            raise KeyError(f"text not open: {url}")
        return handle


class DocumentOptions:
    def __init__(self, url, language="sysml", tier=DocumentTier.Project):
        self.url = url
        self.language = language
        self.tier = tier


# --- the static index ----------------------------------------------------------------------


class StaticIndex:
    """Top-level names exported by each document, in insertion order."""

    def __init__(self, exports=None):
        self._exports = dict(exports or {})  # URL text -> (document, {name: [elements]})
        self.generation = 0

    def clone(self) -> "StaticIndex":
        return StaticIndex(self._exports)

    def insert(self, doc) -> bool:
        """Collects the exports of `doc`, unless some are still collected."""
        key = str(doc.url)
        if key in self._exports:
            return False
        self._exports[key] = (doc, {n: list(m) for n, m in _sema.names_of(doc.root).items()})
        self.generation += 1
        return True

    def erase(self, document) -> bool:
        """Removes the exports currently collected for the document."""
        removed = self._exports.pop(str(unwrap(document).url), None) is not None
        if removed:
            self.generation += 1
        return removed

    def exports(self, document):
        entry = self._exports.get(str(unwrap(document).url))
        return None if entry is None else entry[1]

    def names(self):
        table = {}
        for _, names in self._exports.values():
            for name, members in names.items():
                table.setdefault(name, []).extend(members)
        return table


class IndexedWorld(_sema.World):
    """A world whose top-level names come from a static index."""

    def __init__(self, index):
        super().__init__()
        self.index = index
        self._index_gen = -1

    def stamp(self):
        return (self.generation, self.index.generation)

    def global_names(self):
        if self._global_gen != self.generation or self._index_gen != self.index.generation:
            self._global = self.index.names()
            self._global_gen = self.generation
            self._index_gen = self.index.generation
        return self._global


# --- environments -------------------------------------------------------------------------


class Environment:
    """Library documents (tier StandardLibrary) with their static index."""

    _default = None

    def __init__(self, documents):
        self.documents = list(documents)
        self.lib = Stdlib(self.documents)
        self._index = StaticIndex()
        for doc in self.documents:
            self._index.insert(doc)

    @classmethod
    def from_stdlib_files(cls, files):
        sources = []
        for f in files:
            f = pathlib.Path(f)
            text = f.read_text(encoding="utf-8", errors="replace")
            sources.append(Source(f.resolve().as_uri(), text, DocumentTier.StandardLibrary, True, str(f)))
        model, diags = load_sources(sources)
        env = cls(model.documents)
        env.diagnostics = diags
        return env

    @classmethod
    def get_default(cls):
        """The bundled standard library, loaded once per process."""
        if cls._default is None:
            cls._default = cls.from_stdlib_files(collect_files_recursively(STDLIB_DIR))
        return cls._default

    def index(self) -> StaticIndex:
        return self._index.clone()


# --- pipeline and executor ------------------------------------------------------------------


class PipelineOptions:
    def __init__(self, static_index=None, lib=None):
        self.static_index = static_index
        self.lib = lib


class ScheduleOptions:
    def __init__(self, validation_timing=ValidationTiming.Manual, attach_comments=False):
        self.validation_timing = validation_timing
        self.attach_comments = attach_comments


class DocumentDiagnostics:
    """What one build found in one document, by stage."""

    def __init__(self, parser=(), sema=(), validation=()):
        self.parser = list(parser)
        self.sema = list(sema)
        self.validation = list(validation)

    @property
    def empty(self) -> bool:
        return not (self.parser or self.sema or self.validation)


class ExecutionResult:
    """True when the build succeeded; `documents` and `diagnostics` are parallel."""

    def __init__(self, documents=(), diagnostics=(), error=None, world=None):
        self.documents = list(documents)
        self.diagnostics = list(diagnostics)
        self.error = error
        self.world = world

    def __bool__(self):
        return self.error is None

    def rethrow_exception(self):
        if self.error is not None:
            raise self.error


class Schedule:
    def __init__(self, pipeline, documents, options, invalidated):
        self.pipeline = pipeline
        self.documents = list(documents)
        self.options = options
        self.invalidated = list(invalidated)


def _forget_resolution(doc):
    """Drops every resolved reference of a document so that it is resolved again."""
    for e in walk(doc.root, []):
        if is_a(e, E.Relationship) and e._ref is not None:
            e._target = None


class Pipeline:
    def __init__(self, options):
        self.index = options.static_index if options.static_index is not None else StaticIndex()
        self.lib = options.lib if options.lib is not None else Stdlib([])
        self.world = IndexedWorld(self.index)

    def schedule(self, documents, options=None, invalidated=()):
        changed = {id(unwrap(d)) for d in documents}
        both = [str(unwrap(d).url) for d in invalidated if id(unwrap(d)) in changed]
        if both:
            raise ValueError(f"documents both changed and invalidated: {both}")
        return Schedule(self, documents, options or ScheduleOptions(), invalidated)

    def execute(self, schedule):
        world = self.world
        parsed = {}
        for handle in schedule.documents:
            with handle.lock() as doc:
                if doc.text_document is None:
                    raise ValueError(f"document has no text: {doc.url}")
                with doc.text_document.lock() as td:
                    text = td.text
                doc.world = world
                doc.is_environment = False
                parsed[id(doc)] = parse_document(doc, text)
                self.index.insert(doc)
                doc.build_state = BuildState.Built
        for handle in schedule.invalidated:
            with handle.lock() as doc:
                if doc.root is None:
                    raise ValueError(f"document was never built: {doc.url}")
                _forget_resolution(doc)
        handles = list(schedule.documents) + list(schedule.invalidated)
        known = {id(unwrap(h)) for h in handles}
        world.documents = [d for d in world.documents if id(d) not in known] + [unwrap(h) for h in handles]
        world.changed()
        results = []
        for handle in handles:
            with handle.lock() as doc:
                results.append(DocumentDiagnostics(parsed.get(id(doc), ()), sema_diagnostics(doc)))
        return ExecutionResult(handles, results, world=world)


def make_pipeline(options) -> Pipeline:
    return Pipeline(options)


class Executor:
    def run(self, schedule) -> ExecutionResult:
        try:
            return schedule.pipeline.execute(schedule)
        except Exception as err:  # a failed build is a false result, raised again by the caller
            return ExecutionResult(error=err)


_EXECUTOR = Executor()


def get_default_executor() -> Executor:
    return _EXECUTOR
