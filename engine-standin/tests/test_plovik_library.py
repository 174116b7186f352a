"""The bundled library: it loads without diagnostics, and user views
declared against `PlovikViews` load and read their options."""

import pathlib

import pytest

import _plovik
from _plovik import core

from plovik_fixtures import by_qname, load  # noqa: F401 (load is a fixture)

STDLIB = pathlib.Path(_plovik.__file__).parent / "stdlib"

USER_VIEWS = """\
package Views {
    private import PlovikViews::TableViewDefinitions::*;
    private import PlovikViews::MatrixViewDefinitions::*;
    part def Engine;
    part engine : Engine;
    view parts : TableView {
        expose Views::*;
        attribute :>> includeAbstractElements = true;
        attribute :>> maxRowHeight = 40;
        view :>> columnViews {
            ref :>> columnFeature = PV::UsageList(baseViewElement, PV::UsageKind::partUsage);
            attribute :>> featureRepresentation = ColRep::qualifiedName;
        }
    }
    view tree : HierarchicalTableView {
        attribute :>> defaultCollapse = true;
    }
    view legacy : TableView {
        view nameColumn :> columnViews {
            attribute :>> featureToRender = CT::constraintLanguage {
                attribute :>> constraintType = CT::constraintLanguage::ConstraintType::asserted;
            }
        }
    }
    view connections : ConnectionMatrixView {
        view :>> rowView { attribute :>> representation = "qualifiedName"; }
        view :>> cellView { attribute :>> direction = "row2col"; }
    }
    view allocations : AllocationMatrixView;
    view requirements : RequirementMatrixView;
    view plain : MatrixView;
}
"""


@pytest.fixture
def views(load):
    model, diags = load({"views.sysml": USER_VIEWS}, stdlib_paths=[STDLIB])
    assert not diags, str(diags)
    return model


def test_library_loads_without_diagnostics(load):
    model, diags = load({}, stdlib_paths=[STDLIB])
    assert not diags, str(diags)
    docs = {pathlib.Path(str(d.url)).name: d.document_tier for d in model.documents}
    assert set(docs) == {"PlovikViews.sysml", "RequirementDerivation.sysml", "ScalarValues.sysml", "SysML.sysml"}
    assert set(docs.values()) == {core.DocumentTier.StandardLibrary}


@pytest.mark.parametrize("name", ["String", "Boolean", "Integer", "Natural", "Positive", "Real", "Rational", "Complex"])
def test_scalar_values(views, name):
    assert type(by_qname(views, f"ScalarValues::{name}")) is core.AttributeDefinition


def test_metaclass_names_cover_the_classes(views):
    names = {d.name for d in by_qname(views, "SysML").children.elements if isinstance(d, core.MetadataDefinition)}
    classes = {n for n in dir(core) if isinstance(getattr(core, n), type) and issubclass(getattr(core, n), core.Element)}
    assert classes <= names


def test_derivation_metadata_in_the_environment(views):
    found = views.nodes(core.MetadataDefinition, True, _plovik.DocumentKind.ENVIRONMENT)
    shorts = sorted(d.declared_short_name for d in found if d.declared_short_name)
    assert shorts == ["derivation", "derive", "original"]


@pytest.mark.parametrize(
    "alias, target",
    [
        ("PV", "PlovikViews::NavigationSteps"),
        ("ColRep", "PlovikViews::TableViewDefinitions::Representation"),
        ("CT", "PlovikViews::ColumnType"),
    ],
)
def test_aliases(views, alias, target):
    lib = [d for d in views.documents if str(d.url).endswith("PlovikViews.sysml")][0]
    found = [r for r in lib.root._rels if isinstance(r, core.Membership) and r.declared_name == alias]
    assert len(found) == 1 and found[0].member_element is by_qname(views, target)


@pytest.mark.parametrize(
    "enum, literals",
    [
        ("PlovikViews::ColumnType", 13),
        ("PlovikViews::ColumnType::constraintLanguage::ConstraintType", 4),
        ("PlovikViews::NavigationSteps::UsageKind", 11),
        ("PlovikViews::NavigationSteps::RequirementConstraintKindPV", 3),
        ("PlovikViews::NavigationSteps::NameType", 2),
        ("PlovikViews::TableViewDefinitions::Representation", 10),
    ],
)
def test_enumerations(views, enum, literals):
    assert len(by_qname(views, enum, core.EnumerationDefinition).enumerated_values.collect()) == literals


def test_twenty_navigation_steps(views):
    steps = [e for e in by_qname(views, "PlovikViews::NavigationSteps").children.elements if type(e) is core.CalculationDefinition]
    assert len(steps) == 20


def option(view, name):
    found = [f for f in view.features if f.name == name]
    assert found, name
    value, report = core.Compiler(100000, 1000).evaluate(found[0].feature_value_expression)
    assert not report.fatal, [str(d) for d in report.diagnostics]
    return value


@pytest.mark.parametrize(
    "view, name, expected",
    [
        ("Views::parts", "includeAbstractElements", True),
        ("Views::parts", "includeReferenceElements", False),
        ("Views::parts", "exposeFeaturesAndHeritage", False),
        ("Views::parts", "maxRowHeight", 40),
        ("Views::tree", "maxRowHeight", 125),
        ("Views::tree", "defaultCollapse", True),
        ("Views::connections::rowView", "representation", "qualifiedName"),
        ("Views::connections::columnView", "representation", "name"),
        ("Views::connections::columnView", "verticalColumnNames", False),
        ("Views::connections::cellView", "direction", "row2col"),
        ("Views::allocations::cellView", "direction", "undirected"),
        ("Views::allocations::cellView", "showWeakTraceability", False),
        ("Views::requirements::cellView", "portsAreTransparent", False),
    ],
)
def test_view_options(views, view, name, expected):
    # Child views that are only inherited are reached by member lookup.
    first, second, *rest = view.split("::")
    v = by_qname(views, f"{first}::{second}")
    for step in rest:
        v = v.get_member(step)
    assert option(v, name) == expected


def test_views_are_found_with_their_kinds(views):
    user = [v for v in views.nodes(core.ViewUsage, True, _plovik.DocumentKind.USER) if v.owner is by_qname(views, "Views")]
    kinds = {v.name: [str(t.qualified_name) for t in v.definitions.collect()] for v in user}
    assert kinds == {
        "parts": ["PlovikViews::TableViewDefinitions::TableView"],
        "tree": ["PlovikViews::TableViewDefinitions::HierarchicalTableView"],
        "legacy": ["PlovikViews::TableViewDefinitions::TableView"],
        "connections": ["PlovikViews::MatrixViewDefinitions::ConnectionMatrixView"],
        "allocations": ["PlovikViews::MatrixViewDefinitions::AllocationMatrixView"],
        "requirements": ["PlovikViews::MatrixViewDefinitions::RequirementMatrixView"],
        "plain": ["PlovikViews::MatrixViewDefinitions::MatrixView"],
    }
    tree = by_qname(views, "Views::tree")
    assert "hierarchicalColumn" in [f.name for f in tree.features]


def test_column_settings(views):
    column = by_qname(views, "Views::parts").get_member("columnViews")
    rep = option(column, "featureRepresentation")
    assert rep is by_qname(views, "PlovikViews::TableViewDefinitions::Representation::qualifiedName")
    assert option(column, "columnWidth") == 150
    binding = by_qname(views, "Views::legacy::nameColumn").get_member("featureToRender")
    kind = [f for f in binding.features if f.name == "constraintType"][0]
    value, _ = core.Compiler(100000, 1000).evaluate(kind.feature_value_expression)
    assert value is by_qname(views, "PlovikViews::ColumnType::constraintLanguage::ConstraintType::asserted")
