"""Name resolution and the derived attributes of elements: effective names,
inheritance, chains, exposure, qualified names and paths, and the edits.

Names are resolved when first needed. A reference is looked up lexically
(the scope, then each enclosing namespace with its inherited and imported
members, then the top level of every document). Cycles (a type whose
specialisation is looked up through its own inherited members) are cut by
remembering what is being resolved: an inner lookup that meets it finds
nothing, and only successful answers are kept."""

from __future__ import annotations

import uuid
from builtins import isinstance as is_a

from . import _elements as E


# How deep inheritance and imports are followed; deeper levels are not seen.
MAX_INHERITANCE = 100


class Ref:
    """An unresolved reference: one qualified name per step of a chain
    (`A::b.c` has the steps [A, b] and [c]), where the lookup starts, and the
    element the lookup must not find (the declaring element itself)."""

    __slots__ = ("steps", "tokens", "scope", "exclude", "in_progress", "lhs")

    def __init__(self, steps, tokens, scope, exclude=None):
        self.steps = steps
        self.tokens = tokens
        self.scope = scope
        self.exclude = exclude
        self.in_progress = False
        self.lhs = None  # the expression before `.` when the name follows one

    def text(self) -> str:
        return ".".join("::".join(s) for s in self.steps)


class World:
    """The documents of one model and what is shared across them."""

    def __init__(self):
        self.documents = []
        self.generation = 0
        self._global = None
        self._global_gen = -1
        self.naming = set()  # ids of elements whose effective name is being computed

    def changed(self):
        self.generation += 1

    def stamp(self):
        """Changes whenever what a name resolves to may change."""
        return self.generation

    def global_names(self):
        if self._global_gen != self.generation:
            table = {}
            for doc in self.documents:
                for name, elems in names_of(doc.root).items():
                    table.setdefault(name, []).extend(elems)
            self._global = table
            self._global_gen = self.generation
        return self._global


def world_of(e):
    return e._doc.world


# --- names ---------------------------------------------------------------------


def effective_name(e):
    if e.declared_name is not None:
        return e.declared_name
    return _redefined_name(e, "name")


def effective_short_name(e):
    if e.declared_short_name is not None:
        return e.declared_short_name
    return _redefined_name(e, "short_name")


def _redefined_name(e, attr):
    # An unnamed feature that redefines another takes the redefined one's name.
    if not is_a(e, E.Feature) or is_a(e, E.Expression):
        return None
    naming = world_of(e).naming if e._doc is not None else set()
    if id(e) in naming:
        return None
    naming.add(id(e))
    try:
        for r in e._rels:
            if is_a(r, E.Redefinition):
                t = rel_target(r)
                if t is not None:
                    return getattr(t.feature_target if is_a(t, E.Feature) else t, attr)
        return None
    finally:
        naming.discard(id(e))


def names_of(ns):
    """Own members of a namespace by declared name and short name, aliases
    included; cached per model generation."""
    return _name_tables(ns)[0]


def _name_tables(ns):
    """(members by name, unnamed owned features) of a namespace."""
    w = world_of(ns)
    cached = ns.__dict__.get("_names")
    if cached is not None and cached[0] == w.generation:
        return cached[1]
    table = {}
    unnamed = []
    for r in ns._rels:
        if not is_a(r, E.Membership) or is_a(r, (E.FeatureValue, E.ElementFilterMembership)):
            continue
        m = r._member
        if is_a(r, E.FeatureMembership) and m is not None and m.declared_name is None and m.declared_short_name is None:
            unnamed.append(m)
        if m is None:  # alias
            for n in (r.declared_name, r.declared_short_name):
                if n is not None:
                    table.setdefault(n, []).append(r)
            continue
        for n in (m.declared_name, m.declared_short_name):
            if n is not None:
                table.setdefault(n, []).append(m)
    ns._names = (w.generation, (table, unnamed))
    return table, unnamed


def _unalias(x):
    if is_a(x, E.Membership) and x._member is None:
        return rel_target(x)
    return x


def own_member(ns, name, exclude=None):
    table, unnamed = _name_tables(ns)
    for m in table.get(name, ()):
        if m is not exclude:
            return _unalias(m)
    # Unnamed members known by an effective name (`:>> x`).
    for m in unnamed:
        if m is not exclude and effective_name(m) == name:
            return m
    return None


def lookup_member(ns, name, exclude=None):
    """A visible member of `ns`: own, inherited, then imported. `exclude`
    (the declaring element of a reference) is skipped among the own members
    and in what the inherited and imported members give."""
    if not is_a(ns, E.Namespace):
        return None
    if exclude is None:
        return _memo_member(ns, name)
    found = own_member(ns, name, exclude)
    if found is not None:
        return found
    found = _beyond_own(ns, name)
    return None if found is exclude else found


class _Frame:
    __slots__ = ("low", "mark")

    def __init__(self, index, mark):
        self.low = index  # the outermost computation in progress that this one met
        self.mark = mark  # length of the provisional failures when it started


class _Lookups:
    """What lookups gave during one state of the model: per (namespace,
    name) the member found or None, and per relationship its target or
    None. A computation that meets one in progress (an import cycle, an
    import that is looked through while it is resolved) treats it as
    finding nothing; its failure is kept for good only once the computation
    it met has failed as well, so every name is searched once per namespace
    and every reference resolved once."""

    def __init__(self, stamp):
        self.stamp = stamp
        self.done = {}
        self.active = {}  # key -> index in `frames`
        self.frames = []
        self.provisional = []  # keys of failures that met a computation in progress


def _lookups(w):
    stamp = w.stamp()
    memo = w.__dict__.get("_lookups")
    if memo is None or memo.stamp != stamp:
        memo = w._lookups = _Lookups(stamp)
    return memo


_UNKNOWN = object()


def _memoised(w, key, compute):
    """`compute()` once per key and state of the model, cycles cut."""
    memo = _lookups(w)
    found = memo.done.get(key, _UNKNOWN)
    if found is not _UNKNOWN:
        return found
    index = memo.active.get(key)
    if index is not None or len(memo.frames) > MAX_INHERITANCE:
        # A cycle (or too deep): nothing, for now.
        frame = memo.frames[-1]
        frame.low = min(frame.low, 0 if index is None else index)
        return None
    index = len(memo.frames)
    frame = _Frame(index, len(memo.provisional))
    memo.frames.append(frame)
    memo.active[key] = index
    try:
        found = compute()
    finally:
        memo.frames.pop()
        del memo.active[key]
    memo.done[key] = found
    if memo.frames:
        outer = memo.frames[-1]
        outer.low = min(outer.low, frame.low)
    if frame.low < index:
        if found is None:
            memo.provisional.append(key)
        return found
    # No computation outside this one was met: the failures below that met
    # this one are final when it failed too, else searched again when asked.
    below = memo.provisional[frame.mark :]
    del memo.provisional[frame.mark :]
    if found is not None:
        for k in below:
            memo.done.pop(k, None)
    return found


def _memo_member(ns, name):
    def compute():
        found = own_member(ns, name)
        return found if found is not None else _beyond_own(ns, name)

    return _memoised(world_of(ns), (id(ns), name), compute)


# The library type each kind of type specialises without saying so, looked
# up by qualified name when the type declares no specialisation (some kinds
# always); every
# feature also subsets `Base::things`. Used for name lookup only.
_IMPLIED_BASES = {
    "PartDefinition": "Parts::Part", "PartUsage": "Parts::Part",
    "ViewDefinition": "Views::View", "ViewUsage": "Views::View",
    "RenderingDefinition": "Views::Rendering", "RenderingUsage": "Views::Rendering",
    "ItemDefinition": "Items::Item", "ItemUsage": "Items::Item",
    "MetadataDefinition": "Metadata::MetadataItem", "MetadataUsage": "Metadata::MetadataItem",
    "OccurrenceDefinition": "Occurrences::Occurrence", "OccurrenceUsage": "Occurrences::Occurrence",
    "PortDefinition": "Ports::Port", "PortUsage": "Ports::Port",
    "InterfaceDefinition": "Interfaces::Interface", "InterfaceUsage": "Interfaces::Interface",
    "AllocationDefinition": "Allocations::Allocation", "AllocationUsage": "Allocations::Allocation",
    "ConnectionDefinition": "Connections::Connection", "ConnectionUsage": "Connections::Connection",
    "ConnectorAsUsage": "Links::Link",
    "StateDefinition": "States::StateAction", "StateUsage": "States::StateAction",
    "CalculationDefinition": "Calculations::Calculation", "CalculationUsage": "Calculations::Calculation",
    "ActionDefinition": "Actions::Action", "ActionUsage": "Actions::Action",
    "ConcernDefinition": "Requirements::ConcernCheck", "ConcernUsage": "Requirements::ConcernCheck",
    "ViewpointDefinition": "Views::ViewpointCheck", "ViewpointUsage": "Views::ViewpointCheck",
    "RequirementDefinition": "Requirements::RequirementCheck", "RequirementUsage": "Requirements::RequirementCheck",
    "ConstraintDefinition": "Constraints::ConstraintCheck", "ConstraintUsage": "Constraints::ConstraintCheck",
    "EnumerationDefinition": "Base::DataValue", "AttributeDefinition": "Base::DataValue",
    "AttributeUsage": "Base::DataValue", "Definition": "Base::Anything",
}


# SysML kinds whose implied library type is looked through even beside
# declared specialisations (an item definition that specialises a KerML
# structure is still an item).
_SYSML_KINDS = {"PartDefinition", "PartUsage", "ItemDefinition", "ItemUsage", "PortDefinition", "PortUsage"}


def _library_type(w, qualified):
    """A library element by qualified name, or None."""
    first, *rest = qualified.split("::")
    cur = next((_unalias(e) for e in w.global_names().get(first, ())), None)
    for seg in rest:
        if cur is None:
            return None
        cur = _memo_member(cur, seg)
    return cur


def _implied_generals(t):
    w = world_of(t)
    if is_a(t, E.InvocationExpression) and t._typerel is not None:
        # An invocation is typed by the function it invokes: a body passed
        # as an argument (`x->minimize { in x; fn(x) }`) sees its parameters.
        invoked = rel_target(t._typerel)
        if is_a(invoked, E.Type) and invoked is not t:
            yield invoked
    out = []
    flow = t.__dict__.get("_implied_base")
    if flow is not None:
        out.append(flow)
    elif not any(is_a(r, E.Specialization) for r in t._rels) or type(t).__name__ in _SYSML_KINDS:
        for cls in type(t).__mro__:
            q = _IMPLIED_BASES.get(cls.__name__)
            if q is not None:
                out.append(q)
                break
    if is_a(t, (E.ConnectionDefinition, E.ConnectionUsage)) and (
        sum(1 for r in t._rels if is_a(r, E.EndFeatureMembership)) == 2
    ):
        # A connection with two ends is a binary one (`source`, `target`).
        out.append("Connections::BinaryConnection")
    if is_a(t, E.Feature):
        out.append("Base::things")
    for q in out:
        g = _library_type(w, q)
        if g is not None and g is not t:
            yield g
    if is_a(t._membership, E.EndFeatureMembership) and t.declared_name is not None and is_a(t._owner, E.Type):
        if not any(is_a(r, E.Specialization) for r in t._rels):
            # An end that names no general is the same-named end of its owner's generals.
            for f in inherited_features(t._owner):
                if f is not t and is_a(f._membership, E.EndFeatureMembership) and f.declared_name == t.declared_name:
                    yield f
                    break


def _beyond_own(ns, name):
    """A member of `ns` that is not its own: inherited, then imported."""
    if is_a(ns, E.Type):
        for g in generals(ns):
            found = _memo_member(g, name)
            if found is not None:
                return found
        for g in _implied_generals(ns):
            found = _memo_member(g, name)
            if found is not None:
                return found
    for imp in ns._rels:
        if is_a(imp, E.Import) and not is_a(imp, E.Expose):
            found = _through_import(imp, name)
            if found is not None:
                return found
    return None


def _through_import(imp, name):
    target = rel_target(imp)
    if target is None:
        return None
    if not imp.is_namespace:
        # `import P::A;` makes A visible under the name it is imported by,
        # an alias's name included.
        imported = imp._ref.steps[-1][-1] if imp._ref is not None else None
        return target if name in (imported, target.declared_name, target.declared_short_name) else None
    found = _memo_member(target, name)
    if found is None and imp.is_recursive:
        for ns in nested_namespaces(target):
            found = own_member(ns, name)
            if found is not None:
                break
    return found


def members_below(ns):
    """Every member owned below `ns`, depth first in text order."""
    stack = list(reversed(E._member_elements(ns)))
    seen = {id(ns)}
    while stack:
        m = stack.pop()
        if id(m) in seen:
            continue
        seen.add(id(m))
        yield m
        if is_a(m, E.Namespace):
            stack.extend(reversed(E._member_elements(m)))


def nested_namespaces(ns):
    return (m for m in members_below(ns) if is_a(m, E.Namespace))


def lookup_lexical(scope, name, exclude=None):
    ns = scope
    while ns is not None:
        found = lookup_member(ns, name, exclude)
        if found is not None:
            return found
        ns = ns._owner
    for e in world_of(scope).global_names().get(name, ()):
        if e is not exclude:
            return _unalias(e)
    return None


def resolve(ref):
    """The element a reference names, or None; a chain gives a new chain
    feature."""
    if ref.in_progress:
        return None
    ref.in_progress = True
    try:
        found = []
        for i, step in enumerate(ref.steps):
            if i == 0:
                cur = _after_dot(ref.lhs, step[0]) if ref.lhs is not None else None
                if cur is None:
                    cur = lookup_lexical(ref.scope, step[0], ref.exclude)
            else:
                prev = found[-1]
                cur = lookup_member(prev.feature_target if is_a(prev, E.Feature) else prev, step[0], ref.exclude)
            for seg in step[1:]:
                if cur is None:
                    break
                cur = lookup_member(cur, seg, ref.exclude)
            if cur is None:
                return None
            found.append(cur)
        return found
    finally:
        ref.in_progress = False


def _value_types(e):
    """The types whose members a name after `e.` may be: the target of
    `x as T`, a referenced feature and its types."""
    if is_a(e, E.OperatorExpression) and e.operator is not None and e.operator.name == "As" and len(e._args) == 2:
        t = e._args[1]
        return [t.referent] if is_a(t, E.FeatureReferenceExpression) and t.referent is not None else []
    if is_a(e, E.FeatureReferenceExpression):
        r = e.referent
        if is_a(r, E.Feature):
            r = r.feature_target
            return [r] + feature_types(r)
        return [] if r is None else [r]
    return []


def _after_dot(lhs, name):
    for t in _value_types(lhs):
        found = lookup_member(t, name)
        if found is not None:
            return found
    return None


def rel_target(rel):
    """The target of a relationship, resolving its reference on first use."""
    if rel._target is not None:
        return rel._target
    ref = rel._ref
    if ref is None:
        return rel._member if not is_a(rel, E.Specialization) else None
    found = _memoised(world_of(ref.scope), rel, lambda: resolve(ref) or None)
    if not found:
        return None
    if len(found) == 1:
        rel._target = found[0]
    else:
        chain = _new_chain(rel, found)
        rel._target = chain
    return rel._target


def _new_chain(rel, features):
    chain = E.Feature()
    chain._chaining = features
    chain._owner = rel
    chain._doc = rel._doc
    chain._cst = None
    chain._id = _new_id()
    return chain


def unresolved_refs(elements):
    """Relationships of `elements` whose reference resolves to nothing."""
    out = []
    for e in elements:
        if is_a(e, E.Relationship) and e._ref is not None and rel_target(e) is None:
            out.append(e)
    return out


# --- inheritance -------------------------------------------------------------------


def generals(t):
    out = []
    for r in t._rels:
        if is_a(r, E.Specialization):
            g = rel_target(r)
            if is_a(g, E.Feature):
                g = g.feature_target
            if g is not None and g is not t and is_a(g, E.Type):
                out.append(g)
    return out


def owned_features(t):
    return [
        r._member
        for r in t._rels
        if is_a(r, E.FeatureMembership) and is_a(r._member, E.Feature)
    ]


# Types whose inherited features or types are being computed; cuts cycles.
_computing: set[tuple[str, int]] = set()


def all_features(t):
    """Owned features first, then the inherited ones."""
    return owned_features(t) + inherited_features(t)


def inherited_features(t):
    key = ("inherited", id(t))
    if key in _computing or len(_computing) > MAX_INHERITANCE:
        return []
    _computing.add(key)
    try:
        owned = owned_features(t)
        redefined = set()
        for f in owned:
            for r in f._rels:
                if is_a(r, E.Redefinition):
                    g = rel_target(r)
                    if g is not None:
                        redefined.add(id(g.feature_target if is_a(g, E.Feature) else g))
        seen = {id(f) for f in owned}
        out = []
        for g in generals(t):
            for f in all_features(g):
                if id(f) in seen or id(f) in redefined:
                    continue
                seen.add(id(f))
                out.append(f)
        return out
    finally:
        _computing.discard(key)


def feature_types(f):
    """The types of a feature: its own typings, else those of the features
    it subsets or redefines."""
    key = ("types", id(f))
    if key in _computing or len(_computing) > MAX_INHERITANCE:
        return []
    _computing.add(key)
    try:
        own = [rel_target(r) for r in f._rels if is_a(r, E.FeatureTyping)]
        own = [t for t in own if t is not None]
        if own:
            return own
        if f._chaining:
            return feature_types(f._chaining[-1])
        out = []
        for r in f._rels:
            if is_a(r, E.Subsetting):
                g = rel_target(r)
                if is_a(g, E.Feature):
                    out.extend(t for t in feature_types(g.feature_target) if t not in out)
        return out
    finally:
        _computing.discard(key)


def chaining_features(f):
    return list(f._chaining) if f._chaining else []


def connector_related(c):
    out = []
    for r in c._rels:
        if is_a(r, E.EndFeatureMembership) and r._member is not None:
            end = r._member
            target = None
            for hr in end._rels:
                if is_a(hr, E.ReferenceSubsetting):
                    target = rel_target(hr)
                    break
            out.append(end if target is None else target)
    return out


# --- exposure ----------------------------------------------------------------------


def _exposable(e):
    return not is_a(e, (E.Comment, E.TextualRepresentation))


def exposed_elements(view):
    out = []
    seen = set()
    for r in view._rels:
        if not is_a(r, E.Expose):
            continue
        target = rel_target(r)
        if target is None:
            continue
        if not r.is_namespace:
            if id(target) not in seen:
                seen.add(id(target))
                out.append(target)
        else:
            members = members_below(target) if r.is_recursive else E._member_elements(target)
            for m in members:
                if _exposable(m) and id(m) not in seen:
                    seen.add(id(m))
                    out.append(m)
    return out


# --- names and paths -----------------------------------------------------------------


def qualified_segments(e):
    if e._owner is None or is_a(e, E.Relationship):
        return None
    if e._owner._owner is None:
        parent = []
    else:
        parent = qualified_segments(e._owner)
        if parent is None:
            return None
    n = effective_name(e)
    if n is None:
        return None
    return parent + [n]


def path_text(e):
    segments = qualified_segments(e)
    if segments:
        from ._base import QualifiedName

        return str(QualifiedName(segments))
    owner = e._owner
    if owner is None:
        return str(e._doc.url) if e._doc is not None else ""
    # Unnamed: the owner's path and the position among the owner's
    # relationships; `@` marks the relationship itself.
    parent = path_text(owner)
    holder = e if is_a(e, E.Relationship) else e._membership
    index = next((i for i, r in enumerate(owner._rels) if r is holder), -1)
    return f"{parent}@{index}" if holder is e else f"{parent}/{index}"


# --- identities and edits ----------------------------------------------------------------


def _new_id():
    return uuid.uuid4()


def make_owned(owner, rel_cls, elem_cls):
    rel = rel_cls()
    elem = elem_cls()
    for x in (rel, elem):
        x._doc = owner._doc
        x._id = _new_id()
    rel._owner = owner
    rel._member = elem
    elem._owner = owner
    elem._membership = rel
    owner._rels.append(rel)
    if owner._doc is not None:
        world_of(owner).changed()
    return rel, elem


def append_member(ns, rel_cls, elem_cls):
    return make_owned(ns, rel_cls, elem_cls)


def remove_member(ns, element) -> bool:
    for i, r in enumerate(ns._rels):
        if r._member is element:
            del ns._rels[i]
            world_of(ns).changed()
            return True
    return False


def append_heritage(t, rel_cls, targets):
    rel = rel_cls()
    rel._doc = t._doc
    rel._id = _new_id()
    rel._owner = t
    if len(targets) == 1:
        rel._target = targets[0]
    else:
        rel._target = _new_chain(rel, targets)
    t._rels.append(rel)
    world_of(t).changed()
    return rel, rel._target
