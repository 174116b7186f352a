"""Notation beyond declarations: values, expressions, comments,
representations, imports and edits."""

import os
import pathlib
import subprocess
import sys

import pytest

from _plovik import core

from plovik_fixtures import by_qname, load  # noqa: F401 (load is a fixture)

NOTATION = """\
package N {
    attribute def Num;
    calc def Twice { in x; }
    part p {
        attribute a = 1 + 2 * 3;
        attribute b := "text";
        attribute c default = true;
        attribute d default := 2.5;
        attribute e = Twice(a);
        attribute f = (1, 2, 3);
        attribute g = -a;
        attribute h = 5 [Num];
        attribute i = null;
        attribute j = if a > 1 ? a else b;
        attribute k = a ** 2 ** 3;
        part q { attribute r; }
        attribute l = q.r;
    }
    comment about p /* a note */
    /* loose comment */
    rep Inline language "python" /* print(1) */
    language "alf" /* x = 1; */
}
"""


@pytest.fixture
def notation(load):
    model, diags = load(NOTATION)
    assert not diags, str(diags)
    return model


def value(model, name):
    return by_qname(model, f"N::p::{name}").feature_value_expression


@pytest.mark.parametrize(
    "name, is_default, is_initial",
    [("a", False, False), ("b", False, True), ("c", True, False), ("d", True, True)],
)
def test_feature_value_kinds(notation, name, is_default, is_initial):
    fv = by_qname(notation, f"N::p::{name}").feature_value
    assert (fv.is_default, fv.is_initial) == (is_default, is_initial)


@pytest.mark.parametrize(
    "name, cls, literal",
    [
        ("b", core.LiteralString, "text"),
        ("c", core.LiteralBoolean, True),
        ("d", core.LiteralRational, 2.5),
    ],
)
def test_literals(notation, name, cls, literal):
    e = value(notation, name)
    assert type(e) is cls and e.value == literal


def operators(e):
    """The expression tree as nested (operator, arguments) tuples."""
    if isinstance(e, core.OperatorExpression):
        return (e.operator.name, [operators(a) for a in e.arguments.collect()])
    if isinstance(e, core.InvocationExpression):
        return ("call", e.instantiated_type.name, [operators(a) for a in e.arguments.collect()])
    if isinstance(e, core.FeatureReferenceExpression):
        return e.referent.name
    if isinstance(e, core.NullExpression):
        return None
    return e.value


@pytest.mark.parametrize(
    "name, tree",
    [
        ("a", ("Plus", [1, ("Multiply", [2, 3])])),
        ("e", ("call", "Twice", ["a"])),
        ("f", ("Comma", [1, 2, 3])),
        ("g", ("Minus", ["a"])),
        ("h", ("Quantity", [5, "Num"])),
        ("i", None),
        ("j", ("If", [("Greater", ["a", 1]), "a", "b"])),
        ("k", ("ExponentStar", ["a", ("ExponentStar", [2, 3])])),
    ],
)
def test_expression_trees(notation, name, tree):
    assert operators(value(notation, name)) == tree


def test_operator_expression_is_an_invocation(notation):
    e = value(notation, "a")
    assert isinstance(e, core.InvocationExpression) and isinstance(e, core.Expression) and isinstance(e, core.Feature)
    assert e.instantiated_type is None


def test_chain_in_an_expression_refers_to_a_chain(notation):
    ref = value(notation, "l")
    assert isinstance(ref, core.FeatureReferenceExpression)
    assert [f.name for f in ref.referent.chaining_features.collect()] == ["q", "r"]
    assert ref.referent.feature_target is by_qname(notation, "N::p::q::r")


def test_comments_and_representations(notation):
    n = by_qname(notation, "N")
    comments = [e for e in n.children.elements if type(e) is core.Comment]
    assert [c.body for c in comments] == ["a note", "loose comment"]
    reps = [e for e in n.children.elements if isinstance(e, core.TextualRepresentation)]
    assert [(r.name, r.language, r.body) for r in reps] == [("Inline", "python", " print(1) "), (None, "alf", " x = 1; ")]
    assert n.documentation.collect() == []


def test_edits(notation):
    p = by_qname(notation, "N::p")
    before = len(p.children.elements)
    rel, part = p.children.append(core.FeatureMembership, core.PartUsage)
    assert type(rel) is core.FeatureMembership and type(part) is core.PartUsage
    assert part.owner is p and part in p.features.collect()
    rel2, conn = p.children.append(core.OwningMembership, core.ConnectionUsage)
    e1 = conn.declared_ends.append()
    e2 = conn.declared_ends.append()
    assert [type(x) for x in e1] == [core.EndFeatureMembership, core.Feature]
    a, b = by_qname(notation, "N::p::a"), by_qname(notation, "N::p::b")
    e1[1].heritage.append(core.ReferenceSubsetting, a, core.NameID.Regular)
    sub, chain = e2[1].heritage.append_chain(core.ReferenceSubsetting, [a, b])
    assert type(sub) is core.ReferenceSubsetting and chain.feature_target is b
    assert conn.source_feature is a and conn.target_features.collect() == [chain]
    e1[1].is_end = True
    assert p.children.remove_element(conn) is True
    assert p.children.remove_element(part) is True
    assert p.children.remove_element(part) is False
    assert len(p.children.elements) == before
    assert conn not in notation.nodes(core.ConnectionUsage)


def test_import_of_one_member(load):
    model, diags = load(
        """\
        package A { part def X; part def Y; }
        package B { import A::X; part x : X; part y : Y; }
        """
    )
    assert [d.message for d in diags.sema] == ["cannot resolve 'Y'"]
    assert list(by_qname(model, "B::x").heritage.elements) == [by_qname(model, "A::X")]


def test_library_packages(load):
    model, diags = load("standard library package S { part def A; }\nlibrary package L { part def B; }\n")
    assert not diags
    assert [type(p) for p in model.nodes(core.Package)] == [core.LibraryPackage, core.LibraryPackage]


@pytest.mark.parametrize(
    "script, args, expected",
    [
        ("bench_load.py", ["3", "200", "1"], ["0 diagnostics", "elements/s"]),
        ("bench_filter.py", ["30", "1"], ["0 diagnostics", "31 elements, 20 kept", "evaluations/s"]),
    ],
)
def test_benchmark_runs(script, args, expected):
    root = pathlib.Path(__file__).resolve().parent.parent
    env = dict(os.environ, PYTHONPATH=str(root))
    out = subprocess.run(
        [sys.executable, str(root / "bench" / script), *args],
        capture_output=True, text=True, check=True, env=env,
    )
    assert [e in out.stdout for e in expected] == [True] * len(expected), out.stdout


KERNEL_AND_SYSTEMS = """\
package K {
    abstract datatype D;
    class C specializes D intersects D disjoint from D;
    struct all S specializes C { feature f : D[0..*] ordered; composite step st; }
    assoc A { end feature a : C; end [1] feature b : C; }
    function F { in x : D; return : D; x }
    predicate Pr { in x : D; inv { x != null } }
    metaclass M;
    feature top : S { feature redefines f; }
    specialization Sp subtype C specializes D;
    part def Engine { port fuel : ~FuelPort; action run { first start; then done; } }
    port def FuelPort;
    part def Car {
        part e : Engine;
        part other : Engine;
        connect [1] e.fuel to [1] other.fuel;
        bind e = other;
        flow of D from e.fuel to other.fuel;
        perform e.run;
        variation part choice : Engine { variant e; }
        action drive {
            first start;
            then action go;
            accept sig : D via e.fuel;
            if true then go;
            assign x := 1;
        }
        state s { entry; then off; state off; transition t first off then off; transition off then off; }
        use case u { objective o; subject v : Car; actor a : Engine; include use case inc [1..2]; }
        analysis an { return r : D; }
        constraint limit { in m; m > 0 }
        assert not limit { :>> m = 1; }
    }
}
"""


@pytest.mark.parametrize(
    "name, cls",
    [
        ("K::D", core.AttributeDefinition),
        ("K::C", core.OccurrenceDefinition),
        ("K::S", core.ItemDefinition),
        ("K::S::f", core.Feature),
        ("K::S::st", core.ActionUsage),
        ("K::A", core.ConnectionDefinition),
        ("K::A::b", core.Feature),
        ("K::F", core.CalculationDefinition),
        ("K::Pr", core.ConstraintDefinition),
        ("K::M", core.MetadataDefinition),
        ("K::top", core.Feature),
        ("K::Engine::fuel", core.PortUsage),
        ("K::Car::choice::e", core.ReferenceUsage),
        ("K::Car::drive::go", core.ActionUsage),
        ("K::Car::s::off", core.StateUsage),
        ("K::Car::s::t", core.ActionUsage),
        ("K::Car::u", core.CalculationUsage),
        ("K::Car::u::o", core.RequirementUsage),
        ("K::Car::u::a", core.PartUsage),
        ("K::Car::u::inc", core.CalculationUsage),
        ("K::Car::an::r", core.ReferenceUsage),
    ],
)
def test_kernel_and_systems_notation(load, name, cls):
    model, diags = load(KERNEL_AND_SYSTEMS)
    assert not diags.parser, str(diags)
    assert not [d for d in diags.sema if d.code == "duplicate-name"], str(diags)
    assert type(by_qname(model, name)) is cls


def test_kernel_and_systems_relationships(load):
    model, diags = load(KERNEL_AND_SYSTEMS)
    assert not diags.parser, str(diags)
    engine = by_qname(model, "K::Engine")
    assert list(by_qname(model, "K::Engine::fuel").heritage.elements) == [by_qname(model, "K::FuelPort")]
    assert list(by_qname(model, "K::C").heritage.elements) == [by_qname(model, "K::D")]
    assert list(by_qname(model, "K::Car::choice::e").heritage.elements) == [by_qname(model, "K::Car::e")]
    car = by_qname(model, "K::Car")
    kinds = [type(u).__name__ for u in car.owned_features]
    assert kinds.count("ConnectorAsUsage") == 1 and kinds.count("ConnectionUsage") == 2
    connect = next(u for u in car.owned_features if type(u) is core.ConnectionUsage)
    assert [e.declared_multiplicity.cached_upper_bound for e in connect.declared_ends] == [2, 2]
    assert connect.source_feature.feature_target is engine.get_member("fuel")
    (asserted,) = [u for u in car.owned_features if type(u) is core.AssertConstraintUsage]
    assert list(asserted.heritage.elements) == [by_qname(model, "K::Car::limit")]
    assert [f.name for f in asserted.owned_features] == ["m"]
    perform = next(u for u in car.owned_features if type(u) is core.ActionUsage and u.name is None)
    assert list(perform.heritage.elements)[0].feature_target is engine.get_member("run")


def test_a_transition_owns_the_payload_it_accepts(load):
    model, diags = load(
        """\
        package P {
            attribute def Sig;
            state s { state a; state b; transition t first a accept sig : Sig then b; }
            attribute got = s.t.sig;
        }
        """
    )
    assert not diags, str(diags)
    t = by_qname(model, "P::s::t")
    assert type(t) is core.ActionUsage
    sig = by_qname(model, "P::s::t::sig")
    assert list(sig.heritage.elements) == [by_qname(model, "P::Sig")]
    assert by_qname(model, "P::got").feature_value_expression.referent.feature_target is sig
