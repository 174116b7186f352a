// The ten standard libraries of the KerML and SysML v2 release 20250201,
// known without network access: their records as text, read with the same
// reader as files on disk.
#include "kestro/project/stdlib.hpp"

#include "kestro/utils/error.hpp"

namespace kestro::project {

namespace {

struct StdlibText {
  const char* location;
  const char* info;
  const char* meta;
};

// Row order: the order in which the table is built.
constexpr StdlibText kTexts[] = {
    {"https://www.omg.org/spec/SysML/20250201/Quantities-and-Units-Domain-Library.kpar",
     R"json({
  "name": "SysML Quantities and Units Library",
  "description": "Standard quantities and units domain library for the Systems Modeling Language (SysML)",
  "version": "2.0.0",
  "usage": [
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Semantic-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Data-Type-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Function-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/SysML/20250201/Systems-Library.kpar",
      "versionConstraint": "2.0.0"
    }
  ]
})json",
     R"json({
  "index": {
    "ISQ": "ISQ.sysml",
    "ISQAcoustics": "ISQAcoustics.sysml",
    "ISQAtomicNuclear": "ISQAtomicNuclear.sysml",
    "ISQBase": "ISQBase.sysml",
    "ISQCharacteristicNumbers": "ISQCharacteristicNumbers.sysml",
    "ISQChemistryMolecular": "ISQChemistryMolecular.sysml",
    "ISQCondensedMatter": "ISQCondensedMatter.sysml",
    "ISQElectromagnetism": "ISQElectromagnetism.sysml",
    "ISQInformation": "ISQInformation.sysml",
    "ISQLight": "ISQLight.sysml",
    "ISQMechanics": "ISQMechanics.sysml",
    "ISQSpaceTime": "ISQSpaceTime.sysml",
    "ISQThermodynamics": "ISQThermodynamics.sysml",
    "MeasurementRefCalculations": "MeasurementRefCalculations.sysml",
    "MeasurementReferences": "MeasurementReferences.sysml",
    "Quantities": "Quantities.sysml",
    "QuantityCalculations": "QuantityCalculations.sysml",
    "SI": "SI.sysml",
    "SIPrefixes": "SIPrefixes.sysml",
    "TensorCalculations": "TensorCalculations.sysml",
    "Time": "Time.sysml",
    "USCU": "USCustomaryUnits.sysml",
    "USCustomaryUnits": "USCustomaryUnits.sysml",
    "VectorCalculations": "VectorCalculations.sysml"
  },
  "created": "2025-03-13T00:00:00Z",
  "metamodel": "https://www.omg.org/spec/SysML/20250201",
  "checksum": {
    "ISQChemistryMolecular.sysml": {
      "value": "a6727de0079ffc45ccd020ba44e7202a9e59c4d148a9df8193037fee6da7711a",
      "algorithm": "SHA256"
    },
    "ISQElectromagnetism.sysml": {
      "value": "3517d4c9a31dc4e0fb4a6900d7a2c03d4dec3fba410fa04085bfb995adb2fae7",
      "algorithm": "SHA256"
    },
    "Quantities.sysml": {
      "value": "6e59653fe439e721f707e00bc25f3843b4973180194eaf5d826b7e283600cd45",
      "algorithm": "SHA256"
    },
    "Time.sysml": {
      "value": "445be257b48cf6b4a00e26067138562e857ca44fcdabaa71f9d47ed883eeadde",
      "algorithm": "SHA256"
    },
    "VectorCalculations.sysml": {
      "value": "613f1b55f94725a393cd0f753867452d68a4386721ee0356e2cc727950f305b0",
      "algorithm": "SHA256"
    },
    "TensorCalculations.sysml": {
      "value": "14ed9efbf9b8b23dd4e552cc77fae41e747264e55f4121d5e26bc2252807f417",
      "algorithm": "SHA256"
    },
    "ISQCharacteristicNumbers.sysml": {
      "value": "c35c40236af5dacc75f5a0882da4244d4bb8551ebe0c8df4218c9e302e75d64d",
      "algorithm": "SHA256"
    },
    "ISQMechanics.sysml": {
      "value": "eb60fe410815a67f24cddcef0e5562479fa1faea8347e7a7199478a6fc559c5b",
      "algorithm": "SHA256"
    },
    "MeasurementRefCalculations.sysml": {
      "value": "51e15d389f3836df3782f87d6450a1d6a8ac08dfd9a2cfddef338ae56dd688dc",
      "algorithm": "SHA256"
    },
    "QuantityCalculations.sysml": {
      "value": "64e533c978cb73b29f0315e513af49f7ae488c1aa3c712cbf9443d9e07d009b4",
      "algorithm": "SHA256"
    },
    "ISQAcoustics.sysml": {
      "value": "91ff456731559717295f3ad27e93a9b88787a264f1fa895fd4efec9632182557",
      "algorithm": "SHA256"
    },
    "SI.sysml": {
      "value": "9612a4e2527aa4d96aa312fd65db4d5991c8496671e4a508b1ff639491236fa1",
      "algorithm": "SHA256"
    },
    "ISQCondensedMatter.sysml": {
      "value": "a0896bd6adf713243bd0009b3f09ea451a3e31cb772622b05f89a5404c229984",
      "algorithm": "SHA256"
    },
    "ISQSpaceTime.sysml": {
      "value": "47946e32f30110661ab586de2f851841d1fad0b35381e510c1eaabba039ecc39",
      "algorithm": "SHA256"
    },
    "ISQBase.sysml": {
      "value": "cc5dc730d2a7167e914431a6f12d0318f792a5c6e2a204a37df9ab33f5e98435",
      "algorithm": "SHA256"
    },
    "ISQAtomicNuclear.sysml": {
      "value": "ffd8c8667874fd31e36102eeb239923ab08463316a7b228376da282b9ca3c5be",
      "algorithm": "SHA256"
    },
    "ISQThermodynamics.sysml": {
      "value": "37ff9990c0b9485dd0e0c901be3bb979a62d22b4598b7b9007e746f4b24c8c3b",
      "algorithm": "SHA256"
    },
    "MeasurementReferences.sysml": {
      "value": "32d25b13e96487f771b293ab8e9ca82a39ccd8da6553d944900ba3b500323bb8",
      "algorithm": "SHA256"
    },
    "ISQ.sysml": {
      "value": "1114a2f3556e757676768d05de2fbf8b1804fde5892d68c976e111db81117fda",
      "algorithm": "SHA256"
    },
    "ISQInformation.sysml": {
      "value": "7b9e1e1b55e9b46556f822451515a6918d24cf61b018b01757cdad18c6856604",
      "algorithm": "SHA256"
    },
    "ISQLight.sysml": {
      "value": "a768a75b90bcae08d35662465331e96a7c785f4bf1df107663a2a6865604d643",
      "algorithm": "SHA256"
    },
    "USCustomaryUnits.sysml": {
      "value": "3eccdf7b5bb85d82698bebb2f8d13d69efb58081aabe65d00b82bbf65ec2281a",
      "algorithm": "SHA256"
    },
    "SIPrefixes.sysml": {
      "value": "90e604fcda40f8ec920114a457097cb2fed6d898d422c80277b4c8e9c3e70638",
      "algorithm": "SHA256"
    }
  }
})json"},
    {"https://www.omg.org/spec/KerML/20250201/Function-Library.kpar",
     R"json({
  "name": "Kernel Function Library",
  "description": "Standard function library for the Kernel Modeling Language (KerML)",
  "version": "1.0.0",
  "usage": [
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Semantic-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Data-Type-Library.kpar",
      "versionConstraint": "1.0.0"
    }
  ]
})json",
     R"json({
  "index": {
    "BaseFunctions": "BaseFunctions.kerml",
    "BooleanFunctions": "BooleanFunctions.kerml",
    "CollectionFunctions": "CollectionFunctions.kerml",
    "ComplexFunctions": "ComplexFunctions.kerml",
    "ControlFunctions": "ControlFunctions.kerml",
    "DataFunctions": "DataFunctions.kerml",
    "IntegerFunctions": "IntegerFunctions.kerml",
    "NaturalFunctions": "NaturalFunctions.kerml",
    "NumericalFunctions": "NumericalFunctions.kerml",
    "OccurrenceFunctions": "OccurrenceFunctions.kerml",
    "RationalFunctions": "RationalFunctions.kerml",
    "RealFunctions": "RealFunctions.kerml",
    "ScalarFunctions": "ScalarFunctions.kerml",
    "SequenceFunctions": "SequenceFunctions.kerml",
    "StringFunctions": "StringFunctions.kerml",
    "TrigFunctions": "TrigFunctions.kerml",
    "VectorFunctions": "VectorFunctions.kerml"
  },
  "created": "2025-03-13T00:00:00Z",
  "metamodel": "https://www.omg.org/spec/KerML/20250201"
})json"},
    {"https://www.omg.org/spec/SysML/20250201/Systems-Library.kpar",
     R"json({
  "name": "SysML Systems Library",
  "description": "Standard semantic library for the Systems Modeling Language (SysML)",
  "version": "2.0.0",
  "usage": [
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Semantic-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Data-Type-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Function-Library.kpar",
      "versionConstraint": "1.0.0"
    }
  ]
})json",
     R"json({
  "index": {
    "Actions": "Actions.sysml",
    "Allocations": "Allocations.sysml",
    "AnalysisCases": "AnalysisCases.sysml",
    "Attributes": "Attributes.sysml",
    "Calculations": "Calculations.sysml",
    "Cases": "Cases.sysml",
    "Connections": "Connections.sysml",
    "Constraints": "Constraints.sysml",
    "Flows": "Flows.sysml",
    "Interfaces": "Interfaces.sysml",
    "Items": "Items.sysml",
    "Metadata": "Metadata.sysml",
    "Parts": "Parts.sysml",
    "Ports": "Ports.sysml",
    "Requirements": "Requirements.sysml",
    "StandardViewDefinitions": "StandardViewDefinitions.sysml",
    "States": "States.sysml",
    "SysML": "SysML.sysml",
    "UseCases": "UseCases.sysml",
    "VerificationCases": "VerificationCases.sysml",
    "Views": "Views.sysml"
  },
  "created": "2025-03-13T00:00:00Z",
  "metamodel": "https://www.omg.org/spec/SysML/20250201",
  "checksum": {
    "StandardViewDefinitions.sysml": {
      "value": "b29882b0240e3cc2721b66c6bc9fd1d2d2431a34e80e170cd465911ff8d833a5",
      "algorithm": "SHA256"
    },
    "Parts.sysml": {
      "value": "ccaaee608c1eb372c47cfdfc011c5f4f48cc5bcca5fb8b2441587ec26fd0fdaa",
      "algorithm": "SHA256"
    },
    "AnalysisCases.sysml": {
      "value": "2bb88f61178f2cefd5441600d2d980ed1e1a4ffc5cb7b3ca9207edee5c350f87",
      "algorithm": "SHA256"
    },
    "Constraints.sysml": {
      "value": "84dd65984abd0c35c37b75ef5766bfa63c836aa75a1c75a9d3eb5f4230fa8fdd",
      "algorithm": "SHA256"
    },
    "Attributes.sysml": {
      "value": "0ff9b0acc3f0a7bd68fefe6b110e9136f1911d0c483741804c3b8ca07f5f538d",
      "algorithm": "SHA256"
    },
    "Calculations.sysml": {
      "value": "19f5c2ac553c0a034550292de6bfa601e6948fc81d5af781b59c940eee2e5f72",
      "algorithm": "SHA256"
    },
    "Interfaces.sysml": {
      "value": "62b5c3c2bc3960e8d25633231c3933a81e422b3a904dc9541b8787113d076c66",
      "algorithm": "SHA256"
    },
    "Actions.sysml": {
      "value": "541e019ff4a827fc5f2139987d2a96f8735e9423d623859fb0e93281371eafb5",
      "algorithm": "SHA256"
    },
    "Items.sysml": {
      "value": "3a344edb7def2276fa15e410c363531e5098d93bdf33a583418151fa87f538b3",
      "algorithm": "SHA256"
    },
    "Cases.sysml": {
      "value": "2c4c0cbaaa466f9f720ba69af3a019517ca0a7741a561f7880006bae946bf24f",
      "algorithm": "SHA256"
    },
    "Metadata.sysml": {
      "value": "6ad7a7857fad81570c84fac73981f8cce5aacab79bee2619644670bb792b2474",
      "algorithm": "SHA256"
    },
    "Ports.sysml": {
      "value": "401b2cb745bc0efb9df386d0435bddffa0e23d1eb6511cbe824734169b6a9566",
      "algorithm": "SHA256"
    },
    "SysML.sysml": {
      "value": "badb9f49bd280d0273a5f55fd6572fe2b332df6c8f3888415c04589fb314b900",
      "algorithm": "SHA256"
    },
    "VerificationCases.sysml": {
      "value": "dbee7255e16df9c5cf0bded96c43cb60b1e5026b6973c5fb1176316902ac47b9",
      "algorithm": "SHA256"
    },
    "States.sysml": {
      "value": "9524f4c6d4dd10550faf6692dfdef3975e9e7f8514368e92032e8a17199f4980",
      "algorithm": "SHA256"
    },
    "Allocations.sysml": {
      "value": "0ad900a4c25d88eb96da3d57e365f6c38cd87019bcaac5ab91eee9523b5f0ed1",
      "algorithm": "SHA256"
    },
    "Flows.sysml": {
      "value": "4e65e6a45060d634db8ba16767d7692e7704c62c84b579fdb2e56b18bd0f8a34",
      "algorithm": "SHA256"
    },
    "UseCases.sysml": {
      "value": "242e51944c32032215d76a9ff1fd967d8ba36efffd9d78da1c423a5b102a2cf6",
      "algorithm": "SHA256"
    },
    "Views.sysml": {
      "value": "4bbf3ab15d4e0c5754e0864c4a0a29efbcab1d18542741cfd98cf903c5930f25",
      "algorithm": "SHA256"
    },
    "Connections.sysml": {
      "value": "089d687c23c50095f1874d7f5ae1bb4af0f4d41afa0b58c518439a9691fcc3e3",
      "algorithm": "SHA256"
    },
    "Requirements.sysml": {
      "value": "c436a8fe2959b380ee3d8ae7c1c206311aa9c1215d13800b215f9952e1216632",
      "algorithm": "SHA256"
    }
  }
})json"},
    {"https://www.omg.org/spec/SysML/20250201/Cause-and-Effect-Domain-Library.kpar",
     R"json({
  "name": "SysML Cause and Effect Library",
  "description": "Standard cause-and-effect domain library for the Systems Modeling Language (SysML)",
  "version": "2.0.0",
  "usage": [
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Semantic-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Data-Type-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Function-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/SysML/20250201/Systems-Library.kpar",
      "versionConstraint": "2.0.0"
    }
  ]
})json",
     R"json({
  "index": {
    "CausationConnections": "CausationConnections.sysml",
    "CauseAndEffect": "CauseAndEffect.sysml"
  },
  "created": "2025-03-13T00:00:00Z",
  "metamodel": "https://www.omg.org/spec/SysML/20250201",
  "checksum": {
    "CausationConnections.sysml": {
      "value": "ad96c5282470e30d859582560225a75091b7c8058c0b949608e9dd07c130b661",
      "algorithm": "SHA256"
    },
    "CauseAndEffect.sysml": {
      "value": "a2d39ed3e61477fde0273473a2c46d8eeb93ed81fcfdaeac5d48b9f942ac5403",
      "algorithm": "SHA256"
    }
  }
})json"},
    {"https://www.omg.org/spec/SysML/20250201/Requirement-Derivation-Domain-Library.kpar",
     R"json({
  "name": "SysML Requirement Derivation Library",
  "description": "Standard requirements derivation domain library for the Systems Modeling Language (SysML)",
  "version": "2.0.0",
  "usage": [
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Semantic-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Function-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/SysML/20250201/Systems-Library.kpar",
      "versionConstraint": "2.0.0"
    }
  ]
})json",
     R"json({
  "index": {
    "DerivationConnections": "DerivationConnections.sysml",
    "RequirementDerivation": "RequirementDerivation.sysml"
  },
  "created": "2025-03-13T00:00:00Z",
  "metamodel": "https://www.omg.org/spec/SysML/20250201",
  "checksum": {
    "RequirementDerivation.sysml": {
      "value": "ee5bed2b7ad17e5c7505e6761d164e14de3d041d97e4bffc005853a130e09a20",
      "algorithm": "SHA256"
    },
    "DerivationConnections.sysml": {
      "value": "ead1bd65b39ec40d20e4fc3b715e3fec4f12c67de92129111d619e4f9cbf5897",
      "algorithm": "SHA256"
    }
  }
})json"},
    {"https://www.omg.org/spec/SysML/20250201/Metadata-Domain-Library.kpar",
     R"json({
  "name": "SysML Metadata Library",
  "description": "Standard metadata domain library for the Systems Modeling Language (SysML)",
  "version": "2.0.0",
  "usage": [
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Semantic-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Data-Type-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/SysML/20250201/Systems-Library.kpar",
      "versionConstraint": "2.0.0"
    }
  ]
})json",
     R"json({
  "index": {
    "ImageMetadata": "ImageMetadata.sysml",
    "ModelingMetadata": "ModelingMetadata.sysml",
    "ParametersOfInterestMetadata": "ParametersOfInterestMetadata.sysml",
    "RiskMetadata": "RiskMetadata.sysml"
  },
  "created": "2025-03-13T00:00:00Z",
  "metamodel": "https://www.omg.org/spec/SysML/20250201",
  "checksum": {
    "ParametersOfInterestMetadata.sysml": {
      "value": "f5c6da3be824a82a34482f00a3e43976787c03ea1d30cbda84b1be838c557876",
      "algorithm": "SHA256"
    },
    "ModelingMetadata.sysml": {
      "value": "bb6c664cfe65dc298827c6cca8fc21941965db3a40a0412ba211cf6ff1cc254d",
      "algorithm": "SHA256"
    },
    "RiskMetadata.sysml": {
      "value": "ee4f0734fa5995f435ca9c6144f48e3b7a10d422372a71c4396bba2401c14a6e",
      "algorithm": "SHA256"
    },
    "ImageMetadata.sysml": {
      "value": "b7fa6baf2ee3e3c0708c2b5901abd0d51deeba8e61652909cac57069b4e06731",
      "algorithm": "SHA256"
    }
  }
})json"},
    {"https://www.omg.org/spec/SysML/20250201/Geometry-Domain-Library.kpar",
     R"json({
  "name": "SysML Geometry Library",
  "description": "Standard geometry domain library for the Systems Modeling Language (SysML)",
  "version": "2.0.0",
  "usage": [
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Semantic-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Data-Type-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Function-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/SysML/20250201/Systems-Library.kpar",
      "versionConstraint": "2.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/SysML/20250201/Quantities-and-Units-Domain-Library.kpar",
      "versionConstraint": "2.0.0"
    }
  ]
})json",
     R"json({
  "index": {
    "ShapeItems": "ShapeItems.sysml",
    "SpatialItems": "SpatialItems.sysml"
  },
  "created": "2025-03-13T00:00:00Z",
  "metamodel": "https://www.omg.org/spec/SysML/20250201",
  "checksum": {
    "SpatialItems.sysml": {
      "value": "7d77900a479ed5a525a1bea99bcd3e0416b0f0862e945530a108544eba0eabf6",
      "algorithm": "SHA256"
    },
    "ShapeItems.sysml": {
      "value": "b00ce02720efe8775446bbd704b3c412ceb3d07ff7d5d08a7b70d7aa422137b1",
      "algorithm": "SHA256"
    }
  }
})json"},
    {"https://www.omg.org/spec/SysML/20250201/Analysis-Domain-Library.kpar",
     R"json({
  "name": "SysML Analysis Library",
  "description": "Standard analysis domain library for the Systems Modeling Language (SysML)",
  "version": "2.0.0",
  "usage": [
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Semantic-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Data-Type-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Function-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/SysML/20250201/Systems-Library.kpar",
      "versionConstraint": "2.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/SysML/20250201/Quantities-and-Units-Domain-Library.kpar",
      "versionConstraint": "2.0.0"
    }
  ]
})json",
     R"json({
  "index": {
    "AnalysisTooling": "AnalysisTooling.sysml",
    "SampledFunctions": "SampledFunctions.sysml",
    "StateSpaceRepresentation": "StateSpaceRepresentation.sysml",
    "TradeStudies": "TradeStudies.sysml"
  },
  "created": "2025-03-13T00:00:00Z",
  "metamodel": "https://www.omg.org/spec/SysML/20250201",
  "checksum": {
    "SampledFunctions.sysml": {
      "value": "66f11d0475d46e5350dfaf0ecb3ee44018b1d5d279cba03aa04dd6a6a0a39e23",
      "algorithm": "SHA256"
    },
    "StateSpaceRepresentation.sysml": {
      "value": "389a50e3eaa384d4f8d823335dd8acdacbdd139c8053b34829bc559984629005",
      "algorithm": "SHA256"
    },
    "TradeStudies.sysml": {
      "value": "316295d57bdcf1146ae202bd190f373333cf559c22b5be2efec584e1988009a0",
      "algorithm": "SHA256"
    },
    "AnalysisTooling.sysml": {
      "value": "6f71246f2a3f71ebd88df71736d7dca89af0eac8a3e7db5ea7e7a1970a7f7fd6",
      "algorithm": "SHA256"
    }
  }
})json"},
    {"https://www.omg.org/spec/KerML/20250201/Data-Type-Library.kpar",
     R"json({
  "name": "Kernel Data Type Library",
  "description": "Standard data type library for the Kernel Modeling Language (KerML)",
  "version": "1.0.0",
  "usage": [
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Semantic-Library.kpar",
      "versionConstraint": "1.0.0"
    }
  ]
})json",
     R"json({
  "index": {
    "Collections": "Collections.kerml",
    "ScalarValues": "ScalarValues.kerml",
    "VectorValues": "VectorValues.kerml"
  },
  "created": "2025-03-13T00:00:00Z",
  "metamodel": "https://www.omg.org/spec/KerML/20250201"
})json"},
    {"https://www.omg.org/spec/KerML/20250201/Semantic-Library.kpar",
     R"json({
  "name": "Kernel Semantic Library",
  "description": "Standard semantic library for the Kernel Modeling Language (KerML)",
  "version": "1.0.0",
  "usage": [
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Data-Type-Library.kpar",
      "versionConstraint": "1.0.0"
    },
    {
      "resource": "https://www.omg.org/spec/KerML/20250201/Function-Library.kpar",
      "versionConstraint": "1.0.0"
    }
  ]
})json",
     R"json({
  "index": {
    "Base": "Base.kerml",
    "Clocks": "Clocks.kerml",
    "ControlPerformances": "ControlPerformances.kerml",
    "FeatureReferencingPerformances": "FeatureReferencingPerformances.kerml",
    "KerML": "KerML.kerml",
    "Links": "Links.kerml",
    "Metaobjects": "Metaobjects.kerml",
    "Objects": "Objects.kerml",
    "Observation": "Observation.kerml",
    "Occurrences": "Occurrences.kerml",
    "Performances": "Performances.kerml",
    "SpatialFrames": "SpatialFrames.kerml",
    "StatePerformances": "StatePerformances.kerml",
    "Transfers": "Transfers.kerml",
    "TransitionPerformances": "TransitionPerformances.kerml",
    "Triggers": "Triggers.kerml"
  },
  "created": "2025-03-13T00:00:00Z",
  "metamodel": "https://www.omg.org/spec/KerML/20250201"
})json"},
};

}  // namespace

std::vector<StandardLibraryEntry> standard_library_entries() {
  std::vector<StandardLibraryEntry> entries;
  entries.reserve(std::size(kTexts));
  for (const auto& t : kTexts) {
    auto info = parse_project_info(t.info);
    auto meta = parse_project_meta(t.meta);
    if (!info || !meta) internal_error(std::string("defective standard-library record for ") + t.location);
    entries.push_back(StandardLibraryEntry{t.location, std::move(*info), std::move(*meta)});
  }
  return entries;
}

std::unordered_map<std::string, std::vector<InMemoryProject>> standard_library_projects() {
  std::unordered_map<std::string, std::vector<InMemoryProject>> table;
  for (auto& e : standard_library_entries())
    table[e.location].push_back(InMemoryProject({}, std::move(e.info), std::move(e.meta)));
  return table;
}

}  // namespace kestro::project
