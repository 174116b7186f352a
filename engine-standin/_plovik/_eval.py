"""Evaluation of expressions and view filters.

Values: `str`, `int`, `float`, `bool`, `list` (a sequence), an `Element`
(an enumeration literal is its `EnumerationUsage`), a `Quantity` (only when
asked for), or None (no value). A failure gives the value None (False for a
filter) with a fatal report; a quantity without `experimental_quantities`
raises `QuantityRefused`."""

from __future__ import annotations

import operator as op
from builtins import isinstance as is_a

from . import _elements as E
from . import _sema
from ._base import CompilationReport, Diagnostic, Operator


class QuantityRefused(ValueError):
    """A value with a unit met while quantities are not enabled."""


class Quantity:
    """A number with a unit, `5 [kg]`."""

    __slots__ = ("value", "unit")

    def __init__(self, value, unit: str):
        self.value = value
        self.unit = unit

    def __str__(self):
        return f"{self.value} [{self.unit}]"

    __repr__ = __str__

    def __eq__(self, other):
        return is_a(other, Quantity) and (self.value, self.unit) == (other.value, other.unit)

    def __hash__(self):
        return hash((self.value, self.unit))


class _Failed(Exception):
    """Ends an evaluation with a fatal report."""


# The package whose members name the model's element classes (`hastype SysML::PartUsage`).
METACLASS_PACKAGE = "SysML"

_ARITHMETIC = {
    Operator.Minus: op.sub,
    Operator.Multiply: op.mul,
    Operator.Divide: op.truediv,
    Operator.Modulo: op.mod,
    Operator.ExponentStar: op.pow,
    Operator.ExponentCaret: op.pow,
}
_ORDER = {Operator.Less: op.lt, Operator.LessEqual: op.le, Operator.Greater: op.gt, Operator.GreaterEqual: op.ge}
_LOGIC = {
    Operator.Xor: op.xor,
    Operator.LogicalAnd: op.and_,
    Operator.LogicalOr: op.or_,
}
_CLASSIFICATION = (Operator.HasType, Operator.IsType, Operator.At, Operator.AtAt)
_LITERALS = (E.LiteralInteger, E.LiteralRational, E.LiteralString, E.LiteralBoolean)


def _is_number(v) -> bool:
    return is_a(v, (int, float)) and not is_a(v, bool)


def _values_equal(a, b) -> bool:
    if is_a(a, E.Element) or is_a(b, E.Element):
        return a is b
    if is_a(a, bool) != is_a(b, bool):
        return False
    return a == b


def _metaclass_name(t):
    """The class name a member of the metaclass package stands for, else None."""
    owner = t._owner
    while owner is not None:
        if is_a(owner, E.Package) and owner.declared_name == METACLASS_PACKAGE and owner._owner is not None and owner._owner._owner is None:
            return t.declared_name
        owner = owner._owner
    return None


def _specializes(t, general, depth=0) -> bool:
    if t is general:
        return True
    if depth > _sema.MAX_INHERITANCE or not is_a(t, E.Type):
        return False
    return any(_specializes(g, general, depth + 1) for g in _sema.generals(t))


def _metadata_of(e):
    """The metadata usages owned by an element (prefixes and `@M;` members)."""
    return [m for m in E._member_elements(e) if is_a(m, E.MetadataUsage)] if is_a(e, E.Element) else []


def classify(kind, value, t) -> bool:
    """`value hastype t`, `istype t`, `@ t` (also `@@`)."""
    if not is_a(value, E.Element):
        return False
    meta = _metaclass_name(t)
    if meta is not None:
        names = [type(value).__name__] if kind is Operator.HasType else [c.__name__ for c in type(value).__mro__]
        return meta in names
    if kind in (Operator.At, Operator.AtAt):
        return any(d is not None and _specializes(d, t) for d in (m.metadata_definition for m in _metadata_of(value)))
    if is_a(value, E.Feature):
        types = _sema.feature_types(value)
    else:
        types = [value]
    if kind is Operator.HasType:
        return any(x is t for x in types)
    return any(_specializes(x, t) for x in types)


class _Run:
    """One evaluation: its limits, its target and what it found."""

    def __init__(self, compiler, target, quantities):
        self.max_steps = compiler.max_steps
        self.max_depth = compiler.max_depth
        self.steps = 0
        self.depth = 0
        self.target = target
        self.quantities = quantities

    def fail(self, message):
        raise _Failed(message)

    def value(self, e):
        self.steps += 1
        if self.steps > self.max_steps:
            self.fail(f"evaluation takes more than {self.max_steps} steps")
        self.depth += 1
        try:
            if self.depth > self.max_depth:
                self.fail(f"evaluation nests deeper than {self.max_depth} levels")
            return self._value(e)
        finally:
            self.depth -= 1

    def _value(self, e):
        if is_a(e, _LITERALS):
            return e.value
        if is_a(e, (E.NullExpression, E.LiteralInfinity)):
            return None
        if is_a(e, E.OperatorExpression):
            return self.operation(e.operator, e._args)
        if is_a(e, E.FeatureReferenceExpression):
            r = e.referent
            if r is None:
                ref = e._refrel._ref
                self.fail(f"cannot resolve '{ref.text() if ref is not None else '?'}'")
            return self.element_value(r)
        if is_a(e, E.InvocationExpression):
            t = e.instantiated_type
            self.fail(f"cannot evaluate a call of '{t.name if t is not None else '?'}'")
        if is_a(e, E.Feature):
            return self.element_value(e)
        self.fail(f"not an expression: {e}")

    def element_value(self, r):
        """What a reference to `r` evaluates to: the value of a valued
        attribute or reference, else the element itself."""
        if is_a(r, E.Feature) and r._chaining:
            r = r.feature_target
        if is_a(r, (E.AttributeUsage, E.ReferenceUsage)) and not is_a(r, E.EnumerationUsage):
            v = r.feature_value_expression
            if v is not None:
                return self.value(v)
        return r

    def operand(self, arg):
        return self.value(arg)

    def operation(self, kind, args):
        n = len(args)
        if kind is Operator.Comma:
            out = []
            for a in args:
                v = self.operand(a)
                if is_a(v, list):
                    out.extend(v)
                elif v is not None:
                    out.append(v)
            return out
        if kind in _CLASSIFICATION:
            value = self.target if n == 1 else self.operand(args[0])
            t = args[-1].referent if is_a(args[-1], E.FeatureReferenceExpression) else None
            if t is None:
                self.fail("a classification needs a type")
            return classify(kind, value, t)
        if kind is Operator.Quantity:
            v = self.operand(args[0])
            unit = args[1]
            if not self.quantities:
                raise QuantityRefused("a value with a unit needs experimental_quantities=True")
            name = unit.referent.name if is_a(unit, E.FeatureReferenceExpression) and unit.referent is not None else None
            if name is None and is_a(unit, E.FeatureReferenceExpression) and unit._refrel._ref is not None:
                name = unit._refrel._ref.text()
            return Quantity(v, name or "?")
        if kind is Operator.If:
            return self.operand(args[1]) if self.boolean(args[0]) else self.operand(args[2])
        if kind in (Operator.And, Operator.Or, Operator.Implies):
            left = self.boolean(args[0])
            if kind is Operator.And and not left:
                return False
            if kind is Operator.Or and left:
                return True
            if kind is Operator.Implies and not left:
                return True
            return self.boolean(args[1])
        if kind is Operator.Not:
            return not self.boolean(args[0])
        if kind is Operator.NullCoalescing:
            v = self.operand(args[0])
            return self.operand(args[1]) if v is None else v
        values = [self.operand(a) for a in args]
        if kind in _LOGIC and n == 2:
            if not all(is_a(v, bool) for v in values):
                self.fail(f"'{kind.name}' needs two booleans")
            return bool(_LOGIC[kind](*values))
        if kind in (Operator.Equals, Operator.NotEquals, Operator.Same, Operator.NotSame) and n == 2:
            same = _values_equal(*values)
            return same if kind in (Operator.Equals, Operator.Same) else not same
        if kind in _ORDER and n == 2:
            a, b = values
            if not ((_is_number(a) and _is_number(b)) or (is_a(a, str) and is_a(b, str))):
                self.fail(f"cannot compare {_kind_of(a)} with {_kind_of(b)}")
            return _ORDER[kind](a, b)
        if kind is Operator.Plus and n == 2 and is_a(values[0], str) and is_a(values[1], str):
            return values[0] + values[1]
        if kind in (Operator.Plus, Operator.Minus) and n == 1:
            if not _is_number(values[0]):
                self.fail(f"cannot negate {_kind_of(values[0])}")
            return values[0] if kind is Operator.Plus else -values[0]
        if kind is Operator.Range and n == 2:
            a, b = values
            if not (is_a(a, int) and is_a(b, int)) or is_a(a, bool) or is_a(b, bool):
                self.fail("a range needs two integers")
            if b - a > self.max_steps:
                self.fail(f"a range of more than {self.max_steps} values")
            return list(range(a, b + 1))
        if (kind in _ARITHMETIC or kind is Operator.Plus) and n == 2:
            a, b = values
            if not (_is_number(a) and _is_number(b)):
                self.fail(f"cannot apply '{kind.name}' to {_kind_of(a)} and {_kind_of(b)}")
            try:
                return op.add(a, b) if kind is Operator.Plus else _ARITHMETIC[kind](a, b)
            except (ZeroDivisionError, OverflowError, ValueError) as err:
                self.fail(f"'{kind.name}' fails: {err}")
        self.fail(f"cannot evaluate the operator '{kind.name}'")

    def boolean(self, arg):
        v = self.operand(arg)
        if not is_a(v, bool):
            self.fail(f"expected a boolean, found {_kind_of(v)}")
        return v


def _kind_of(v) -> str:
    if v is None:
        return "no value"
    if is_a(v, E.Element):
        return type(v).__name__
    return type(v).__name__


class Compiler:
    """Evaluates expressions within limits: at most `max_steps` evaluation
    steps and `max_depth` nested evaluations."""

    def __init__(self, max_steps: int, max_depth: int):
        self.max_steps = int(max_steps)
        self.max_depth = int(max_depth)

    def _run(self, expr, target, quantities):
        run = _Run(self, target, quantities)
        try:
            if expr is None:
                run.fail("no expression")
            return run.value(expr), CompilationReport()
        except _Failed as failed:
            return None, CompilationReport([Diagnostic(str(failed))], fatal=True)
        except RecursionError:
            return None, CompilationReport([Diagnostic("evaluation nests too deep")], fatal=True)

    def evaluate(self, expr, stdlib=None, experimental_quantities=False):
        return self._run(expr, None, experimental_quantities)

    def evaluate_feature(self, expr, scope=None, stdlib=None, experimental_quantities=False):
        """`expr` evaluated for the feature `scope`, the target of
        classifications written without an operand."""
        return self._run(expr, scope, experimental_quantities)

    def evaluate_filter(self, target, expr, stdlib=None):
        """Whether `target` passes the filter condition `expr`; a condition
        that is not a boolean fails."""
        value, report = self._run(expr, target, False)
        if report.fatal:
            return False, report
        if not is_a(value, bool):
            return False, CompilationReport([Diagnostic(f"a filter must give a boolean, not {_kind_of(value)}")], fatal=True)
        return value, report
