"""A SysML v2 engine: loads textual models into an object model."""

from . import core  # noqa: F401
from ._diagnostics import DiagnosticMessage, Diagnostics  # noqa: F401
from ._loading import DocumentKind, Model, collect_files_recursively, try_load_model  # noqa: F401
from ._pipeline import Environment, get_default_executor  # noqa: F401
from .core import *  # noqa: F401,F403
