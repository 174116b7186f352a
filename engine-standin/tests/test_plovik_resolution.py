"""Name resolution, exposure and connections."""

import time

import pytest

from _plovik import core

from plovik_fixtures import by_qname, load  # noqa: F401 (load is a fixture)

SCOPES = {
    "lib.sysml": """\
        package Lib {
            part def Engine { part piston; }
            package Deep { part def Gear; package Deeper { part def Bolt; } }
        }
        part def GlobalThing;
        """,
    "model.sysml": """\
        package M {
            private import Lib::*;
            import Lib::Deep::**;
            alias E for Lib::Engine;
            alias <sh> Shorty for Lib::Deep::Gear;
            part def Local;
            part lexical : Local;
            part imported : Engine;
            part recursive : Bolt;
            part aliased : E;
            part short : sh;
            part global : GlobalThing;
            part qualified : Lib::Deep::Gear;
            part motor : Engine { part p :>> piston; }
            package Inner { part nested : Local; part outer : M::Local; }
            part def Typed { import Lib::Deep::Gear; part g : Gear; }
            part chained : Local { ref r :> motor.p; }
        }
        """,
}


@pytest.fixture
def scopes(load):
    model, diags = load(SCOPES)
    assert not diags, str(diags)
    return model


@pytest.mark.parametrize(
    "usage, target",
    [
        ("M::lexical", "M::Local"),
        ("M::imported", "Lib::Engine"),
        ("M::recursive", "Lib::Deep::Deeper::Bolt"),
        ("M::aliased", "Lib::Engine"),
        ("M::short", "Lib::Deep::Gear"),
        ("M::global", "GlobalThing"),
        ("M::qualified", "Lib::Deep::Gear"),
        ("M::Inner::nested", "M::Local"),
        ("M::Inner::outer", "M::Local"),
        ("M::Typed::g", "Lib::Deep::Gear"),
    ],
)
def test_typing_resolves(scopes, usage, target):
    (typing,) = by_qname(scopes, usage).heritage.elements
    assert typing is by_qname(scopes, target)


def test_redefinition_resolves_inherited_feature(scopes):
    p = by_qname(scopes, "M::motor::p")
    assert list(p.heritage.elements) == [by_qname(scopes, "Lib::Engine::piston")]
    assert [str(f.qualified_name) for f in by_qname(scopes, "M::motor").features] == ["M::motor::p"]


def test_chain_reference_resolves_to_a_chain_feature(scopes):
    r = by_qname(scopes, "M::chained::r")
    (target,) = r.heritage.elements
    assert isinstance(target, core.Feature)
    assert [f.name for f in target.chaining_features.collect()] == ["motor", "p"]
    assert target.feature_target is by_qname(scopes, "M::motor::p")


def test_unresolved_names_are_sema_diagnostics(load):
    model, diags = load(
        """\
        package P {
            part a : Nowhere;
            part b :> a.missing;
            import Gone::*;
        }
        """
    )
    assert not diags.parser and not diags.validation
    got = [(d.line, d.col, d.code, d.message, d.severity) for d in diags.sema]
    err = core.DiagnosticSeverity.Error
    assert got == [
        (2, 14, "unresolved-name", "cannot resolve 'Nowhere'", err),
        (3, 15, "unresolved-name", "cannot resolve 'a.missing'", err),
        (4, 12, "unresolved-name", "cannot resolve 'Gone'", err),
    ]
    assert list(by_qname(model, "P::a").heritage.elements) == [None]


def test_duplicate_names_are_sema_diagnostics(load):
    _, diags = load("package P {\n  part def A;\n  part def A;\n}\n")
    assert [(d.line, d.col, d.code) for d in diags.sema] == [(3, 12, "duplicate-name")]


def test_cyclic_specialisation_does_not_hang(load):
    model, diags = load("package P { part def A :> B { part x; } part def B :> A { part y; } }")
    a = by_qname(model, "P::A")
    assert [f.name for f in a.features] == ["x", "y"]
    assert not diags.parser


EXPOSE = """\
package Src {
    part a { part a1 { part a11; } doc /* not exposed */ }
    part b;
}
package Views {
    view whole { expose Src; }
    view members { expose Src::*; }
    view recursive { expose Src::**; }
    view several { expose Src::b; expose Src::*; }
}
"""


@pytest.mark.parametrize(
    "view, exposed",
    [
        ("Views::whole", ["Src"]),
        ("Views::members", ["Src::a", "Src::b"]),
        ("Views::recursive", ["Src::a", "Src::a::a1", "Src::a::a1::a11", "Src::b"]),
        ("Views::several", ["Src::b", "Src::a"]),
    ],
)
def test_exposed_elements(load, view, exposed):
    model, diags = load(EXPOSE)
    assert not diags, str(diags)
    v = by_qname(model, view)
    assert [str(e.qualified_name) for e in v.exposed_elements.collect()] == exposed


def test_view_filters(load):
    model, diags = load(
        """\
        package P {
            metadata def M;
            view v { expose P::*; filter @M; filter hastype P::M and not istype P::M; }
        }
        """
    )
    assert not diags, str(diags)
    conditions = by_qname(model, "P::v").view_conditions.collect()
    assert all(isinstance(c, core.ElementFilterMembership) for c in conditions)
    first, second = (c.condition for c in conditions)
    assert first.operator is core.Operator.At
    (ref,) = first.arguments.collect()
    assert ref.referent is by_qname(model, "P::M")
    assert second.operator is core.Operator.And
    assert [a.operator for a in second.arguments.collect()] == [core.Operator.HasType, core.Operator.Not]


CONNECTIONS = """\
package C {
    part def Wheel { port hub; }
    part def Car { part front : Wheel; part rear : Wheel; part axle; }
    part car : Car {
        connection c1 connect front.hub to rear.hub;
        connect axle to front;
        allocation al allocate axle to rear.hub;
        connection c3 { end ::> front; end e2 ::> rear.hub; }
        interface i connect (axle, front, rear);
    }
}
"""


@pytest.mark.parametrize(
    "connector, source, targets",
    [
        ("C::car::c1", "C::Wheel::hub", ["C::Wheel::hub"]),
        ("C::car::al", "C::Car::axle", ["C::Wheel::hub"]),
        ("C::car::c3", "C::Car::front", ["C::Wheel::hub"]),
        ("C::car::i", "C::Car::axle", ["C::Car::front", "C::Car::rear"]),
    ],
)
def test_connection_source_and_targets(load, connector, source, targets):
    model, diags = load(CONNECTIONS)
    assert not diags, str(diags)
    c = by_qname(model, connector)
    assert str(c.source_feature.feature_target.qualified_name) == source
    assert [str(t.feature_target.qualified_name) for t in c.target_features.collect()] == targets
    ends = list(c.declared_ends)
    assert all(e.is_end for e in ends)
    assert all(type(e.owning_feature_membership) is core.EndFeatureMembership for e in ends)


def test_chain_end_gives_a_chain_feature(load):
    model, _ = load(CONNECTIONS)
    c1 = by_qname(model, "C::car::c1")
    src = c1.source_feature
    assert [str(f.qualified_name) for f in src.chaining_features.collect()] == ["C::Car::front", "C::Wheel::hub"]
    assert src not in list(c1.declared_ends)


def test_anonymous_connect_is_a_connection_usage(load):
    model, _ = load(CONNECTIONS)
    kinds = [type(c).__name__ for c in model.nodes(core.ConnectorAsUsage)]
    assert kinds == ["ConnectionUsage", "ConnectionUsage", "AllocationUsage", "ConnectionUsage", "InterfaceUsage"]


@pytest.mark.parametrize("depth, reaches_x", [(50, True), (1000, False)])
def test_deep_specialisation_chains_do_not_raise(load, depth, reaches_x):
    text = "package P { " + " ".join(f"part def A{i} :> A{i + 1};" for i in range(depth))
    text += f" part def A{depth} {{ part x; }} part p : A0; }}"
    model, diags = load(text)
    assert not diags
    p = by_qname(model, "P::p")
    assert ([f.name for f in p.features] == ["x"]) is reaches_x
    assert (p.get_member("x") is not None) is reaches_x
    assert p.usages.collect() == p.features.collect()


def test_imports_of_missing_names_load_quickly(load):
    # Each failing import used to be retried through every other one, so
    # the time grew about tenfold per import.
    imports = "".join(f"    private import Missing{i}::*;\n" for i in range(12))
    text = "package P {\n" + imports + "    part a : Nowhere { part b : AlsoNowhere; }\n    part c : a;\n}\n"
    start = time.perf_counter()
    model, diags = load(text)
    assert time.perf_counter() - start < 2.0
    assert len(diags.sema) == 14
    assert list(by_qname(model, "P::c").heritage.elements) == [by_qname(model, "P::a")]


def test_cyclic_imports_resolve_what_either_side_holds(load):
    model, diags = load(
        """\
        package A { public import B::*; part def InA; part x : InB; }
        package B { public import A::*; part def InB; part y : InA; part z : Neither; }
        """
    )
    assert [d.message for d in diags.sema] == ["cannot resolve 'Neither'"]
    assert list(by_qname(model, "A::x").heritage.elements) == [by_qname(model, "B::InB")]
    assert list(by_qname(model, "B::y").heritage.elements) == [by_qname(model, "A::InA")]


def test_alias_imported_by_name_resolves_to_what_it_names(load):
    model, diags = load(
        """\
        package Lib { part def Engine; alias Motor for Engine; }
        package M { private import Lib::Motor; part m : Motor; }
        """
    )
    assert not diags, str(diags)
    assert list(by_qname(model, "M::m").heritage.elements) == [by_qname(model, "Lib::Engine")]


def test_kinds_look_through_the_library_type_they_imply(load):
    # Stand-ins for the library packages that the kinds imply.
    model, diags = load(
        {
            "lib.sysml": """\
                package Flows { abstract flow def Flow { attribute isInstant; } abstract flow def SuccessionFlow; }
                package Parts { abstract part def Part { ref part subparts; } }
                package Actions { abstract action def Action { action start; action done; } }
                """,
            "model.sysml": """\
                package M {
                    part def Car { part a { port p; } part b { port p; } part w :> subparts; }
                    part car : Car {
                        flow f from a.p to b.p { attribute :>> isInstant = true; }
                        succession flow g from a.p to b.p;
                    }
                    action drive { first start; then done; }
                }
                """,
        }
    )
    assert not diags, str(diags)
    assert type(by_qname(model, "M::car::g")) is core.ConnectionUsage
    (instant,) = [f for f in by_qname(model, "M::car::f").owned_features if f.name == "isInstant"]
    assert list(instant.heritage.elements) == [by_qname(model, "Flows::Flow::isInstant")]
    assert "isInstant" not in [f.name for f in by_qname(model, "M::car::f").features if f is not instant]


def test_a_name_after_a_dot_is_a_member_of_what_precedes_it(load):
    model, diags = load(
        """\
        package P {
            part def T { attribute speed; }
            part def U { attribute other; }
            part u : U {
                attribute a = (u as T).speed;
                attribute b = t.speed;
                part t : T;
            }
        }
        """
    )
    assert not diags, str(diags)
    speed = by_qname(model, "P::T::speed")
    dot = by_qname(model, "P::u::a").feature_value_expression
    assert dot.operator is core.Operator.Dot
    assert dot.arguments.collect()[1].referent is speed
    chain = by_qname(model, "P::u::b").feature_value_expression.referent
    assert chain.feature_target is speed


def test_connector_ends_reference_where_the_connector_is_and_ends_redefine_by_name(load):
    model, diags = load(
        """\
        package K {
            assoc Link { end feature source { feature outp; } end feature target; }
            class Host {
                feature source;
                feature link : Link { end feature source { feature redefines outp; } }
                connector c : Link { end feature s references source; end feature t references source; }
            }
        }
        """
    )
    assert not diags, str(diags)
    (s,) = [f for f in by_qname(model, "K::Host::c").owned_features if f.name == "s"]
    assert list(s.heritage.elements) == [by_qname(model, "K::Host::source")]
    (out,) = by_qname(model, "K::Host::link::source").owned_features
    assert list(out.heritage.elements) == [by_qname(model, "K::Link::source::outp")]


def test_a_body_passed_to_an_invocation_sees_the_invoked_functions_parameters(load):
    model, diags = load(
        """\
        package P {
            attribute xs;
            calc def pick { in xs; in fn; return r; }
            attribute arrow = xs->pick { in x; fn(x) };
            attribute call = pick(xs, { in x; fn(x) });
            attribute loose = { in x; fn(x) };
        }
        """
    )
    # A body that is no argument of an invocation sees no parameter of it.
    assert [(d.line, d.message) for d in diags.sema] == [(6, "cannot resolve 'fn'")]
    fn = by_qname(model, "P::pick::fn")
    for name in ("P::arrow", "P::call"):
        invocation = by_qname(model, name).feature_value_expression
        assert invocation.instantiated_type is by_qname(model, "P::pick")
        body = invocation.arguments.collect()[1]
        (inner,) = [f for f in body.owned_features if isinstance(f, core.InvocationExpression)]
        assert inner.instantiated_type is fn
