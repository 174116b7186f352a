"""The model's classes, value types and enumerations."""

from ._base import (  # noqa: F401
    ArgumentsAccessor,
    CompilationReport,
    ContainerView,
    CstNode,
    Diagnostic,
    DiagnosticSeverity,
    Document,
    Handle,
    DocumentSegment,
    DocumentTier,
    FeatureDirectionKind,
    LazyImportsIterator,
    LazyIterator,
    NameID,
    Operator,
    Path,
    PositionUtf8,
    QualifiedName,
    RangeUtf8,
    RequirementConstraintKind,
    Stdlib,
    Url,
)
from ._elements import *  # noqa: F401,F403
from ._elements import AstNode, Element  # noqa: F401
from ._eval import Compiler, Quantity, QuantityRefused  # noqa: F401
from ._diagnostics import (  # noqa: F401
    DiagnosticContext,
    DiagnosticFormatOptions,
    TreeDrawing,
    format_diagnostics,
)
from ._pipeline import (  # noqa: F401
    BuildState,
    DocumentOptions,
    Environment,
    ExecutionResult,
    PipelineOptions,
    ScheduleOptions,
    StaticIndex,
    TextDocumentEditUtf8,
    TextDocuments,
    ValidationTiming,
    decode_path,
    make_file_url,
    make_pipeline,
)
