"""Value classes with no model behaviour: positions, documents, names,
collections and the enumerations."""

from __future__ import annotations

import contextlib
import enum
import re
import threading
from typing import Callable, Iterable, Iterator


class FeatureDirectionKind(enum.Enum):
    In = "in"
    Inout = "inout"
    Out = "out"


class RequirementConstraintKind(enum.Enum):
    Assumption = "assume"
    Requirement = "require"


class DiagnosticSeverity(enum.Enum):
    Error = 1
    Warning = 2
    Information = 3
    Hint = 4


class DocumentTier(enum.Enum):
    StandardLibrary = 0
    External = 1
    Project = 2


class NameID(enum.Enum):
    Regular = 0
    Short = 1


Operator = enum.Enum(
    "Operator",
    [
        "If", "NullCoalescing", "Implies", "LogicalOr", "Or", "Xor", "LogicalAnd", "And", "Equals", "Same",
        "NotEquals", "NotSame", "IsType", "HasType", "At", "AtAt", "As", "Meta", "Less", "LessEqual", "Greater",
        "GreaterEqual", "Range", "Plus", "Minus", "Multiply", "Divide", "Modulo", "ExponentStar",
        "ExponentCaret", "Conjugation", "Not", "All", "Quantity", "Comma", "Dot", "Collect", "Index", "Select",
    ],
    module=__name__,
)


class PositionUtf8:
    __slots__ = ("line", "character")

    def __init__(self, line: int, character: int):
        self.line = line
        self.character = character

    def __eq__(self, other):
        return isinstance(other, PositionUtf8) and (self.line, self.character) == (other.line, other.character)

    def __hash__(self):
        return hash((self.line, self.character))

    def __repr__(self):
        return f"PositionUtf8({self.line}, {self.character})"


class RangeUtf8:
    __slots__ = ("start", "end")

    def __init__(self, start: PositionUtf8, end: PositionUtf8):
        self.start = start
        self.end = end

    def __repr__(self):
        return f"RangeUtf8({self.start!r}, {self.end!r})"


def token_range(tok) -> RangeUtf8:
    return RangeUtf8(PositionUtf8(tok.line, tok.col), PositionUtf8(tok.end_line, tok.end_col))


class CstNode:
    """The source span of one declaration, with the spans of its named
    fields (`declared_name`, `declared_short_name`)."""

    __slots__ = ("start_point", "end_point", "fields")

    def __init__(self, start_point: PositionUtf8, end_point: PositionUtf8, fields: dict[str, list[RangeUtf8]]):
        self.start_point = start_point
        self.end_point = end_point
        self.fields = fields


class DocumentSegment:
    __slots__ = ("range",)

    def __init__(self, range: RangeUtf8):
        self.range = range

    @classmethod
    def from_node_field(cls, node, field: str, index: int) -> "DocumentSegment | None":
        cst = node if isinstance(node, CstNode) else getattr(node, "cst_node", None)
        if cst is None:
            return None
        ranges = cst.fields.get(field, [])
        if not -len(ranges) <= index < len(ranges):
            return None
        return cls(ranges[index])


class _Text:
    """A value that is its text."""

    __slots__ = ("_text",)

    def __init__(self, text: str):
        self._text = str(text)

    def __str__(self):
        return self._text

    def __repr__(self):
        return f"{type(self).__name__}({self._text!r})"

    def __eq__(self, other):
        return type(other) is type(self) and other._text == self._text

    def __hash__(self):
        return hash(self._text)


class Url(_Text):
    __slots__ = ()


class BuildState(enum.Enum):
    Changed = 0
    Built = 1


class Document:
    """One loaded text: its address, its tier and its root namespace."""

    def __init__(self, url: Url, document_tier: DocumentTier, text: str = ""):
        self.url = url
        self.document_tier = document_tier
        self.text = text
        self.root = None  # the document's root Namespace, set by the loader
        self.is_environment = document_tier is DocumentTier.StandardLibrary
        self.language = "sysml"
        self.text_document = None  # a text handle, for documents built by a pipeline
        self.build_state = BuildState.Changed

    @staticmethod
    def create_st(options) -> "Handle":
        """A handle to a document without content; a pipeline parses its
        text document when it is scheduled as changed."""
        doc = Document(Url(str(options.url)), options.tier, "")
        doc.language = options.language
        return Handle(doc)

    def __repr__(self):
        return f"Document({str(self.url)!r})"


class Stdlib:
    """The environment documents of a model, handed back to evaluation."""

    def __init__(self, documents: list[Document]):
        self.documents = documents


_PLAIN_NAME = re.compile(r"[A-Za-z_][A-Za-z0-9_]*\Z")
_QUOTE_ESCAPES = {"'": "\\'", "\\": "\\\\", "\n": "\\n", "\t": "\\t", "\r": "\\r", "\b": "\\b", "\f": "\\f"}


def render_name_segment(segment: str) -> str:
    """A name as written in text: plain, or single-quoted with escapes."""
    if _PLAIN_NAME.match(segment):
        return segment
    return "'" + "".join(_QUOTE_ESCAPES.get(c, c) for c in segment) + "'"


class QualifiedName:
    __slots__ = ("segments",)

    def __init__(self, segments: Iterable[str]):
        self.segments = list(segments)

    def __str__(self):
        return "::".join(render_name_segment(s) for s in self.segments)

    def __repr__(self):
        return f"QualifiedName({self.segments!r})"

    def __eq__(self, other):
        return isinstance(other, QualifiedName) and other.segments == self.segments

    def __hash__(self):
        return hash(tuple(self.segments))

    def __iter__(self):
        return iter(self.segments)

    def __len__(self):
        return len(self.segments)


class Path(_Text):
    """The unique textual address of an element within its model."""

    __slots__ = ()


class ContainerView:
    """A read-only sequence of items."""

    __slots__ = ("_items",)

    def __init__(self, items: Iterable):
        self._items = list(items)

    def __iter__(self) -> Iterator:
        return iter(self._items)

    def __len__(self):
        return len(self._items)

    def __getitem__(self, i):
        return self._items[i]

    def __bool__(self):
        return bool(self._items)


class LazyIterator:
    """Items computed when first iterated or collected."""

    __slots__ = ("_make", "_items")

    def __init__(self, make: Callable[[], Iterable]):
        self._make = make
        self._items = None

    def collect(self) -> list:
        if self._items is None:
            self._items = list(self._make())
        return list(self._items)

    def __iter__(self):
        return iter(self.collect())


class LazyImportsIterator(LazyIterator):
    __slots__ = ()


class ArgumentsAccessor(LazyIterator):
    __slots__ = ()


class Diagnostic:
    """One message of a compilation report."""

    def __init__(self, message: str, severity=DiagnosticSeverity.Error, code: str = "", segment=None):
        self.message = message
        self.severity = severity
        self.code = code
        self.segment = segment

    def __str__(self):
        return f"{self.severity.name.lower()}: {self.message}"


class CompilationReport:
    def __init__(self, diagnostics=(), fatal: bool = False):
        self.diagnostics = ContainerView(diagnostics)
        self.fatal = fatal


class Handle:
    """Shared access to a document or text document: `lock()` yields it."""

    __slots__ = ("_value", "_lock")

    def __init__(self, value):
        self._value = value
        self._lock = threading.RLock()

    @contextlib.contextmanager
    def lock(self):
        with self._lock:
            yield self._value


def unwrap(x):
    """The document behind a handle, or `x` itself."""
    return x._value if isinstance(x, Handle) else x
