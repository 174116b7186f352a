#include "kestro/project/stdlib.hpp"

#include <map>
#include <set>

#include <gtest/gtest.h>

namespace kestro::project {
namespace {

TEST(StandardLibrary, Records) {
  auto entries = standard_library_entries();
  ASSERT_EQ(entries.size(), 10u);
  std::map<std::string, std::string> versions;
  for (const auto& e : entries) versions[e.location] = e.info.version;
  ASSERT_EQ(versions.size(), 10u);

  const auto& qu = entries[0];
  EXPECT_EQ(qu.location, "https://www.omg.org/spec/SysML/20250201/Quantities-and-Units-Domain-Library.kpar");
  EXPECT_EQ(qu.meta.index.size(), 24u);
  std::set<std::string> files;
  for (const auto& [symbol, file] : qu.meta.index) files.insert(file);
  EXPECT_EQ(files.size(), 23u);
  EXPECT_EQ(*qu.meta.index.find("USCU"), "USCustomaryUnits.sysml");
  ASSERT_TRUE(qu.meta.checksum);
  EXPECT_EQ(qu.meta.checksum->size(), 23u);
  EXPECT_EQ(qu.meta.checksum->entries()[0].first, "ISQChemistryMolecular.sysml");
  EXPECT_EQ(*qu.meta.checksum->find("ISQ.sysml"),
            (InterchangeProjectChecksumRaw{"1114a2f3556e757676768d05de2fbf8b1804fde5892d68c976e111db81117fda", "SHA256"}));

  for (const auto& e : entries) {
    bool kerml = e.location.find("/KerML/") != std::string::npos;
    EXPECT_EQ(e.meta.checksum.has_value(), !kerml) << e.location;
    EXPECT_EQ(e.info.version, kerml ? "1.0.0" : "2.0.0");
    EXPECT_EQ(e.meta.metamodel, kerml ? "https://www.omg.org/spec/KerML/20250201" : "https://www.omg.org/spec/SysML/20250201");
    EXPECT_EQ(e.meta.created, "2025-03-13T00:00:00Z");
    EXPECT_FALSE(e.info.publisher);
    std::string previous;
    for (const auto& [symbol, file] : e.meta.index) {
      EXPECT_LT(previous, symbol);
      previous = symbol;
    }
    for (const auto& u : e.info.usage) {
      const auto& r = std::get<ResourceUsageRaw>(u);
      ASSERT_TRUE(versions.count(r.resource)) << r.resource;
      EXPECT_EQ(r.version_constraint, versions[r.resource]);
    }
  }
}

TEST(StandardLibrary, ProjectTable) {
  auto table = standard_library_projects();
  ASSERT_EQ(table.size(), 10u);
  for (const auto& [location, projects] : table) {
    ASSERT_EQ(projects.size(), 1u) << location;
    auto records = projects[0].get_project();
    ASSERT_TRUE(records);
    EXPECT_TRUE(records->first && records->second);
  }
  const std::string kerml_function = "https://www.omg.org/spec/KerML/20250201/Function-Library.kpar";
  for (auto miss : {"https://www.omg.org/spec/kerml/20250201/Function-Library.kpar",
                    "https://www.omg.org/spec/KerML/20250201/Function-Library.kpar/",
                    "https://www.omg.org/spec/KerML/20240201/Function-Library.kpar"})
    EXPECT_FALSE(table.count(miss));
  auto other = standard_library_projects();
  table.erase(kerml_function);
  EXPECT_EQ(other.size(), 10u);
  EXPECT_EQ(other.count(kerml_function), 1u);
}

}  // namespace
}  // namespace kestro::project
