standard library package RequirementDerivation {
    doc /* Metadata that records which requirements are derived from which. */

    private import ScalarValues::*;

    metadata def <original> OriginalRequirementMetadata {
        doc /* Marks the requirement that others are derived from. */
    }
    metadata def <derive> DerivedRequirementMetadata {
        doc /* Marks a requirement derived from an original one. */
    }
    metadata def <derivation> DerivationMetadata {
        doc /* Marks a connection from an original requirement to the requirements derived from it. */
    }
}
