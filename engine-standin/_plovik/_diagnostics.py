"""Diagnostics of a load: three lists, by the stage that found them."""

from __future__ import annotations

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
