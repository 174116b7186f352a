"""The model's element classes. Each element is one Python object; its
attributes are computed from the owned relationships the parser recorded and
from names resolved on first use (see `_sema`)."""

from __future__ import annotations

import builtins
import uuid

from . import _sema
from ._base import (
    ContainerView,
    FeatureDirectionKind,
    LazyImportsIterator,
    LazyIterator,
    ArgumentsAccessor,
    Path,
    QualifiedName,
)


class AstNode:
    pass


class Element(AstNode):
    def __init__(self):
        self._owner = None  # owning element (never a membership)
        self._membership = None  # owning relationship
        self._rels = []  # owned relationships, in text order
        self.declared_name = None
        self.declared_short_name = None
        self._doc = None
        self._cst = None
        self._id = None
        self._is_implied = False

    # --- casts -----------------------------------------------------------
    def try_cast(self, cls):
        return self if cls is not None and builtins.isinstance(self, cls) else None

    def isinstance(self, cls) -> bool:
        return cls is not None and builtins.isinstance(self, cls)

    # --- identity and place ----------------------------------------------
    @property
    def element_id(self):
        if type(self._id) is tuple:
            base, i = self._id
            self._id = uuid.uuid5(uuid.NAMESPACE_URL, f"{base}#{i}")
        return self._id

    @property
    def document(self):
        return self._doc

    @property
    def cst_node(self):
        return self._cst

    @property
    def owner(self):
        return self._owner

    @property
    def owning_membership(self):
        return self._membership

    @property
    def owning_relationship(self):
        return self._membership

    @property
    def is_library_element(self) -> bool:
        return self._doc is not None and self._doc.is_environment

    @property
    def name(self):
        return _sema.effective_name(self)

    @property
    def short_name(self):
        return _sema.effective_short_name(self)

    @property
    def qualified_name(self):
        segments = _sema.qualified_segments(self)
        return None if segments is None else QualifiedName(segments)

    @property
    def path(self):
        return Path(_sema.path_text(self))

    @property
    def owned_elements(self):
        return LazyIterator(lambda: [e for r in self._rels for e in _owned_related(r)])

    @property
    def documentation(self):
        return LazyIterator(lambda: [e for e in _member_elements(self) if builtins.isinstance(e, Documentation)])

    def __str__(self):
        qn = self.qualified_name
        label = str(qn) if qn is not None and qn.segments else (self.name or "<anonymous>")
        return f"{type(self).__name__} {label}"

    __repr__ = __str__


def _owned_related(rel):
    if rel._member is not None:
        return [rel._member]
    return []


def _member_elements(ns):
    return [r._member for r in ns._rels if builtins.isinstance(r, OwningMembership) and r._member is not None]


# --- namespaces ---------------------------------------------------------------


class NamespaceBody:
    """The owned members of a namespace, as a live view."""

    def __init__(self, ns):
        self._ns = ns

    @property
    def elements(self):
        return ContainerView(_member_elements(self._ns))

    def append(self, rel_cls, elem_cls):
        return _sema.append_member(self._ns, rel_cls, elem_cls)

    def remove_element(self, element) -> bool:
        return _sema.remove_member(self._ns, element)


class NamespacePrefixes:
    """The prefix metadata (`#M`) of an element."""

    def __init__(self, ns):
        self._ns = ns

    @property
    def elements(self):
        return ContainerView(getattr(self._ns, "_prefix_items", []))

    def append(self, rel_cls, elem_cls):
        rel, elem = _sema.make_owned(self._ns, rel_cls, elem_cls)
        if "_prefix_items" not in self._ns.__dict__:
            self._ns._prefix_items = []
        self._ns._prefix_items.append(elem)
        return rel, elem


class Namespace(Element):
    @property
    def children(self):
        return NamespaceBody(self)

    @property
    def prefixes(self):
        return NamespacePrefixes(self)

    @property
    def owned_members(self):
        return LazyIterator(lambda: _member_elements(self))

    def get_member(self, name: str):
        return _sema.lookup_member(self, name)


class Package(Namespace):
    pass


class LibraryPackage(Package):
    pass


# --- types and features -------------------------------------------------------


class Heritage:
    """The specialisations of a type; `relationships` and `elements` are
    aligned by position."""

    def __init__(self, t):
        self._t = t

    def _rels(self):
        return [r for r in self._t._rels if builtins.isinstance(r, Specialization)]

    @property
    def relationships(self):
        return ContainerView(self._rels())

    @property
    def elements(self):
        return ContainerView(_sema.rel_target(r) for r in self._rels())

    def append(self, rel_cls, target, name_id=None):
        return _sema.append_heritage(self._t, rel_cls, [target])

    def append_chain(self, rel_cls, features):
        rel, _ = _sema.append_heritage(self._t, rel_cls, list(features))
        return rel, _sema.rel_target(rel)


class Type(Namespace):
    def __init__(self):
        super().__init__()
        self.is_abstract = False

    @property
    def heritage(self):
        return Heritage(self)

    @property
    def owned_features(self):
        return LazyIterator(lambda: _sema.owned_features(self))

    @property
    def features(self):
        return LazyIterator(lambda: _sema.all_features(self))

    @property
    def inherited_features(self):
        return LazyIterator(lambda: _sema.inherited_features(self))


class Definition(Type):
    @property
    def usages(self):
        return LazyIterator(lambda: [f for f in _sema.all_features(self) if builtins.isinstance(f, Usage)])


class Feature(Type):
    def __init__(self):
        super().__init__()
        self.direction = None
        self.is_end = False
        self._chaining = None  # the chained features of `a.b`, when this is a chain

    @property
    def owning_type(self):
        o = self._owner
        return o if builtins.isinstance(o, Type) and builtins.isinstance(self._membership, FeatureMembership) else None

    @property
    def owning_feature_membership(self):
        m = self._membership
        return m if builtins.isinstance(m, FeatureMembership) else None

    @property
    def feature_value(self):
        for r in self._rels:
            if builtins.isinstance(r, FeatureValue):
                return r
        return None

    @property
    def feature_value_expression(self):
        fv = self.feature_value
        return None if fv is None else fv._member

    @property
    def feature_target(self):
        chain = _sema.chaining_features(self)
        return chain[-1] if chain else self

    @property
    def chaining_features(self):
        return LazyIterator(lambda: _sema.chaining_features(self))

    @property
    def declared_multiplicity(self):
        for e in _member_elements(self):
            if builtins.isinstance(e, MultiplicityRange):
                return e
        return None

    @property
    def types(self):
        return LazyIterator(lambda: _sema.feature_types(self))


class Usage(Feature):
    def __init__(self):
        super().__init__()
        self._is_reference = False

    @property
    def is_reference(self) -> bool:
        return self._is_reference

    @property
    def usages(self):
        return LazyIterator(lambda: [f for f in _sema.all_features(self) if builtins.isinstance(f, Usage)])

    @property
    def definitions(self):
        return LazyIterator(lambda: [t for t in _sema.feature_types(self) if builtins.isinstance(t, Definition)])


class ReferenceUsage(Usage):
    pass


class AttributeUsage(Usage):
    pass


class EnumerationUsage(AttributeUsage):
    pass


class OccurrenceUsage(Usage):
    pass


class ItemUsage(OccurrenceUsage):
    pass


class PartUsage(ItemUsage):
    pass


class ViewUsage(PartUsage):
    @property
    def view_conditions(self):
        return LazyIterator(lambda: [r for r in self._rels if builtins.isinstance(r, ElementFilterMembership)])

    @property
    def exposed_elements(self):
        return LazyImportsIterator(lambda: _sema.exposed_elements(self))


class RenderingUsage(PartUsage):
    pass


class PortUsage(OccurrenceUsage):
    pass


class ActionUsage(OccurrenceUsage):
    pass


class CalculationUsage(ActionUsage):
    pass


class StateUsage(ActionUsage):
    pass


class ConstraintUsage(OccurrenceUsage):
    pass


class AssertConstraintUsage(ConstraintUsage):
    pass


def _subject_of(t):
    for r in t._rels:
        if builtins.isinstance(r, SubjectMembership):
            return r._member
    return None


class RequirementUsage(ConstraintUsage):
    @property
    def subject_parameter(self):
        return _subject_of(self)


class ConcernUsage(RequirementUsage):
    pass


class ViewpointUsage(RequirementUsage):
    pass


class MetadataUsage(ItemUsage):
    @property
    def metadata_definition(self):
        for t in _sema.feature_types(self):
            if builtins.isinstance(t, MetadataDefinition):
                return t
        return None


class ConnectorAsUsageEnds:
    def __init__(self, c):
        self._c = c

    def _ends(self):
        return [r._member for r in self._c._rels if builtins.isinstance(r, EndFeatureMembership)]

    def __iter__(self):
        return iter(self._ends())

    def __len__(self):
        return len(self._ends())

    def collect(self):
        return self._ends()

    def append(self):
        rel, end = _sema.make_owned(self._c, EndFeatureMembership, Feature)
        end.is_end = True
        return rel, end


class ConnectorAsUsage(Usage):
    @property
    def declared_ends(self):
        return ConnectorAsUsageEnds(self)

    @property
    def related_features(self):
        return LazyIterator(lambda: _sema.connector_related(self))

    @property
    def source_feature(self):
        related = _sema.connector_related(self)
        return related[0] if related else None

    @property
    def target_features(self):
        return LazyIterator(lambda: _sema.connector_related(self)[1:])


class ConnectionUsage(ConnectorAsUsage):
    pass


class InterfaceUsage(ConnectionUsage):
    pass


class AllocationUsage(ConnectionUsage):
    pass


# --- definitions --------------------------------------------------------------


class AttributeDefinition(Definition):
    pass


class EnumerationDefinition(AttributeDefinition):
    @property
    def enumerated_values(self):
        return LazyIterator(lambda: [e for e in _member_elements(self) if builtins.isinstance(e, EnumerationUsage)])


class OccurrenceDefinition(Definition):
    pass


class ItemDefinition(OccurrenceDefinition):
    pass


class PartDefinition(ItemDefinition):
    pass


class ViewDefinition(PartDefinition):
    pass


class RenderingDefinition(PartDefinition):
    pass


class ConnectionDefinition(PartDefinition):
    pass


class InterfaceDefinition(ConnectionDefinition):
    pass


class AllocationDefinition(ConnectionDefinition):
    pass


class PortDefinition(OccurrenceDefinition):
    pass


class ActionDefinition(OccurrenceDefinition):
    pass


class CalculationDefinition(ActionDefinition):
    pass


class StateDefinition(ActionDefinition):
    pass


class ConstraintDefinition(OccurrenceDefinition):
    pass


class RequirementDefinition(ConstraintDefinition):
    @property
    def subject_parameter(self):
        return _subject_of(self)


class ConcernDefinition(RequirementDefinition):
    pass


class ViewpointDefinition(RequirementDefinition):
    pass


class MetadataDefinition(ItemDefinition):
    pass


# --- multiplicities, comments, representations ------------------------------------


class MultiplicityRange(Feature):
    def __init__(self):
        super().__init__()
        self._lower = None  # expressions
        self._upper = None

    @property
    def lower_bound(self):
        return self._lower

    @property
    def upper_bound(self):
        return self._upper

    def _bounds(self):
        def value(e):
            if builtins.isinstance(e, LiteralInteger):
                return e.value
            if builtins.isinstance(e, LiteralInfinity):
                return None
            raise ValueError
        try:
            upper = value(self._upper)
            lower = upper if self._lower is None else value(self._lower)
        except ValueError:
            return None
        if lower is None:  # `[*]`: from zero, without an upper bound
            lower = 0
        return lower, upper

    @property
    def has_cached_bounds(self) -> bool:
        return self._bounds() is not None

    @property
    def cached_lower_bound(self):
        b = self._bounds()
        return None if b is None else b[0]

    @property
    def cached_upper_bound(self):
        # One past the upper bound; None when there is none (`*`).
        b = self._bounds()
        return None if b is None or b[1] is None else b[1] + 1


class Comment(Element):
    def __init__(self):
        super().__init__()
        self.body = ""
        self.locale = None


class Documentation(Comment):
    pass


class TextualRepresentation(Element):
    def __init__(self):
        super().__init__()
        self.language = ""
        self.body = ""


# --- relationships --------------------------------------------------------------


class Relationship(Element):
    def __init__(self):
        super().__init__()
        self._member = None  # owned related element
        self._ref = None  # unresolved target reference
        self._target = None  # target set directly (edits)

    @property
    def is_implied(self) -> bool:
        return self._is_implied

    @property
    def source(self):
        return self._owner

    @property
    def targets(self):
        t = _sema.rel_target(self)
        return ContainerView([] if t is None else [t])

    @property
    def owned_related_elements(self):
        return LazyIterator(lambda: _owned_related(self))


class Membership(Relationship):
    """A member of a namespace; without an owned element it is an alias."""

    @property
    def member_element(self):
        return _sema.rel_target(self)

    @property
    def member_name(self):
        return self.declared_name if self._member is None else self._member.name


class OwningMembership(Membership):
    @property
    def owned_member_element(self):
        return self._member


class FeatureMembership(OwningMembership):
    @property
    def owned_member_feature(self):
        return self._member


class EndFeatureMembership(FeatureMembership):
    pass


class ParameterMembership(FeatureMembership):
    pass


class SubjectMembership(ParameterMembership):
    pass


class ResultExpressionMembership(FeatureMembership):
    pass


class RequirementConstraintMembership(FeatureMembership):
    def __init__(self):
        super().__init__()
        self.kind = None


class ElementFilterMembership(OwningMembership):
    @property
    def condition(self):
        return self._member


class FeatureValue(OwningMembership):
    def __init__(self):
        super().__init__()
        self.is_default = False
        self.is_initial = False

    @property
    def value(self):
        return self._member


class Specialization(Relationship):
    @property
    def general(self):
        return _sema.rel_target(self)

    @property
    def specific(self):
        return self._owner


class Subclassification(Specialization):
    pass


class FeatureTyping(Specialization):
    pass


class Subsetting(Specialization):
    pass


class Redefinition(Subsetting):
    pass


class ReferenceSubsetting(Subsetting):
    pass


class Import(Relationship):
    def __init__(self):
        super().__init__()
        self.is_namespace = False  # `X::*`
        self.is_recursive = False  # `X::**`
        self.visibility = "public"


class Expose(Import):
    pass


class Annotation(Relationship):
    pass


# --- expressions --------------------------------------------------------------------


class Expression(Feature):
    pass


class LiteralExpression(Expression):
    def __init__(self, value=None):
        super().__init__()
        self.value = value


class LiteralInteger(LiteralExpression):
    pass


class LiteralRational(LiteralExpression):
    pass


class LiteralString(LiteralExpression):
    pass


class LiteralBoolean(LiteralExpression):
    pass


class LiteralInfinity(LiteralExpression):
    pass


class NullExpression(Expression):
    pass


class FeatureReferenceExpression(Expression):
    @property
    def referent(self):
        return _sema.rel_target(self._refrel) if getattr(self, "_refrel", None) is not None else None


class InvocationExpression(Expression):
    def __init__(self):
        super().__init__()
        self._args = []
        self._typerel = None

    @property
    def arguments(self):
        return ArgumentsAccessor(lambda: list(self._args))

    @property
    def instantiated_type(self):
        return None if self._typerel is None else _sema.rel_target(self._typerel)


class OperatorExpression(InvocationExpression):
    def __init__(self, operator=None):
        super().__init__()
        self.operator = operator


def direction_of(word: str):
    return {"in": FeatureDirectionKind.In, "out": FeatureDirectionKind.Out, "inout": FeatureDirectionKind.Inout}[word]
