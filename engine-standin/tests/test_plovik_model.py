"""Loading small models and reading the object model back."""

import uuid

import pytest

import _plovik
from _plovik import core

from plovik_fixtures import by_qname, load  # noqa: F401 (load is a fixture)

VEHICLES = """\
package Vehicles {
    doc /* Road vehicles.
         * Second line. */
    part def Vehicle {
        attribute mass;
        part wheels [4];
        in port fuelIn;
        out port exhaust;
        inout port bus;
        part engine [0..1];
        part spares [*];
        part range [2..*];
    }
    part def Car :> Vehicle {
        :>> mass = 1200;
        part wheels redefines wheels [3];
    }
    part car : Car;
    abstract part def 'Odd Name' {
        part 'it\\'s';
    }
    requirement def R { subject v : Vehicle; require constraint { true } assume constraint c2; }
    requirement r : R;
    enum def Colour { enum red; green; }
    constraint def C;
    assert constraint ac : C;
    allocation def A;
    allocation al : A allocate car.wheels to car.engine;
    view def VD;
    view vw : VD;
    metadata def <safety> Safety;
    #Safety part flagged;
    item it;
    action act;
    occurrence occ;
    connection def Link;
}
"""


@pytest.fixture
def vehicles(load):
    model, diags = load(VEHICLES)
    assert not diags.parser, str(diags)
    return model


@pytest.mark.parametrize(
    "qname, cls, also, not_",
    [
        ("Vehicles", core.Package, [core.Namespace], [core.Type]),
        ("Vehicles::Vehicle", core.PartDefinition, [core.Definition, core.Type, core.Namespace], [core.Feature, core.ViewDefinition]),
        ("Vehicles::Vehicle::mass", core.AttributeUsage, [core.Usage, core.Feature, core.Type], [core.EnumerationUsage]),
        ("Vehicles::Vehicle::wheels", core.PartUsage, [core.ItemUsage, core.OccurrenceUsage, core.Feature], [core.ViewUsage]),
        ("Vehicles::Vehicle::fuelIn", core.PortUsage, [core.OccurrenceUsage], [core.ItemUsage]),
        ("Vehicles::R", core.RequirementDefinition, [core.Definition], [core.Feature]),
        ("Vehicles::r", core.RequirementUsage, [core.ConstraintUsage, core.Feature], [core.AssertConstraintUsage]),
        ("Vehicles::Colour", core.EnumerationDefinition, [core.Definition], []),
        ("Vehicles::Colour::red", core.EnumerationUsage, [core.AttributeUsage], []),
        ("Vehicles::Colour::green", core.EnumerationUsage, [core.AttributeUsage], []),
        ("Vehicles::ac", core.AssertConstraintUsage, [core.ConstraintUsage], [core.RequirementUsage]),
        ("Vehicles::al", core.AllocationUsage, [core.ConnectionUsage, core.ConnectorAsUsage, core.Usage], [core.PartUsage]),
        ("Vehicles::VD", core.ViewDefinition, [core.PartDefinition], []),
        ("Vehicles::vw", core.ViewUsage, [core.PartUsage, core.ItemUsage, core.OccurrenceUsage], []),
        ("Vehicles::Safety", core.MetadataDefinition, [core.Definition], []),
        ("Vehicles::it", core.ItemUsage, [core.OccurrenceUsage], [core.PartUsage]),
        ("Vehicles::act", core.ActionUsage, [core.OccurrenceUsage], []),
        ("Vehicles::occ", core.OccurrenceUsage, [core.Usage], [core.ItemUsage]),
        ("Vehicles::Link", core.PartDefinition, [core.Definition], [core.ViewDefinition]),
    ],
)
def test_element_classes_and_casts(vehicles, qname, cls, also, not_):
    e = by_qname(vehicles, qname)
    if qname != "Vehicles::Link":
        assert type(e) is cls
    for c in [cls, core.Element, core.AstNode, *also]:
        assert e.isinstance(c) is True
        assert e.try_cast(c) is e
    for c in not_:
        assert e.isinstance(c) is False
        assert e.try_cast(c) is None


def test_relationship_and_expression_classes(vehicles):
    car_mass = by_qname(vehicles, "Vehicles::Car::mass")
    fv = car_mass.feature_value
    assert isinstance(fv, core.FeatureValue) and isinstance(fv, core.OwningMembership) and isinstance(fv, core.Relationship)
    assert fv.is_default is False
    value = car_mass.feature_value_expression
    assert type(value) is core.LiteralInteger and value.value == 1200
    assert value.try_cast(core.Expression) is value and value.try_cast(core.OperatorExpression) is None
    rels = list(car_mass.heritage.relationships)
    assert [type(r) for r in rels] == [core.Redefinition]
    assert isinstance(rels[0], core.Subsetting) and isinstance(rels[0], core.Specialization)
    assert list(car_mass.heritage.elements) == [by_qname(vehicles, "Vehicles::Vehicle::mass")]
    assert rels[0].is_implied is False


@pytest.mark.parametrize(
    "text, expected",
    [
        ("package P { part def 'Odd Name'; }", "P::'Odd Name'"),
        ("package 'a b' { part def X; }", "'a b'::X"),
        ("package P { part def 'it\\'s'; }", "P::'it\\'s'"),
        ("package P { part def 'x::y'; }", "P::'x::y'"),
    ],
)
def test_qualified_names_quote_non_plain_segments(load, text, expected):
    model, diags = load(text)
    assert not diags
    (d,) = model.nodes(core.PartDefinition)
    assert str(d.qualified_name) == expected
    assert str(d.path) == expected


def test_quoted_name_segments_are_unescaped(load):
    model, _ = load("package P { part def 'it\\'s'; }")
    (d,) = model.nodes(core.PartDefinition)
    assert d.declared_name == "it's"
    assert d.qualified_name.segments == ["P", "it's"]
    assert str(core.QualifiedName([])) == ""


def test_effective_name_of_a_redefinition(vehicles):
    redefining = by_qname(vehicles, "Vehicles::Car::mass")
    assert redefining.declared_name is None
    assert redefining.name == "mass"
    assert by_qname(vehicles, "Vehicles::Car::wheels").declared_name == "wheels"


def test_features_and_inherited_features_with_a_redefinition(vehicles):
    car = by_qname(vehicles, "Vehicles::Car")
    names = lambda it: [str(f.qualified_name) for f in it.collect()]
    assert names(car.owned_features) == ["Vehicles::Car::mass", "Vehicles::Car::wheels"]
    inherited = [
        "Vehicles::Vehicle::fuelIn", "Vehicles::Vehicle::exhaust", "Vehicles::Vehicle::bus",
        "Vehicles::Vehicle::engine", "Vehicles::Vehicle::spares", "Vehicles::Vehicle::range",
    ]
    assert names(car.inherited_features) == inherited
    assert names(car.features) == ["Vehicles::Car::mass", "Vehicles::Car::wheels"] + inherited


def test_usages_leave_out_redefined_ones(vehicles):
    car_usage = by_qname(vehicles, "Vehicles::car")
    usages = car_usage.usages.collect()
    assert by_qname(vehicles, "Vehicles::Vehicle::mass") not in usages
    assert by_qname(vehicles, "Vehicles::Car::mass") in usages
    assert len(usages) == 8
    assert [d.name for d in car_usage.definitions.collect()] == ["Car"]
    assert by_qname(vehicles, "Vehicles::Car").usages.collect() == usages


def test_get_member_sees_inherited_members(vehicles):
    car = by_qname(vehicles, "Vehicles::Car")
    assert car.get_member("engine") is by_qname(vehicles, "Vehicles::Vehicle::engine")
    assert car.get_member("mass") is by_qname(vehicles, "Vehicles::Car::mass")
    assert car.get_member("nothing") is None


@pytest.mark.parametrize(
    "qname, has, lower, upper",
    [
        ("Vehicles::Vehicle::wheels", True, 4, 5),
        ("Vehicles::Vehicle::engine", True, 0, 2),
        ("Vehicles::Vehicle::spares", True, 0, None),
        ("Vehicles::Vehicle::range", True, 2, None),
        ("Vehicles::Car::wheels", True, 3, 4),
    ],
)
def test_multiplicity_bounds(vehicles, qname, has, lower, upper):
    m = by_qname(vehicles, qname).declared_multiplicity
    assert isinstance(m, core.MultiplicityRange)
    assert (m.has_cached_bounds, m.cached_lower_bound, m.cached_upper_bound) == (has, lower, upper)


def test_no_multiplicity(vehicles):
    assert by_qname(vehicles, "Vehicles::Vehicle::mass").declared_multiplicity is None


@pytest.mark.parametrize(
    "qname, direction",
    [
        ("Vehicles::Vehicle::fuelIn", core.FeatureDirectionKind.In),
        ("Vehicles::Vehicle::exhaust", core.FeatureDirectionKind.Out),
        ("Vehicles::Vehicle::bus", core.FeatureDirectionKind.Inout),
        ("Vehicles::Vehicle::mass", None),
    ],
)
def test_direction(vehicles, qname, direction):
    assert by_qname(vehicles, qname).direction is direction


def test_documentation_bodies(load):
    model, diags = load(
        """\
        package P {
            doc /* Road vehicles.
                 * Second line. */
            part def A {
                doc Named /* one */
                doc /*
                     * two
                     */
            }
        }
        """
    )
    assert not diags
    p = by_qname(model, "P")
    assert [(d.name, d.body) for d in p.documentation.collect()] == [(None, "Road vehicles.\nSecond line.")]
    a = by_qname(model, "P::A")
    assert [(d.name, d.body) for d in a.documentation.collect()] == [("Named", "one"), (None, "two")]
    assert all(isinstance(d, core.Documentation) for d in a.documentation.collect())


def test_metadata_definitions_by_short_name(vehicles):
    (md,) = vehicles.nodes(core.MetadataDefinition)
    assert (md.declared_short_name, md.short_name, md.declared_name) == ("safety", "safety", "Safety")
    flagged = by_qname(vehicles, "Vehicles::flagged")
    (usage,) = flagged.prefixes.elements
    assert type(usage) is core.MetadataUsage
    assert usage.metadata_definition is md


def test_metadata_usage_forms_resolve_short_names(load):
    model, diags = load(
        """\
        package P {
            metadata def <d> Derived;
            part a { @d; }
            part b { metadata Derived; }
            #d part c;
        }
        """
    )
    assert not diags, str(diags)
    md = by_qname(model, "P::Derived")
    usages = model.nodes(core.MetadataUsage)
    assert len(usages) == 3
    assert all(u.metadata_definition is md for u in usages)


def test_requirement_subject_and_constraints(vehicles):
    r = by_qname(vehicles, "Vehicles::R")
    subject = r.subject_parameter
    assert subject.name == "v"
    assert [t.name for t in subject.definitions.collect()] == ["Vehicle"]
    memberships = [f.owning_feature_membership for f in r.owned_features.collect() if isinstance(f, core.ConstraintUsage)]
    assert [type(m) for m in memberships] == [core.RequirementConstraintMembership] * 2
    assert [m.kind for m in memberships] == [core.RequirementConstraintKind.Requirement, core.RequirementConstraintKind.Assumption]


def test_enumerated_values(vehicles):
    colour = by_qname(vehicles, "Vehicles::Colour")
    values = colour.enumerated_values.collect()
    assert [v.name for v in values] == ["red", "green"]
    assert all(v.owner is colour for v in values)


def test_element_ids_are_unique_uuids_and_stable(vehicles):
    elems = vehicles.nodes(core.Element)
    ids = [e.element_id for e in elems]
    assert all(isinstance(i, uuid.UUID) for i in ids)
    assert len(set(ids)) == len(ids)
    assert [e.element_id for e in vehicles.nodes(core.Element)] == ids


def test_paths_are_unique(vehicles):
    paths = [str(e.path) for e in vehicles.nodes(core.Element)]
    assert len(set(paths)) == len(paths)


def test_document_and_tier(vehicles, tmp_path):
    e = by_qname(vehicles, "Vehicles::car")
    assert str(e.document.url) == (tmp_path / "model.sysml").resolve().as_uri()
    assert e.document.document_tier is core.DocumentTier.Project
    assert e.is_library_element is False


def test_tiers_and_document_kinds(load, tmp_path):
    lib = tmp_path / "lib"
    lib.mkdir()
    (lib / "Lib.sysml").write_text("package Lib { part def Base; }")
    ext = tmp_path / "ext.sysml"
    ext.write_text("package Ext { part def Other; }")
    model, diags = load("package M { part x : Lib::Base; part y : Ext::Other; }", stdlib_paths=[lib], external_paths=[ext])
    assert not diags, str(diags)
    kinds = core.DocumentTier
    base, other, x = by_qname(model, "Lib::Base"), by_qname(model, "Ext::Other"), by_qname(model, "M::x")
    assert (base.document.document_tier, other.document.document_tier, x.document.document_tier) == (
        kinds.StandardLibrary, kinds.External, kinds.Project)
    assert base.is_library_element and other.is_library_element and not x.is_library_element
    DK = _plovik.DocumentKind
    names = lambda kind: [str(p.qualified_name) for p in model.nodes(core.Package, considered_document_kinds=kind)]
    assert names(DK.ALL) == ["Lib", "Ext", "M"]
    assert names(DK.ENVIRONMENT) == ["Lib", "Ext"]
    assert names(DK.MODEL) == ["M"]
    assert names(DK.USER) == ["M"]
    assert names(DK.STDLIB) == ["Lib"]


def test_nodes_in_document_order_and_exact_classes(load):
    model, _ = load(
        {
            "a.sysml": "package A { part def P; view def V; part p; }",
            "b.sysml": "package B { view def W; }",
        }
    )
    assert [d.name for d in model.nodes(core.PartDefinition)] == ["P", "V", "W"]
    assert [d.name for d in model.nodes(core.PartDefinition, include_subtypes=False)] == ["P"]
    assert all(isinstance(x, core.Element) for x in model.nodes(core.Element))


@pytest.mark.parametrize(
    "field, start, end",
    [
        ("declared_name", (2, 23), (2, 30)),
        ("declared_short_name", (2, 18), (2, 21)),
    ],
)
def test_cst_positions_of_names(load, field, start, end):
    model, _ = load("// first line\npackage P {\n    metadata def <abc> 'Tag x';\n}\n")
    md = by_qname(model, "P::'Tag x'")
    seg = core.DocumentSegment.from_node_field(md, field, 0)
    r = seg.range
    assert (r.start.line, r.start.character) == start
    assert (r.end.line, r.end.character) == end
    assert (md.cst_node.start_point.line, md.cst_node.start_point.character) == (2, 4)
    assert (md.cst_node.end_point.line, md.cst_node.end_point.character) == (2, 31)


def test_cst_node_is_none_for_unwritten_elements(vehicles):
    ns = by_qname(vehicles, "Vehicles::Vehicle")
    _, created = ns.children.append(core.FeatureMembership, core.PartUsage)
    assert created.cst_node is None


def test_owner_and_owned_elements(vehicles):
    vehicle = by_qname(vehicles, "Vehicles::Vehicle")
    mass = by_qname(vehicles, "Vehicles::Vehicle::mass")
    assert mass.owner is vehicle
    assert mass.owning_type is vehicle
    assert isinstance(mass.owning_feature_membership, core.FeatureMembership)
    assert mass in list(vehicle.children.elements)
    assert mass in vehicle.owned_elements.collect()
    assert mass.owning_membership not in vehicle.owned_elements.collect()
    assert str(vehicle.qualified_name) == "Vehicles::Vehicle"
    assert by_qname(vehicles, "Vehicles").owner.owner is None
