"""Diagnostics of a load: three lists, by the stage that found them."""

from __future__ import annotations

import enum

from ._base import DiagnosticSeverity


class DiagnosticMessage:
    """One message; `line` and `col` count from 1."""

    def __init__(self, filename="", line=0, col=0, severity=DiagnosticSeverity.Error, code="", message="", full_message=None):
        self.filename = filename
        self.line = line
        self.col = col
        self.severity = severity
        self.code = code
        self.message = message
        self.full_message = message if full_message is None else full_message

    def __str__(self):
        return f"{self.filename}:{self.line}:{self.col}: {self.severity.name.lower()}[{self.code}]: {self.message}"

    __repr__ = __str__


class Diagnostics:
    def __init__(self, parser=None, sema=None, validation=None):
        self.parser = list(parser or [])
        self.sema = list(sema or [])
        self.validation = list(validation or [])

    def __iter__(self):
        return iter(self.parser + self.sema + self.validation)

    def __len__(self):
        return len(self.parser) + len(self.sema) + len(self.validation)

    def __bool__(self):
        return len(self) > 0

    def __str__(self):
        return "\n".join(str(d) for d in self)


class TreeDrawing(enum.Enum):
    Ascii = 0
    Unicode = 1


class DiagnosticFormatOptions:
    def __init__(self, colours=False, draw_tree=TreeDrawing.Unicode):
        self.colours = colours
        self.draw_tree = draw_tree


class DiagnosticContext:
    """The text and file name a diagnostic's positions refer to."""

    def __init__(self, source="", filename=""):
        self.source = source
        self.filename = filename


_COLOURS = {
    DiagnosticSeverity.Error: "\x1b[31m",
    DiagnosticSeverity.Warning: "\x1b[33m",
    DiagnosticSeverity.Information: "\x1b[34m",
    DiagnosticSeverity.Hint: "\x1b[36m",
}
_RESET = "\x1b[0m"
# corner, rail, underline
_TREE = {TreeDrawing.Unicode: ("╭─", "│", "^"), TreeDrawing.Ascii: (",-", "|", "^")}


def _format_one(d, ctx, opts) -> str:
    label = f"{d.severity.name.lower()}[{d.code}]" if d.code else d.severity.name.lower()
    if opts.colours:
        label = f"{_COLOURS[d.severity]}{label}{_RESET}"
    corner, rail, mark = _TREE[opts.draw_tree]
    start = d.segment.range.start if d.segment is not None else None
    if start is None:
        return f"{label}: {d.message}\n {corner}[{ctx.filename}]"
    lines = ctx.source.split("\n")
    text = lines[start.line] if 0 <= start.line < len(lines) else ""
    end = d.segment.range.end
    width = max(1, (end.character if end.line == start.line else len(text)) - start.character)
    return "\n".join(
        [
            f"{label}: {d.message}",
            f" {corner}[{ctx.filename}:{start.line + 1}:{start.character + 1}]",
            f" {rail} {text}",
            f" {rail} {' ' * start.character}{mark * width}",
        ]
    )


def format_diagnostics(diagnostics, context, options) -> str:
    """Each diagnostic with its source line and a mark under its span."""
    return "\n".join(_format_one(d, context, options) for d in diagnostics)


def message_of(diagnostic, context, options=None) -> DiagnosticMessage:
    """A diagnostic as a message: 1-based position, formatted in full."""
    options = options or DiagnosticFormatOptions(colours=True, draw_tree=TreeDrawing.Unicode)
    start = diagnostic.segment.range.start if diagnostic.segment is not None else None
    return DiagnosticMessage(
        filename=context.filename,
        line=start.line + 1 if start else 0,
        col=start.character + 1 if start else 0,
        severity=diagnostic.severity,
        code=diagnostic.code,
        message=diagnostic.message,
        full_message=format_diagnostics([diagnostic], context, options),
    )
