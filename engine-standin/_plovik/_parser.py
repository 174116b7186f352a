"""Recursive-descent parser of the textual notation. It builds the model's
elements directly, with their references left unresolved (`_sema.Ref`).
A syntax error is recorded and the parser skips to the end of the broken
member (its `;` or its balanced `{ }` body), so the rest of the text loads."""

from __future__ import annotations

from . import _elements as E
from ._base import CstNode, Operator, PositionUtf8, RequirementConstraintKind, token_range
from ._lexer import COMMENT, EOF, ERROR, NAME, NUMBER, STRING, SYMBOL, tokenize
from ._sema import Ref

# keyword -> (definition class, usage class)
KINDS = {
    "part": (E.PartDefinition, E.PartUsage),
    "attribute": (E.AttributeDefinition, E.AttributeUsage),
    "item": (E.ItemDefinition, E.ItemUsage),
    "port": (E.PortDefinition, E.PortUsage),
    "action": (E.ActionDefinition, E.ActionUsage),
    "occurrence": (E.OccurrenceDefinition, E.OccurrenceUsage),
    "requirement": (E.RequirementDefinition, E.RequirementUsage),
    "concern": (E.ConcernDefinition, E.ConcernUsage),
    "viewpoint": (E.ViewpointDefinition, E.ViewpointUsage),
    "constraint": (E.ConstraintDefinition, E.ConstraintUsage),
    "connection": (E.ConnectionDefinition, E.ConnectionUsage),
    "interface": (E.InterfaceDefinition, E.InterfaceUsage),
    "allocation": (E.AllocationDefinition, E.AllocationUsage),
    "enum": (E.EnumerationDefinition, E.EnumerationUsage),
    "metadata": (E.MetadataDefinition, E.MetadataUsage),
    "view": (E.ViewDefinition, E.ViewUsage),
    "rendering": (E.RenderingDefinition, E.RenderingUsage),
    "calc": (E.CalculationDefinition, E.CalculationUsage),
    "state": (E.StateDefinition, E.StateUsage),
    "flow": (E.ConnectionDefinition, E.ConnectionUsage),
    "message": (E.ConnectionDefinition, E.ConnectionUsage),
    "case": (E.CalculationDefinition, E.CalculationUsage),
    "analysis": (E.CalculationDefinition, E.CalculationUsage),
    "verification": (E.CalculationDefinition, E.CalculationUsage),
    "use": (E.CalculationDefinition, E.CalculationUsage),  # `use case`
    "merge": (E.ActionDefinition, E.ActionUsage),
    "decide": (E.ActionDefinition, E.ActionUsage),
    "join": (E.ActionDefinition, E.ActionUsage),
    "fork": (E.ActionDefinition, E.ActionUsage),
    "actor": (E.PartDefinition, E.PartUsage),
    "stakeholder": (E.PartDefinition, E.PartUsage),
    "objective": (E.RequirementDefinition, E.RequirementUsage),
    "succession": (E.Definition, E.ConnectorAsUsage),
    "binding": (E.Definition, E.ConnectorAsUsage),
    "connector": (E.Definition, E.ConnectorAsUsage),
    "snapshot": (E.OccurrenceDefinition, E.OccurrenceUsage),
    "timeslice": (E.OccurrenceDefinition, E.OccurrenceUsage),
    "event": (E.OccurrenceDefinition, E.OccurrenceUsage),
}

# The library types flows and messages specialise without saying so (they
# share their classes with connections).
_FLOW_BASES = {
    "flow": "Flows::Flow", "message": "Flows::Message", "succession flow": "Flows::SuccessionFlow",
    "message flow": "Flows::Flow",
}

# The library actions that statements perform.
_STATEMENT_BASES = {
    "accept": "Actions::AcceptAction", "send": "Actions::SendAction", "assign": "Actions::AssignmentAction",
    "if": "Actions::IfThenElseAction", "while": "Actions::WhileLoopAction", "loop": "Actions::WhileLoopAction",
    "for": "Actions::ForLoopAction", "terminate": "Actions::TerminateAction", "transition": "Actions::TransitionAction",
}

# KerML words: each names a classifier or a feature kind, read as the
# nearest definition or usage class.
KERNEL_KINDS = {
    "namespace": E.Namespace,
    "type": E.Type,
    "classifier": E.Definition,
    "class": E.OccurrenceDefinition,
    "datatype": E.AttributeDefinition,
    "struct": E.ItemDefinition,
    "assoc": E.ConnectionDefinition,
    "behavior": E.ActionDefinition,
    "interaction": E.ActionDefinition,
    "function": E.CalculationDefinition,
    "predicate": E.ConstraintDefinition,
    "metaclass": E.MetadataDefinition,
    "feature": E.Feature,
    "step": E.ActionUsage,
    "expr": E.CalculationUsage,
    "bool": E.ConstraintUsage,
    "inv": E.AssertConstraintUsage,
}

# Words that start a member that refers to another usage (`perform a.b;`),
# with the class of the usage they make.
REFERRING = {
    "perform": E.ActionUsage,
    "exhibit": E.StateUsage,
    "include": E.CalculationUsage,
    "satisfy": E.RequirementUsage,
    "verify": E.RequirementUsage,
    "frame": E.ConcernUsage,
    "render": E.RenderingUsage,
}

# Words that start an action written as a statement; the rest of it is read
# leniently up to its `;` or body.
STATEMENTS = {"accept", "send", "assign", "if", "while", "loop", "for", "terminate", "transition"}

KEYWORDS = set(KINDS) | {
    "package", "library", "standard", "import", "alias", "for", "doc", "comment", "about", "rep",
    "abstract", "ref", "in", "out", "inout", "end", "def", "defined", "by", "specializes", "subsets",
    "redefines", "references", "default", "subject", "require", "assume", "assert", "connect", "to",
    "allocate", "expose", "filter", "public", "private", "protected", "true", "false", "null", "and", "or",
    "xor", "not", "implies", "hastype", "istype", "as", "meta", "if", "else", "all", "ordered", "nonunique",
    "derived", "readonly", "constant", "variation", "individual", "locale", "typed",
    "composite", "portion", "var", "const", "member", "variant", "then", "first", "bind", "from", "of",
    "entry", "do", "exit", "return", "intersects", "unions", "differences", "disjoint", "featured",
    "chains", "inverse", "crosses", "conjugates", "via", "at", "after", "when", "until", "new", "parallel",
    "specialization", "subclassifier", "subtype", "subset", "redefinition", "conjugation", "conjugate",
    "disjoining", "featuring", "inverting", "typing", "dependency",
}

_HERITAGE_SYMBOL_TEXTS = (":", ":>", ":>>", "::>")
_HERITAGE_SYMBOLS = {":": E.FeatureTyping, ":>": E.Subsetting, ":>>": E.Redefinition, "::>": E.ReferenceSubsetting}
_HERITAGE_WORDS = {"specializes": E.Subsetting, "subsets": E.Subsetting, "redefines": E.Redefinition, "references": E.ReferenceSubsetting}
_DIRECTIONS = {"in", "out", "inout"}
_MODIFIERS = {
    "abstract", "ref", "end", "derived", "readonly", "constant", "variation", "individual", "ordered", "nonunique",
    "composite", "portion", "var", "const", "member", "variant",
}
# Relationship words of a declaration that the stand-in reads but keeps no
# relationship for.
_SKIPPED_RELATIONS = {"intersects", "unions", "differences", "chains", "crosses", "conjugates", "=>"}
_SKIPPED_PHRASES = {("disjoint", "from"), ("featured", "by"), ("inverse", "of")}
# Words that are also names: read as names where a name stands.
_SOFT_WORDS = {"frame", "entry", "do", "exit", "member", "type", "expr", "bool", "then", "var", "event"}
# KerML relationship members (`specialization S subtype A specializes B;`),
# read and kept as nothing.
_RELATIONSHIP_MEMBERS = {
    "specialization", "subclassifier", "subtype", "subset", "redefinition", "conjugation", "disjoining",
    "featuring", "inverting", "typing", "dependency", "disjoint",
}

# Binary operators by level, loosest first; each level maps token text -> Operator.
_BINARY = [
    {"??": Operator.NullCoalescing},
    {"implies": Operator.Implies},
    {"or": Operator.Or, "|": Operator.LogicalOr},
    {"xor": Operator.Xor},
    {"and": Operator.And, "&": Operator.LogicalAnd},
    {"==": Operator.Equals, "!=": Operator.NotEquals, "===": Operator.Same, "!==": Operator.NotSame},
    {"istype": Operator.IsType, "hastype": Operator.HasType, "@": Operator.At, "@@": Operator.AtAt, "as": Operator.As, "meta": Operator.Meta},
    {"<": Operator.Less, "<=": Operator.LessEqual, ">": Operator.Greater, ">=": Operator.GreaterEqual},
    {"..": Operator.Range},
    {"+": Operator.Plus, "-": Operator.Minus},
    {"*": Operator.Multiply, "/": Operator.Divide, "%": Operator.Modulo},
    {"**": Operator.ExponentStar, "^": Operator.ExponentCaret},
]
_CLASSIFICATION_LEVEL = 6
_RANGE_LEVEL = 8
_UNARY = {"-": Operator.Minus, "+": Operator.Plus, "not": Operator.Not, "~": Operator.Conjugation, "all": Operator.All}
_MEMBER_WORDS = set(KINDS) | set(KERNEL_KINDS) | set(REFERRING) | STATEMENTS | _RELATIONSHIP_MEMBERS | {
    "package", "library", "standard", "import", "alias", "doc", "comment", "rep", "expose", "filter", "public",
    "private", "protected", "abstract", "subject", "require", "assume", "assert", "connect", "allocate",
}
_EXPRESSION_WORDS = {"true", "false", "null", "not", "if", "all", "hastype", "istype", "new"}
_RESULT_HOLDERS = (E.ConstraintUsage, E.ConstraintDefinition, E.CalculationUsage, E.CalculationDefinition, E.Expression)
_PREFIX_CLASSIFICATION = {"hastype": Operator.HasType, "istype": Operator.IsType, "@": Operator.At, "@@": Operator.AtAt}


MAX_NESTING = 100

# token text -> (level, operator)
_BINARY_BY_TEXT = {text: (level, op) for level, table in enumerate(_BINARY) for text, op in table.items()}


class _Nesting:
    def __init__(self, parser):
        self.parser = parser

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.parser.depth -= 1
        return False


class SyntaxProblem(Exception):
    def __init__(self, token, message):
        super().__init__(message)
        self.token = token
        self.message = message


class Parser:
    def __init__(self, text: str, doc, report):
        self.toks = tokenize(text)
        self.pos = 0
        self.doc = doc
        self.report = report  # report(token, message)
        self.depth = 0
        self.softened = []  # words read as names, undone when a guess is taken back

    # --- token cursor -----------------------------------------------------------
    def peek(self, k=0):
        i = self.pos + k
        return self.toks[i] if i < len(self.toks) else self.toks[-1]

    def next(self):
        t = self.toks[self.pos]
        if t.kind != EOF:
            self.pos += 1
        return t

    def last(self):
        return self.toks[self.pos - 1] if self.pos else self.toks[0]

    def at_sym(self, s, k=0):
        return self.peek(k).is_sym(s)

    def at_word(self, w, k=0):
        return self.peek(k).is_word(w)

    def accept_sym(self, s):
        if self.at_sym(s):
            return self.next()
        return None

    def accept_word(self, w):
        if self.at_word(w):
            return self.next()
        return None

    def fail(self, what):
        t = self.peek()
        if t.kind == ERROR:
            raise SyntaxProblem(t, t.value)
        found = "end of file" if t.kind == EOF else f"'{t.text}'"
        raise SyntaxProblem(t, f"expected {what}, found {found}")

    def expect_sym(self, s):
        if not self.at_sym(s):
            self.fail(f"'{s}'")
        return self.next()

    def at_language(self):
        """At `language "..."`: elsewhere `language` is a plain name."""
        return self.at_word("language") and self.peek(1).kind == STRING

    def is_name(self, k=0):
        t = self.peek(k)
        return t.kind == NAME and (t.quoted or t.text not in KEYWORDS)

    def expect_name(self):
        if not self.is_name():
            self.fail("a name")
        return self.next()

    # --- building -------------------------------------------------------------------
    def new(self, cls, owner, rel_cls, start):
        elem = cls()
        elem._doc = self.doc
        rel = rel_cls()
        rel._doc = self.doc
        rel._owner = owner
        rel._member = elem
        elem._owner = owner
        elem._membership = rel
        owner._rels.append(rel)
        elem._cst = CstNode(PositionUtf8(start.line, start.col), PositionUtf8(start.end_line, start.end_col), {})
        return elem

    def finish(self, elem):
        t = self.last()
        if elem._cst is not None:
            elem._cst.end_point = PositionUtf8(t.end_line, t.end_col)

    def relate(self, owner, rel_cls, steps, tokens, scope, exclude=None):
        rel = rel_cls()
        rel._doc = self.doc
        rel._owner = owner
        rel._ref = Ref(steps, tokens, scope, exclude)
        owner._rels.append(rel)
        return rel

    def name_into(self, elem):
        """Optional `<short>` and name of a declaration."""
        t = self.peek()
        if t.kind == NAME and not t.quoted and t.text in _SOFT_WORDS:
            t.quoted = True  # a word that is a name where a declaration's name stands
        if self.at_sym("<") and self.peek(1).kind == NAME and self.at_sym(">", 2):
            self.next()
            t = self.next()
            self.next()
            elem.declared_short_name = t.value
            elem._cst.fields["declared_short_name"] = [token_range(t)]
        if self.is_name():
            t = self.next()
            elem.declared_name = t.value
            elem._cst.fields["declared_name"] = [token_range(t)]

    def soften(self, k=0):
        """Reads a word that is also a name as a name here."""
        t = self.peek(k)
        if t.kind == NAME and not t.quoted and t.text in _SOFT_WORDS:
            t.quoted = True
            self.softened.append(t)

    def qualified(self):
        """`A::B` → (segments, tokens)."""
        self.soften()
        t = self.expect_name()
        segs, toks = [t.value], [t]
        while self.at_sym("::") and (self.soften(1) or self.is_name(1)):
            self.next()
            t = self.next()
            segs.append(t.value)
            toks.append(t)
        return segs, toks

    def chain(self):
        """`A::b.c` → (steps, tokens)."""
        segs, toks = self.qualified()
        steps = [segs]
        while self.at_sym(".") and (self.soften(1) or self.is_name(1)):
            self.next()
            s, t = self.qualified()
            steps.append(s)
            toks.extend(t)
        return steps, toks

    # --- documents and bodies --------------------------------------------------------
    def parse_into(self, root):
        self.items(root, top=True)

    def items(self, ns, top=False):
        while True:
            t = self.peek()
            if t.kind == EOF:
                return
            if t.is_sym("}"):
                if top:
                    self.report(t, "unexpected '}'")
                    self.next()
                    continue
                return
            start = self.pos
            try:
                self.item(ns)
            except SyntaxProblem as p:
                self.report(p.token, p.message)
                if p.token.kind == ERROR and self.peek() is p.token:
                    # A broken token ran to its line's end: resume after it.
                    self.next()
                else:
                    self.recover(start, self.toks[start].line)

    def recover(self, start, line):
        # Skip to the end of the broken member: its `;`, or a balanced body,
        # or a member keyword that starts a later line (a missing `;`).
        if self.pos == start and not self.at_sym("}"):
            self.next()
        depth = 0
        while True:
            t = self.peek()
            if t.kind == EOF:
                return
            if depth == 0 and t.line > line and t.kind == NAME and not t.quoted and t.text in _MEMBER_WORDS:
                return
            if t.is_sym("{"):
                depth += 1
            elif t.is_sym("}"):
                if depth == 0:
                    return
                depth -= 1
                if depth == 0:
                    self.next()
                    return
            elif t.is_sym(";") and depth == 0:
                self.next()
                return
            self.next()

    def body(self, elem):
        if self.accept_sym(";"):
            return
        if self.at_sym("{"):
            self.next()
            with self.nested():
                self.items(elem)
            self.expect_sym("}")
            return
        self.fail("';' or '{'")

    def item(self, ns):
        start = self.peek()
        if start.kind == COMMENT:
            self.next()
            c = self.new(E.Comment, ns, E.OwningMembership, start)
            c.body = clean_comment(start.value)
            return
        if start.kind == ERROR:
            self.fail("a member")
        if isinstance(ns, _RESULT_HOLDERS) and self.result_expression(ns):
            return
        visibility = None
        if self.peek().kind == NAME and self.peek().text in ("public", "private", "protected") and not self.peek().quoted:
            visibility = self.next().text
        return self.member(ns, start, visibility)

    def modifiers(self, prefixes):
        """Direction, modifier words and `#M` prefixes, in any order."""
        mods = set()
        direction = None
        while True:
            while self.at_sym("#"):
                self.next()
                prefixes.append(self.qualified())
            t = self.peek()
            if t.kind == NAME and not t.quoted and t.text in _DIRECTIONS:
                direction = self.next().text
            elif t.kind == NAME and not t.quoted and t.text in _MODIFIERS:
                if t.text in _SOFT_WORDS and any(self.at_sym(x, 1) for x in (":", ":>", ":>>", "[", ";", "=")):
                    return mods, direction  # `ref var[0..1]`: the name
                mods.add(self.next().text)
            else:
                return mods, direction

    def member(self, ns, start, visibility, prefixes=None):
        prefixes = [] if prefixes is None else prefixes
        mods, direction = self.modifiers(prefixes)
        if "end" in mods:
            self.skip_to_kind()
        t = self.peek()
        w = t.text if t.kind == NAME and not t.quoted else None
        if w is not None and w not in KERNEL_KINDS and (w in _SOFT_WORDS or w in REFERRING or w in STATEMENTS) and any(
            self.at_sym(x, 1) for x in (":", ":>", ":>>", "::>", "=", ":=", "[")
        ):
            t.quoted = True  # a word used as the member's name
            w = None
        if w in _HERITAGE_WORDS:
            membership = E.EndFeatureMembership if "end" in mods else E.FeatureMembership
            return self.usage(ns, start, E.ReferenceUsage, membership, mods, direction, prefixes)
        membership = E.EndFeatureMembership if "end" in mods else E.FeatureMembership
        if w in ("package",) or (w in ("library", "standard") and not mods):
            return self.package(ns, start)
        if w == "import":
            return self.import_(ns, E.Import, visibility)
        if w == "alias":
            return self.alias(ns, start)
        if w == "doc":
            return self.doc_(ns, start)
        if w == "comment":
            return self.comment(ns, start)
        if w == "rep" or self.at_language():
            return self.rep(ns, start)
        if w == "expose":
            return self.import_(ns, E.Expose, visibility)
        if w == "filter":
            self.next()
            rel = E.ElementFilterMembership()
            rel._doc, rel._owner = self.doc, ns
            ns._rels.append(rel)
            rel._member = self.expression(ns)
            rel._member._owner, rel._member._membership = ns, rel
            self.expect_sym(";")
            return
        if t.is_sym("@") or (w == "metadata" and not self.at_word("def", 1)):
            return self.metadata_usage(ns, start, prefixes)
        if w in ("subject", "return"):
            self.next()
            rel = E.SubjectMembership if w == "subject" else E.ParameterMembership
            more, direction2 = self.modifiers(prefixes)
            mods |= more
            kind = self.peek().text if self.peek().kind == NAME and not self.peek().quoted else None
            cls = E.ReferenceUsage
            if kind in KINDS:
                self.next()
                cls = KINDS[kind][1]
            elif kind in KERNEL_KINDS:
                self.next()
                cls = KERNEL_KINDS[kind]
            return self.usage(ns, start, cls, rel, mods, direction or direction2, prefixes)
        if w == "def" and (prefixes or "individual" in mods):
            # `#service def S`: a definition whose kind its metadata gives.
            self.next()
            cls = E.OccurrenceDefinition if "individual" in mods else E.Definition
            return self.definition(ns, start, cls, mods, prefixes)
        if w == "locale" and self.peek(1).kind == STRING:
            self.next()
            c = self.new(E.Comment, ns, E.OwningMembership, start)
            c.locale = self.next().value
            c.body = self.comment_body()
            self.finish(c)
            return c
        if w == "not" and (self.at_word("satisfy", 1) or self.at_word("verify", 1)):
            self.next()
            return self.member(ns, start, visibility, prefixes)
        if w in ("require", "assume"):
            self.next()
            while self.at_sym("#"):
                self.next()
                prefixes.append(self.qualified())
            kind = RequirementConstraintKind.Requirement if w == "require" else RequirementConstraintKind.Assumption
            if self.at_word("constraint"):
                self.next()
                cls = E.ConstraintUsage
            elif self.accept_word("requirement"):
                cls = E.RequirementUsage
            else:
                cls = E.ConstraintUsage
            u = self.usage(ns, start, cls, E.RequirementConstraintMembership, mods, direction, prefixes)
            u._membership.kind = kind
            return u
        if w == "assert":
            self.next()
            self.accept_word("not")
            if self.at_word("satisfy") or self.at_word("verify"):
                return self.member(ns, start, visibility, prefixes)
            if self.is_name() and any(self.at_sym(x, 1) for x in (";", "{", ".", "::")):
                # `assert [not] c { ... }`: asserts the named constraint.
                return self.referring(ns, start, E.AssertConstraintUsage, mods, direction, prefixes)
            self.accept_word("constraint")
            return self.usage(ns, start, E.AssertConstraintUsage, E.FeatureMembership, mods, direction, prefixes)
        if w in ("connect", "allocate", "bind"):
            cls = {"connect": E.ConnectionUsage, "allocate": E.AllocationUsage, "bind": E.ConnectorAsUsage}[w]
            return self.usage(ns, start, cls, E.FeatureMembership, mods, direction, prefixes)
        if w == "first" or (w == "then" and not self.member_follows(1)):
            return self.succession(ns, start)
        if w in ("then", "entry", "do", "exit", "else"):
            self.next()
            for v in ("public", "private", "protected"):
                if self.accept_word(v):
                    visibility = v
            if w == "else" or (w == "then" and self.member_follows(0)):
                return self.member(ns, start, visibility, prefixes)
            if self.accept_sym(";"):
                return None
            if self.member_follows(0):
                return self.member(ns, start, visibility, prefixes)
            return self.referring(ns, start, E.ActionUsage, mods, direction, prefixes)
        if w in STATEMENTS:
            return self.statement(ns, start, w, prefixes)
        if w in _RELATIONSHIP_MEMBERS:
            return self.skip_member()
        if w in REFERRING:
            self.next()
            kind = self.peek().text if self.peek().kind == NAME and not self.peek().quoted else None
            if kind == "use" and self.at_word("case", 1):
                self.next()
            if kind in KINDS:
                self.next()
                return self.usage(ns, start, KINDS[kind][1], membership, mods, direction, prefixes, by=True)
            return self.referring(ns, start, REFERRING[w], mods, direction, prefixes)
        if w == "enum" and not self.at_word("def", 1) and is_a_enum_def(ns):
            self.next()
            return self.usage(ns, start, E.EnumerationUsage, E.FeatureMembership, mods, direction, prefixes)
        if w == "multiplicity":
            self.next()
            m = self.new(E.MultiplicityRange, ns, E.OwningMembership, start)
            self.name_into(m)
            self.heritage(m, ns)
            self.body(m)
            self.finish(m)
            return m
        if w in KINDS:
            self.next()
            if w == "use":
                if not self.accept_word("case"):
                    self.fail("'case'")
            if w == "event" and self.at_word("occurrence"):
                self.next()
            implied = _FLOW_BASES.get(w)
            if w in ("succession", "message") and self.at_word("flow"):
                self.next()
                implied = _FLOW_BASES[f"{w} flow"]
                w = "flow"
            def_cls, use_cls = KINDS[w]
            if self.at_word("def"):
                self.next()
                elem = self.definition(ns, start, def_cls, mods, prefixes)
            elif w in ("snapshot", "timeslice", "event") and self.member_follows(0):
                return self.member(ns, start, visibility, prefixes)
            else:
                elem = self.usage(ns, start, use_cls, membership, mods, direction, prefixes)
            if implied is not None:
                elem._implied_base = implied
            return elem
        if w in KERNEL_KINDS:
            self.next()
            if w == "assoc":
                self.accept_word("struct")
            cls = KERNEL_KINDS[w]
            if issubclass(cls, E.Feature):
                return self.usage(ns, start, cls, membership, mods, direction, prefixes)
            return self.definition(ns, start, cls, mods, prefixes)
        if "variant" in mods and self.is_name() and (self.at_sym(";", 1) or self.at_sym("{", 1)):
            # `variant x;`: a variant that is the usage x, known by its name.
            name = self.peek()
            u = self.referring(ns, start, E.ReferenceUsage, mods, direction, prefixes)
            u.declared_name = name.value
            u._cst.fields["declared_name"] = [token_range(name)]
            return u
        if self.is_name() and self.unknown_word():
            # A word without a rule: never read it as a name.
            raise SyntaxProblem(t, f"unknown keyword '{t.text}'")
        if self.is_name() or (t.kind == SYMBOL and t.text in _HERITAGE_SYMBOL_TEXTS + ("=", ":=")) or mods or direction:
            cls = E.EnumerationUsage if is_a_enum_def(ns) and not mods else E.ReferenceUsage
            return self.usage(ns, start, cls, membership, mods, direction, prefixes)
        self.fail("a member")

    def skip_to_kind(self):
        """`end self2 [1] feature x`: what stands between `end` and the
        kind word is read and kept as nothing."""
        k = 0
        while k < 12:
            t = self.peek(k)
            if t.kind == NAME and not t.quoted and (t.text in KINDS or t.text in KERNEL_KINDS) and k > 0:
                self.pos += k
                return
            if t.is_sym(";") or t.is_sym("{") or t.is_sym(":") or t.is_sym(":>") or t.is_sym(":>>") or t.kind == EOF:
                return
            if t.kind == NAME and not t.quoted and t.text in _MODIFIERS and k > 0:
                self.pos += k
                self.modifiers([])
                return
            k += 1

    def unknown_word(self):
        """At a plain word followed by a declaration's name: a keyword the
        stand-in has no rule for."""
        if self.peek().quoted:
            return False
        n = self.peek(1)
        if n.kind == NAME:
            return n.quoted or n.text not in KEYWORDS
        return n.is_sym("<") and self.peek(2).kind == NAME and self.peek(3).is_sym(">")

    def member_follows(self, k):
        """Whether the token `k` ahead starts a member (a keyword, a
        modifier or a prefix) rather than a reference."""
        t = self.peek(k)
        if t.is_sym("#"):
            return True
        return t.kind == NAME and not t.quoted and t.text in _MEMBER_WORDS | _MODIFIERS | _DIRECTIONS | {
            "then", "first", "entry", "do", "exit", "bind", "metadata", "multiplicity",
        } | set(KINDS) | set(KERNEL_KINDS)

    def skip_member(self):
        """Reads a member up to its `;` or the end of its body, keeping
        nothing."""
        depth = 0
        while True:
            t = self.next()
            if t.kind == EOF:
                self.fail("';'")
            if t.is_sym("{"):
                depth += 1
            elif t.is_sym("}"):
                depth -= 1
                if depth <= 0:
                    return None
            elif t.is_sym(";") and depth == 0:
                return None

    def succession(self, ns, start):
        """`first a then b;`, `then b;`: a connector between the steps."""
        c = self.new(E.ConnectorAsUsage, ns, E.FeatureMembership, start)
        while self.accept_word("first") or self.accept_word("then"):
            self.connector_end(c, ns)
            if self.accept_word("if"):
                self.own(c, self.expression(ns), E.OwningMembership)
        self.body(c)
        self.finish(c)
        return c

    def referring(self, ns, start, cls, mods, direction, prefixes):
        """`perform a.b;`, `exhibit s;`, `satisfy R by x;`: a usage that
        refers to the named one."""
        u = self.new(cls, ns, E.FeatureMembership, start)
        u._is_reference = "ref" in mods
        self.add_prefixes(u, prefixes, ns)
        steps, toks = self.chain()
        self.relate(u, E.ReferenceSubsetting, steps, toks, ns, u)
        self.heritage(u, ns)
        self.value(u)
        if self.accept_word("by"):
            self.chain()
        self.body(u)
        self.finish(u)
        return u

    def statement(self, ns, start, w, prefixes):
        """An action written as a statement (`accept s : S via p;`, `send x
        to y;`, `if c then a;`, `while c { }`): an action whose text is read
        leniently; a body becomes its members."""
        u = self.new(E.ActionUsage, ns, E.FeatureMembership, start)
        self.add_prefixes(u, prefixes, ns)
        self.next()
        u._implied_base = _STATEMENT_BASES.get(w)
        if (w == "transition" and (self.at_word("first", 1) or self.at_sym(":", 1))) or (
            w == "accept" and self.is_name() and (self.at_sym(":", 1) or self.at_sym(";", 1))
        ):
            # `transition t first a then b`; in `transition a then b` the name is the source.
            self.name_into(u)
        self.statement_tail(u, ns)
        self.finish(u)
        return u

    def statement_tail(self, u, scope):
        depth = 0
        while True:
            t = self.peek()
            if t.kind == EOF:
                self.fail("';' or '{'")
            if depth == 0 and t.is_word("accept") and type(u) is E.ActionUsage and self.is_name(1) and self.at_sym(":", 2):
                # The payload a transition accepts: a parameter of the transition.
                self.next()
                p = self.new(E.ReferenceUsage, u, E.ParameterMembership, self.peek())
                self.name_into(p)
                self.heritage(p, scope)
                self.finish(p)
                continue
            if t.is_sym("(") or t.is_sym("["):
                depth += 1
            elif t.is_sym(")") or t.is_sym("]"):
                depth -= 1
            elif depth == 0 and t.is_sym(";"):
                self.next()
                break
            elif depth == 0 and t.is_sym("{"):
                # An expression body (`{ in x; ... }`) inside the statement
                # or the action's own body.
                self.body(u)
                if self.at_word("else") or self.at_word("until") or self.at_word("then"):
                    continue
                self.accept_sym(";")
                break
            elif depth == 0 and t.is_sym("}"):
                break
            self.next()

    def result_expression(self, ns) -> bool:
        """The closing result expression of a constraint or calculation
        body (`{ a > 0 }`); False, with nothing consumed, when the member
        is not one."""
        t = self.peek()
        if t.kind == NAME and not t.quoted and t.text in KEYWORDS and t.text not in _EXPRESSION_WORDS:
            return False
        saved, softened = self.pos, len(self.softened)
        try:
            e = self.expression(ns)
            ok = self.at_sym("}")
        except SyntaxProblem:
            ok = False
        if not ok:
            self.pos = saved
            for t in self.softened[softened:]:
                t.quoted = False
            del self.softened[softened:]
            return False
        self.own(ns, e, E.ResultExpressionMembership)
        return True

    def package(self, ns, start):
        cls = E.Package
        if self.accept_word("standard"):
            cls = E.LibraryPackage
        if self.accept_word("library"):
            cls = E.LibraryPackage
        if not self.accept_word("package"):
            self.fail("'package'")
        p = self.new(cls, ns, E.OwningMembership, start)
        self.name_into(p)
        self.body(p)
        self.finish(p)
        return p

    def import_target(self, rel):
        segs, toks = self.qualified()
        if self.accept_sym("::"):
            if self.accept_sym("**"):
                rel.is_namespace = rel.is_recursive = True
            elif self.accept_sym("*"):
                rel.is_namespace = True
                if self.at_sym("::") and self.at_sym("**", 1):
                    self.next()
                    self.next()
                    rel.is_recursive = True
            else:
                self.fail("a name, '*' or '**'")
        rel._ref = Ref([segs], toks, rel._owner)
        return rel

    def import_(self, ns, cls, visibility):
        """`import X;`, `import X::*;`, `import X::**;` and the same with
        `expose`."""
        self.next()
        self.accept_word("all")
        rel = cls()
        rel._doc, rel._owner = self.doc, ns
        rel.visibility = visibility or "public"
        self.import_target(rel)
        ns._rels.append(rel)
        while self.at_sym("["):
            # A filter condition on what is imported: read, not applied.
            self.next()
            self.expression(ns)
            self.expect_sym("]")
        self.body(rel)

    def alias(self, ns, start):
        self.next()
        rel = E.Membership()
        rel._doc, rel._owner = self.doc, ns
        rel._cst = CstNode(PositionUtf8(start.line, start.col), PositionUtf8(start.line, start.col), {})
        self.name_into(rel)
        if not self.accept_word("for"):
            self.fail("'for'")
        segs, toks = self.qualified()
        rel._ref = Ref([segs], toks, ns, rel)
        ns._rels.append(rel)
        self.body(rel)
        self.finish(rel)

    def comment_body(self):
        t = self.peek()
        if t.kind != COMMENT:
            self.fail("a comment body '/* ... */'")
        self.next()
        return clean_comment(t.value)

    def doc_(self, ns, start):
        self.next()
        d = self.new(E.Documentation, ns, E.OwningMembership, start)
        self.name_into(d)
        if self.accept_word("locale"):
            d.locale = self.next().value
        d.body = self.comment_body()
        self.finish(d)

    def comment(self, ns, start):
        self.next()
        c = self.new(E.Comment, ns, E.OwningMembership, start)
        self.name_into(c)
        self.about(c, ns)
        if self.accept_word("locale"):
            c.locale = self.next().value
        c.body = self.comment_body()
        self.finish(c)

    def about(self, annotating, scope):
        """`about A, B`: what a comment or metadata annotates."""
        if self.accept_word("about"):
            while True:
                segs, toks = self.qualified()
                self.relate(annotating, E.Annotation, [segs], toks, scope)
                if not self.accept_sym(","):
                    break

    def rep(self, ns, start):
        r = self.new(E.TextualRepresentation, ns, E.OwningMembership, start)
        if self.accept_word("rep") and not self.at_language():
            self.name_into(r)
        if not self.accept_word("language"):
            self.fail("'language'")
        t = self.peek()
        if t.kind != STRING:
            self.fail("a language string")
        r.language = self.next().value
        t = self.peek()
        if t.kind != COMMENT:
            self.fail("a representation body '/* ... */'")
        r.body = self.next().value
        self.finish(r)

    def metadata_usage(self, ns, start, prefixes):
        self.next()  # '@' or 'metadata'
        m = self.new(E.MetadataUsage, ns, E.OwningMembership, start)
        if self.is_name() and (self.at_sym(":", 1) or self.at_word("typed", 1)):
            self.name_into(m)
            self.next()
            self.accept_word("by")
        segs, toks = self.qualified()
        self.relate(m, E.FeatureTyping, [segs], toks, ns, m)
        self.about(m, ns)
        self.body(m)
        self.finish(m)
        return m

    def add_prefixes(self, elem, prefixes, scope):
        if not prefixes:
            return
        elem._prefix_items = []
        for segs, toks in prefixes:
            m = E.MetadataUsage()
            m._doc, m._owner = self.doc, elem
            rel = E.OwningMembership()
            rel._doc, rel._owner, rel._member = self.doc, elem, m
            m._membership = rel
            elem._rels.append(rel)
            self.relate(m, E.FeatureTyping, [segs], toks, scope, m)
            elem._prefix_items.append(m)

    def definition(self, ns, start, cls, mods, prefixes):
        d = self.new(cls, ns, E.OwningMembership, start)
        d.is_abstract = "abstract" in mods
        self.add_prefixes(d, prefixes, ns)
        self.accept_word("all")
        self.name_into(d)
        self.heritage(d, ns, definition=True)
        self.body(d)
        self.finish(d)
        return d

    def heritage(self, f, scope, definition=False, ref_scope=None):
        while True:
            t = self.peek()
            rel_cls = None
            if t.kind == SYMBOL and t.text in _HERITAGE_SYMBOLS:
                self.next()
                rel_cls = _HERITAGE_SYMBOLS[t.text]
            elif t.is_word("defined") or t.is_word("typed"):
                self.next()
                if not self.accept_word("by"):
                    self.fail("'by'")
                rel_cls = E.FeatureTyping
            elif t.is_word("specializes") or t.is_word("subsets") or t.is_word("redefines") or t.is_word("references"):
                self.next()
                rel_cls = _HERITAGE_WORDS[t.text]
            elif t.is_sym("["):
                self.multiplicity(f)
                continue
            elif t.is_word("ordered") or t.is_word("nonunique") or t.is_word("all"):
                self.next()
                continue
            elif (t.kind == NAME and not t.quoted and t.text in _SKIPPED_RELATIONS) or t.is_sym("=>"):
                self.next()
                self.chains_list()
                continue
            elif t.kind == NAME and not t.quoted and (t.text, self.peek(1).text) in _SKIPPED_PHRASES:
                self.next()
                self.next()
                self.chains_list()
                continue
            else:
                return
            if definition and rel_cls in (E.Subsetting, E.FeatureTyping):
                rel_cls = E.Subclassification
            within = ref_scope if ref_scope is not None and rel_cls is E.ReferenceSubsetting else scope
            while True:
                self.accept_sym("~")  # a conjugated port type
                steps, toks = self.chain()
                self.relate(f, rel_cls, steps, toks, within, f)
                if not self.accept_sym(","):
                    break

    def chains_list(self):
        while True:
            self.accept_sym("~")
            self.chain()
            if not self.accept_sym(","):
                return

    def multiplicity(self, f):
        start = self.expect_sym("[")
        m = self.new(E.MultiplicityRange, f, E.OwningMembership, start)
        first = self.bound(m)
        if self.accept_sym(".."):
            m._lower, m._upper = first, self.bound(m)
        else:
            m._upper = first
        self.expect_sym("]")
        self.finish(m)

    def bound(self, m):
        t = self.peek()
        if t.is_sym("*"):
            self.next()
            e = E.LiteralInfinity()
            e._doc = self.doc
            return self.own(m, e)
        return self.expression(m, level=_RANGE_LEVEL + 1)

    def usage(self, ns, start, cls, membership, mods, direction, prefixes, by=False):
        u = self.new(cls, ns, membership, start)
        u.is_abstract = "abstract" in mods
        u._is_reference = "ref" in mods or cls is E.ReferenceUsage or E.AttributeUsage in cls.__mro__
        u.is_end = "end" in mods
        if direction is not None:
            u.direction = E.direction_of(direction)
        self.add_prefixes(u, prefixes, ns)
        self.accept_word("all")
        connector = cls is E.ConnectorAsUsage
        if self.is_name() and (self.at_sym(".", 1) or self.at_sym("::", 1)) and not self.at_ends(connector):
            # `event a.b;`: a usage that refers to another one.
            steps, toks = self.chain()
            self.relate(u, E.ReferenceSubsetting, steps, toks, ns, u)
            self.heritage(u, ns)
        elif not self.at_ends(connector):
            self.name_into(u)
            # What a connector's end references is named where the connector is.
            outer = ns._owner if membership is E.EndFeatureMembership and isinstance(ns, E.ConnectorAsUsage) else None
            self.heritage(u, ns, ref_scope=outer)
        if connector and self.accept_word("of"):
            self.connector_ends(u, ns)
        elif self.accept_word("of"):
            # The payload of a flow or message: a typing of the flow.
            if self.is_name() and self.at_sym(":", 1):
                self.next()
                self.next()
            steps, toks = self.chain()
            self.relate(u, E.FeatureTyping, steps, toks, ns, u)
            self.heritage(u, ns)
            if self.at_sym("="):
                self.value(u)
        self.ends(u, ns)
        self.value(u)
        if by and self.accept_word("by"):
            steps, toks = self.chain()
        self.accept_word("parallel")
        t = self.peek()
        if t.kind == NAME and not t.quoted and t.text in STATEMENTS:
            # `action a assign x := 1;`: an action written as a statement.
            self.next()
            self.statement_tail(u, ns)
            self.finish(u)
            return u
        self.body(u)
        self.finish(u)
        return u

    def at_ends(self, connector=False):
        """At the ends of a connector (`connect a to b`, `a.b to c`,
        `[1] a to b`, `bind a = b`, `first a then b`, `from a to b`)."""
        t = self.peek()
        if t.is_word("connect") or t.is_word("allocate") or t.is_word("bind") or t.is_word("first") or t.is_word("from"):
            return True
        k = 0
        if t.is_sym("["):
            # `[1] a to b` are ends; `[1] bind a = b` is the connector's own multiplicity.
            while not self.at_sym("]", k) and self.peek(k).kind != EOF:
                k += 1
            after = self.peek(k + 1)
            return not any(after.is_word(w) for w in ("bind", "connect", "allocate", "first", "from"))
        while self.is_name(k):
            k += 1
            if not (self.at_sym(".", k) or self.at_sym("::", k)):
                break
            k += 1
        if k == 0:
            return False
        return self.at_word("to", k) or connector and (self.at_word("then", k) or self.at_sym("=", k))

    def ends(self, c, scope):
        t = self.peek()
        if t.is_word("connect") or t.is_word("allocate"):
            self.next()
            self.connector_ends(c, scope)
        elif t.is_word("bind"):
            self.next()
            self.connector_end(c, scope)
            self.expect_sym("=")
            self.connector_end(c, scope)
        elif t.is_word("first"):
            self.next()
            self.connector_end(c, scope)
            while self.accept_word("then"):
                self.connector_end(c, scope)
        elif t.is_word("from") or self.at_ends(type(c) is E.ConnectorAsUsage):
            self.accept_word("from")
            self.connector_ends(c, scope)

    def connector_ends(self, c, scope):
        if self.accept_sym("("):
            while True:
                self.connector_end(c, scope)
                if not self.accept_sym(","):
                    break
            self.expect_sym(")")
            return
        self.connector_end(c, scope)
        if not (self.accept_word("to") or self.accept_word("then") or self.accept_sym("=")):
            self.fail("'to'")
        self.connector_end(c, scope)

    def connector_end(self, c, scope):
        start = self.peek()
        end = self.new(E.ReferenceUsage, c, E.EndFeatureMembership, start)
        end.is_end = True
        if self.at_sym("["):
            self.multiplicity(end)
        if self.is_name() and (self.at_sym("::>", 1) or self.at_word("references", 1)):
            self.name_into(end)
            self.next()
        steps, toks = self.chain()
        self.relate(end, E.ReferenceSubsetting, steps, toks, scope, end)
        if self.at_sym("["):
            self.multiplicity(end)
        self.finish(end)

    def value(self, f):
        t = self.peek()
        is_default = False
        if t.is_word("default"):
            self.next()
            is_default = True
            t = self.peek()
        if t.is_sym("=") or t.is_sym(":="):
            self.next()
        elif not is_default:
            return
        fv = E.FeatureValue()
        fv._doc, fv._owner = self.doc, f
        fv.is_default = is_default
        fv.is_initial = t.is_sym(":=")
        f._rels.append(fv)
        e = self.expression(f)
        fv._member = e
        e._owner, e._membership = f, fv

    # --- expressions -----------------------------------------------------------------------
    def own(self, owner, e, rel_cls=E.ParameterMembership):
        rel = rel_cls()
        rel._doc, rel._owner, rel._member = self.doc, owner, e
        e._owner, e._membership = owner, rel
        owner._rels.append(rel)
        return e

    def mk(self, cls, start, *args):
        e = cls(*args)
        e._doc = self.doc
        e._cst = CstNode(PositionUtf8(start.line, start.col), PositionUtf8(start.end_line, start.end_col), {})
        return e

    def operator(self, op, start, args):
        e = self.mk(E.OperatorExpression, start, op)
        for a in args:
            e._args.append(self.own(e, a))
        self.finish(e)
        return e

    def nested(self):
        """Counts one level of nesting (a body, an operand): recursion is
        bounded so that deep text gives a diagnostic, not a crash."""
        if self.depth >= MAX_NESTING:
            raise SyntaxProblem(self.peek(), f"nesting deeper than {MAX_NESTING} levels")
        self.depth += 1
        return _Nesting(self)

    def expression(self, scope, level=0):
        """An expression whose binary operators bind at `level` or tighter
        (precedence climbing)."""
        with self.nested():
            if level == 0 and self.at_word("if"):
                start = self.next()
                c = self.expression(scope, 1)
                self.expect_sym("?")
                a = self.expression(scope, 1)
                if not self.accept_word("else"):
                    self.fail("'else'")
                b = self.expression(scope, 0)
                return self.operator(Operator.If, start, [c, a, b])
            left = self.unary(scope)
            while True:
                t = self.peek()
                entry = _BINARY_BY_TEXT.get(t.text) if t.kind == SYMBOL or (t.kind == NAME and not t.quoted) else None
                if entry is None or entry[0] < level:
                    return left
                op_level, op = entry
                self.next()
                if op_level == _CLASSIFICATION_LEVEL:
                    right = self.type_ref(scope)
                elif op_level == len(_BINARY) - 1:
                    right = self.expression(scope, op_level)  # right associative
                else:
                    right = self.expression(scope, op_level + 1)
                left = self.operator(op, t, [left, right])

    def type_ref(self, scope):
        start = self.peek()
        steps, toks = self.chain()
        return self.reference(scope, start, steps, toks)

    def reference(self, scope, start, steps, toks):
        e = self.mk(E.FeatureReferenceExpression, start)
        e._refrel = self.relate(e, E.Membership, steps, toks, scope)
        self.finish(e)
        return e

    def unary(self, scope):
        t = self.peek()
        if (t.kind == SYMBOL or (t.kind == NAME and not t.quoted)) and t.text in _PREFIX_CLASSIFICATION:
            self.next()
            return self.operator(_PREFIX_CLASSIFICATION[t.text], t, [self.type_ref(scope)])
        if (t.kind == SYMBOL or (t.kind == NAME and not t.quoted)) and t.text in _UNARY:
            self.next()
            with self.nested():
                operand = self.unary(scope)
            return self.operator(_UNARY[t.text], t, [operand])
        return self.postfix(scope, self.primary(scope))

    def postfix(self, scope, e):
        while True:
            t = self.peek()
            if t.is_sym("["):
                self.next()
                unit = self.expression(scope)
                self.expect_sym("]")
                e = self.operator(Operator.Quantity, t, [e, unit])
            elif t.is_sym(".") and (self.soften(1) or self.is_name(1)):
                self.next()
                start = self.peek()
                steps, toks = self.qualified()
                member = self.reference(scope, start, [steps], toks)
                member._refrel._ref.lhs = e  # looked up in what `e` gives first
                if self.at_sym("("):
                    # A call of a feature of the value: only its arguments are kept.
                    self.arguments(scope, member)
                e = self.operator(Operator.Dot, t, [e, member])
            elif t.is_sym("#") and self.at_sym("(", 1):
                self.next()
                self.next()
                items = [e]
                while True:
                    items.append(self.expression(scope))
                    if not self.accept_sym(","):
                        break
                self.expect_sym(")")
                e = self.operator(Operator.Index, t, items)
            elif t.is_sym(".") and self.at_sym("?", 1):
                self.next()
                self.next()
                e = self.operator(Operator.Select, t, [e, self.body_expression(scope)])
            elif t.is_sym(".") and self.at_sym("{", 1):
                self.next()
                e = self.operator(Operator.Collect, t, [e, self.body_expression(scope)])
            elif t.is_sym("->"):
                # `x->f(args)`, `x->f { in y; ... }`: an invocation of f with x first.
                self.next()
                start = self.peek()
                steps, toks = self.qualified()
                call = self.mk(E.InvocationExpression, start)
                call._typerel = self.relate(call, E.Membership, [steps], toks, scope)
                call._args.append(self.own(call, e))
                if self.at_sym("("):
                    self.arguments(scope, call)
                elif self.at_sym("{"):
                    call._args.append(self.own(call, self.body_expression(scope)))
                elif self.is_name():
                    ref_start = self.peek()
                    s2, t2 = self.qualified()
                    call._args.append(self.own(call, self.reference(scope, ref_start, [s2], t2)))
                self.finish(call)
                e = call
            else:
                return e

    def arguments(self, scope, call):
        """`( a, b )` or `( x = a, y = b )`, appended to a call's arguments."""
        self.expect_sym("(")
        if not self.at_sym(")"):
            while True:
                if self.is_name() and self.at_sym("=", 1):
                    self.next()
                    self.next()
                arg = self.own(call, self.expression(scope))
                if isinstance(call, E.InvocationExpression):
                    call._args.append(arg)
                if not self.accept_sym(","):
                    break
        self.expect_sym(")")

    def body_expression(self, scope):
        """`{ in x; ... result }`: an expression with its own parameters."""
        start = self.expect_sym("{")
        e = self.mk(E.Expression, start)
        rel = E.OwningMembership()
        rel._doc, rel._owner, rel._member = self.doc, scope, e
        e._owner, e._membership = scope, rel
        with self.nested():
            self.items(e)
        self.expect_sym("}")
        self.finish(e)
        return e

    def primary(self, scope):
        t = self.peek()
        if t.kind == NUMBER:
            self.next()
            cls = E.LiteralInteger if isinstance(t.value, int) else E.LiteralRational
            e = self.mk(cls, t, t.value)
            return e
        if t.kind == STRING:
            self.next()
            return self.mk(E.LiteralString, t, t.value)
        if t.is_word("true") or t.is_word("false"):
            self.next()
            return self.mk(E.LiteralBoolean, t, t.text == "true")
        if t.is_word("null"):
            self.next()
            return self.mk(E.NullExpression, t)
        if t.is_sym("*"):
            self.next()
            return self.mk(E.LiteralInfinity, t, None)
        if t.is_sym("("):
            self.next()
            if self.accept_sym(")"):
                return self.mk(E.NullExpression, t)
            items = [self.expression(scope)]
            while self.accept_sym(","):
                items.append(self.expression(scope))
            self.expect_sym(")")
            return items[0] if len(items) == 1 else self.operator(Operator.Comma, t, items)
        if t.is_sym("{"):
            return self.body_expression(scope)
        if t.is_word("new"):
            self.next()
            steps, toks = self.chain()
            e = self.mk(E.InvocationExpression, t)
            e._typerel = self.relate(e, E.Membership, steps, toks, scope)
            if self.at_sym("("):
                self.arguments(scope, e)
            self.finish(e)
            return e
        if self.is_name() or t.kind == NAME and t.text in _SOFT_WORDS:
            self.soften()
            steps, toks = self.chain()
            if self.at_sym("("):
                e = self.mk(E.InvocationExpression, t)
                e._typerel = self.relate(e, E.Membership, steps, toks, scope)
                self.arguments(scope, e)
                self.finish(e)
                return e
            return self.reference(scope, t, steps, toks)
        self.fail("an expression")


def is_a_enum_def(ns):
    return isinstance(ns, E.EnumerationDefinition)


def clean_comment(body: str) -> str:
    """The text of a `/* ... */` body: each line without its leading
    decoration (`*` and one space), outer blank lines dropped."""
    lines = body.split("\n")
    out = []
    for i, line in enumerate(lines):
        s = line.strip() if i else line.strip()
        if i and s.startswith("*"):
            s = s[1:]
            if s.startswith(" "):
                s = s[1:]
        out.append(s.rstrip())
    while out and not out[0]:
        out.pop(0)
    while out and not out[-1]:
        out.pop()
    return "\n".join(out)
