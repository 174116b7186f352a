alias PV for PlovikViews::NavigationSteps;
alias ColRep for PlovikViews::TableViewDefinitions::Representation;
alias CT for PlovikViews::ColumnType;

standard library package PlovikViews {
    doc /* Views that lay out model elements as tables and matrices. */

    private import ScalarValues::*;

    view def ContentView {
        doc /* A view whose exposed and filtered elements become rows or axis entries. */
        ref baseViewElement;
        attribute includeReferenceElements : Boolean default false;
        attribute includeAbstractElements : Boolean default false;
        attribute exposeFeaturesAndHeritage : Boolean default false;
    }

    enum def ColumnType {
        doc /* What a column shows, in the older column notation. */
        declaredName;
        name;
        declaredShortName;
        shortName;
        qualifiedName;
        reqId;
        documentation;
        owner;
        heritage;
        specificDocumentation;
        attributeValue;
        namedFeatureValue;
        constraintLanguage {
            enum def ConstraintType {
                plain;
                assumed;
                asserted;
                required;
            }
        }
    }

    package NavigationSteps {
        doc /* The steps a column's navigation chain is made of. */

        enum def UsageKind {
            usage;
            occurrenceUsage;
            attributeUsage;
            itemUsage;
            partUsage;
            portUsage;
            connectionUsage;
            actionUsage;
            constraintUsage;
            assertedConstraintUsage;
            requirementUsage;
        }
        enum def RequirementConstraintKindPV {
            required;
            assumed;
            either;
        }
        enum def NameType {
            name;
            shortName;
        }

        calc def Owner { in element; }
        calc def Subject { in element; }
        calc def HeritageList { in element; in depth : Integer default -1; }
        calc def HeritageFan { in element; in depth : Integer default -1; }
        calc def HeritageFirst { in element; }
        calc def DefinitionsList { in element; }
        calc def DefinitionsFan { in element; }
        calc def DefinitionsFirst { in element; }
        calc def SpecializationsList { in element; }
        calc def SpecializationsFan { in element; }
        calc def SpecializationsFirst { in element; }
        calc def UsageList { in element; in kind : UsageKind default UsageKind::usage; in includeSubtypes : Boolean default false; }
        calc def UsageFan { in element; in kind : UsageKind default UsageKind::usage; in includeSubtypes : Boolean default false; }
        calc def UsageFirst { in element; in kind : UsageKind default UsageKind::usage; in includeSubtypes : Boolean default false; }
        calc def NamedUsage {
            in element;
            in name : String;
            in nameType : NameType;
            in kind : UsageKind default UsageKind::usage;
            in includeSubtypes : Boolean default false;
        }
        calc def RequirementConstraintsList { in element; in kind : RequirementConstraintKindPV default RequirementConstraintKindPV::either; }
        calc def RequirementConstraintsFan { in element; in kind : RequirementConstraintKindPV default RequirementConstraintKindPV::either; }
        calc def RequirementConstraintsFirst { in element; in kind : RequirementConstraintKindPV default RequirementConstraintKindPV::either; }
        calc def UsageHTV { in element; }
        calc def MetadataUsageTag { in element; in name : String; in nameType : NameType; }
    }

    package TableViewDefinitions {
        doc /* Tables: one row per element, one column per column view. */

        enum def Representation {
            declaredName;
            name;
            declaredShortName;
            shortName;
            qualifiedName;
            featureValue;
            direction;
            documentation;
            specificDocumentation;
            language;
        }

        view def TableView :> ContentView {
            attribute globalFilter : String;
            attribute columnOrder;
            attribute maxRowHeight : Natural default 125;
            view columnViews[*] : ContentView {
                ref columnFeature;
                attribute featureRepresentation : Representation default Representation::name;
                attribute defaultValue : String;
                attribute notApplicableValue : String;
                attribute columnFilter : String;
                attribute columnWidth : Natural default 150;
                attribute featureToRender : ColumnType {
                    attribute attributeName : String;
                    attribute featureName : String;
                    attribute documentationName : String;
                    attribute constraintName : String;
                    attribute constraintLanguage : String;
                    attribute constraintType : ColumnType::constraintLanguage::ConstraintType;
                }
            }
        }

        view def HierarchicalTableView :> TableView {
            attribute defaultCollapse : Boolean default false;
            view hierarchicalColumn :> columnViews;
        }
    }

    package MatrixViewDefinitions {
        doc /* Matrices: rows and columns from two views, cells from a third. */

        view def MatrixView :> ContentView {
            view rowView : ContentView {
                attribute representation : String default "name";
                attribute verticalColumnNames : Boolean default false;
            }
            view columnView : ContentView {
                attribute representation : String default "name";
                attribute verticalColumnNames : Boolean default false;
            }
            view cellView : ContentView {
                attribute direction : String default "undirected";
                attribute showWeakTraceability : Boolean default false;
                attribute portsAreTransparent : Boolean default false;
            }
        }
        view def EditableMatrixView :> MatrixView;
        view def ConnectionMatrixView :> EditableMatrixView;
        view def AllocationMatrixView :> EditableMatrixView;
        view def RequirementMatrixView :> EditableMatrixView;
    }
}
