"""Evaluation of expressions and view filters, on models loaded with the
bundled library, and filters over elements made by the edit API."""

import pathlib

import pytest

import _plovik
from _plovik import core

from plovik_fixtures import by_qname, load  # noqa: F401 (load is a fixture)

STDLIB = pathlib.Path(_plovik.__file__).parent / "stdlib"

VALUES = """\
package V {
    private import ScalarValues::*;
    enum def Colour { red; green; }
    part def Engine;
    attribute def Mass;
    attribute n : Integer = 4;
    attribute m = n * 2 + 1;
    part e : Engine;
    part holder { attribute inner = 3; }
    part p {
        attribute int = 7;
        attribute real = 2.5;
        attribute text = "abc";
        attribute flag = true;
        attribute nothing = null;
        attribute sum = 1 + 2 * 3;
        attribute power = 2 ** 3;
        attribute quotient = 7 / 2;
        attribute remainder = 7 % 3;
        attribute negative = -n;
        attribute joined = "ab" + "cd";
        attribute less = 1 < 2;
        attribute textOrder = "b" <= "a";
        attribute equal = m == 9;
        attribute unequal = text != "abc";
        attribute logic = true and not false;
        attribute either = false or (1 >= 1);
        attribute choice = if n > 3 ? "big" else "small";
        attribute fallback = null ?? 5;
        attribute sequence = (1, 2, (3, 4));
        attribute range = 1..4;
        attribute refersTo = m;
        attribute viaChain = holder.inner * 2;
        attribute literal = Colour::green;
        attribute elements = (e, Colour::red);
        attribute engineIsPart = e istype Engine;
        attribute engineHasType = e hastype SysML::PartUsage;
        attribute mass = 5 [Mass];
        attribute addTextToInt = "a" + 1;
        attribute divideByZero = 1 / 0;
        attribute unknownCall = Nowhere(1);
        attribute notBoolean = not 1;
    }
}
"""


@pytest.fixture
def values(load):
    model, diags = load({"v.sysml": VALUES}, stdlib_paths=[STDLIB])
    assert not [d for d in diags if "Nowhere" not in d.message], str(diags)
    return model


def value_of(model, name, **kwargs):
    f = by_qname(model, f"V::p::{name}")
    return core.Compiler(100000, 1000).evaluate(f.feature_value_expression, **kwargs)


@pytest.mark.parametrize(
    "name, expected",
    [
        ("int", 7),
        ("real", 2.5),
        ("text", "abc"),
        ("flag", True),
        ("nothing", None),
        ("sum", 7),
        ("power", 8),
        ("quotient", 3.5),
        ("remainder", 1),
        ("negative", -4),
        ("joined", "abcd"),
        ("less", True),
        ("textOrder", False),
        ("equal", True),
        ("unequal", False),
        ("logic", True),
        ("either", True),
        ("choice", "big"),
        ("fallback", 5),
        ("sequence", [1, 2, 3, 4]),
        ("range", [1, 2, 3, 4]),
        ("refersTo", 9),
        ("viaChain", 6),
        ("engineIsPart", True),
        ("engineHasType", True),
    ],
)
def test_values(values, name, expected):
    value, report = value_of(values, name)
    assert not report.fatal and list(report.diagnostics) == []
    assert value == expected and type(value) is type(expected)


def test_element_values(values):
    value, _ = value_of(values, "literal")
    assert type(value) is core.EnumerationUsage and value is by_qname(values, "V::Colour::green")
    value, _ = value_of(values, "elements")
    assert value == [by_qname(values, "V::e"), by_qname(values, "V::Colour::red")]


@pytest.mark.parametrize(
    "name, message",
    [
        ("addTextToInt", "cannot apply 'Plus' to str and int"),
        ("divideByZero", "'Divide' fails"),
        ("unknownCall", "cannot evaluate a call"),
        ("notBoolean", "expected a boolean, found int"),
    ],
)
def test_failures_give_a_fatal_report(values, name, message):
    value, report = value_of(values, name)
    assert value is None and report.fatal is True
    assert [message in str(d) for d in report.diagnostics] == [True]


def test_quantities_only_when_asked_for(values):
    with pytest.raises(core.QuantityRefused):
        value_of(values, "mass")
    value, report = value_of(values, "mass", stdlib=values.lib, experimental_quantities=True)
    assert not report.fatal and str(value) == "5 [Mass]" and value.value == 5


@pytest.mark.parametrize("steps, depth, message", [(3, 1000, "more than 3 steps"), (100000, 2, "deeper than 2 levels")])
def test_limits(values, steps, depth, message):
    f = by_qname(values, "V::p::sum")
    value, report = core.Compiler(steps, depth).evaluate(f.feature_value_expression)
    assert value is None and report.fatal and message in str(report.diagnostics[0])


def test_reference_cycle_is_a_fatal_report(load):
    model, _ = load("package C { attribute a = b; attribute b = a; }")
    value, report = core.Compiler(100000, 1000).evaluate(by_qname(model, "C::a").feature_value_expression)
    assert value is None and report.fatal


def test_evaluate_feature_gives_elements(load):
    model, diags = load("package O { view v { view c1; view c2; attribute columnOrder = (c2, c1); } }")
    assert not diags
    order = by_qname(model, "O::v::columnOrder")
    value, report = core.Compiler(100000, 1000).evaluate_feature(order.feature_value_expression, scope=order)
    assert value == [by_qname(model, "O::v::c2"), by_qname(model, "O::v::c1")] and not report.fatal


FILTERS = """\
package F {
    private import ScalarValues::*;
    part def Engine;
    part def Sports :> Engine;
    metadata def Safety;
    part e : Engine;
    part s : Sports;
    #Safety part tagged;
    part marked { @Safety; }
    view v {
        filter hastype SysML::ConnectionUsage;
        filter hastype SysML::AllocationUsage;
        filter @ RequirementDerivation::derivation;
        filter istype SysML::ConnectionUsage;
        filter istype Engine;
        filter hastype Engine;
        filter @Safety;
        filter not @Safety;
        filter hastype SysML::PartUsage and istype Engine;
        filter hastype SysML::ConnectionUsage or @Safety;
        filter 1;
    }
    part probes;
}
"""


@pytest.fixture
def filters(load):
    model, diags = load({"f.sysml": FILTERS}, stdlib_paths=[STDLIB])
    assert not diags, str(diags)
    return model


def filter_results(model, target):
    view = by_qname(model, "F::v")
    compiler = core.Compiler(100000, 1000)
    out = []
    for membership in view.view_conditions.collect():
        value, report = compiler.evaluate_filter(target, membership.condition, model.lib)
        assert type(value) is bool
        out.append("fatal" if report.fatal else value)
    return out


@pytest.mark.parametrize(
    "name, expected",
    [
        #          conn   alloc  deriv  isconn is-E   has-E  @S     not@S  part&E isconn|@S  1
        ("F::e", [False, False, False, False, True, True, False, True, True, False, "fatal"]),
        ("F::s", [False, False, False, False, True, False, False, True, True, False, "fatal"]),
        ("F::tagged", [False, False, False, False, False, False, True, False, False, True, "fatal"]),
        ("F::marked", [False, False, False, False, False, False, True, False, False, True, "fatal"]),
    ],
)
def test_filters_over_declared_elements(filters, name, expected):
    assert filter_results(filters, by_qname(filters, name)) == expected


def test_filters_over_edited_elements(filters):
    probes = by_qname(filters, "F::probes")
    derivation = [
        d
        for d in filters.nodes(core.MetadataDefinition, True, _plovik.DocumentKind.ENVIRONMENT)
        if d.declared_short_name == "derivation"
    ]
    assert len(derivation) == 1
    _, container = probes.children.append(core.OwningMembership, core.PartDefinition)
    _, connection = container.children.append(core.OwningMembership, core.ConnectionUsage)
    _, allocation = container.children.append(core.OwningMembership, core.AllocationUsage)
    _, requirement = container.children.append(core.FeatureMembership, core.RequirementUsage)
    _, meta = connection.prefixes.append(core.OwningMembership, core.MetadataUsage)
    meta.heritage.append(core.FeatureTyping, derivation[0], core.NameID.Regular)
    assert filter_results(filters, connection)[:4] == [True, False, True, True]
    assert filter_results(filters, allocation)[:4] == [False, True, False, True]
    assert filter_results(filters, requirement)[:4] == [False, False, False, False]
    assert connection in filters.nodes(core.ConnectionUsage) and meta in filters.nodes(core.MetadataUsage)
    # Metadata removed from an element no longer classifies it.
    assert connection.children.remove_element(meta) is True
    assert filter_results(filters, connection)[:4] == [True, False, False, True]
    # Removing the container removes everything below it from the model.
    assert probes.children.remove_element(container) is True
    assert probes.children.remove_element(container) is False
    for cls, element in ((core.ConnectionUsage, connection), (core.AllocationUsage, allocation), (core.RequirementUsage, requirement)):
        assert element not in filters.nodes(cls)
