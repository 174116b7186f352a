// The memory and priority resolvers: lookups by identifier text, the
// priority order, its debug lines, and answers passed through unchanged.
#include "kestro/resolve/memory_resolver.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kestro/utils/log.hpp"

namespace kestro::resolve {
namespace {

UsageInContext usage(const std::string& iri) {
  return UsageInContext{ResourceUsageG<iri::Iri, semver::VersionReq>{*iri::Iri::parse(iri), std::nullopt}, std::nullopt};
}

InMemoryProject project(const std::string& name) {
  InMemoryProject p;
  p.files.emplace("name", name);
  return p;
}
std::string name_of(const InMemoryProject& p) { return p.files.at("name"); }

// A lower resolver with a fixed answer: "R:a,b" resolved, "U:", "N:", "X:"
// with a reason, "E:" an error.
class Fixed : public Resolver<InMemoryProject, std::string> {
 public:
  explicit Fixed(std::string spec) : spec_(std::move(spec)) {}
  std::expected<ResolutionOutcome<InMemoryProject>, std::string> resolve(const UsageInContext&) override {
    using O = ResolutionOutcome<InMemoryProject>;
    const std::string rest = spec_.substr(2);
    switch (spec_[0]) {
      case 'E': return std::unexpected(rest);
      case 'U': return O{O::UnsupportedUsageType{rest}};
      case 'N': return O{O::NotFound{rest}};
      case 'X': return O{O::Unresolvable{rest}};
      default: return O::resolved_with({project(rest)});
    }
  }

 private:
  std::string spec_;
};

using Memory = MemoryResolver<InMemoryProject>;
using Stack = PriorityResolver<Memory, Fixed>;

// The answer as text: "higher: a b", "lower: c", "not found: ..." and so on.
std::string answer(Stack& stack, const std::string& iri) {
  auto r = stack.resolve(usage(iri));
  if (!r) return "error: " + r.error();
  if (auto* found = std::get_if<Stack::Outcome::Resolved>(&r->value)) {
    std::string out;
    while (auto item = found->candidates->next()) {
      const bool higher = std::holds_alternative<Stack::Item::Higher>(item->kind);
      const auto& held = higher ? std::get<Stack::Item::Higher>(item->kind).project
                                : std::get<Stack::Item::Lower>(item->kind).project;
      out += (out.empty() ? "" : " ") + std::string(higher ? "higher:" : "lower:") + name_of(held);
    }
    return out.empty() ? "resolved, empty" : out;
  }
  static constexpr const char* kNames[] = {"", "unsupported: ", "not found: ", "unresolvable: "};
  return kNames[r->value.index()] + *r->reason();
}

TEST(PriorityResolver, HigherFirstLowerDecides) {
  struct Case {
    const char* what;
    const char* iri;
    std::string lower;
    std::string answer;
    std::vector<std::string> lines;
  };
  const std::string miss = "higher priority resolver did not find usage IRI `urn:c`: " + std::string(kNotInMemory);
  const Case cases[] = {
      {"found in memory: the lower resolver is not asked", "urn:a", "E:never", "higher:a1 higher:a2", {}},
      {"registered empty: still the higher answer", "urn:empty", "R:x", "resolved, empty", {}},
      {"a miss goes to the lower resolver", "urn:c", "R:c", "lower:c", {miss}},
      {"the lower refusal as it is", "urn:c", "X:refused", "unresolvable: refused", {miss}},
      {"the lower not-found as it is", "urn:c", "N:nowhere", "not found: nowhere", {miss}},
      {"the lower unsupported as it is", "urn:c", "U:kind", "unsupported: kind", {miss}},
      {"the lower error as it is", "urn:c", "E:down", "error: down", {miss}},
      {"the text is compared byte for byte", "urn:A", "N:no", "not found: no",
       {"higher priority resolver did not find usage IRI `urn:A`: " + std::string(kNotInMemory)}},
  };
  for (const Case& c : cases) {
    Stack stack(Memory({{"urn:a", {project("a1"), project("a2")}}, {"urn:empty", {}}}), Fixed(c.lower));
    log::ScopedCapture capture;
    EXPECT_EQ(answer(stack, c.iri), c.answer) << c.what;
    std::vector<std::string> lines;
    for (const auto& r : capture.records()) {
      EXPECT_EQ(r.target, "kestro_core::resolve::priority");
      lines.push_back(r.message);
    }
    EXPECT_EQ(lines, c.lines) << c.what;
  }
}

TEST(MemoryResolver, EmptyMapAndCopies) {
  Memory empty;
  auto r = empty.lookup(usage("urn:a"));
  ASSERT_EQ(r.value.index(), 2u);
  EXPECT_EQ(*r.reason(), kNotInMemory);
  Memory one({{"urn:a", {project("a")}}});
  auto first = one.lookup(usage("urn:a"));
  auto item = std::get<ResolutionOutcome<InMemoryProject>::Resolved>(first.value).candidates->next();
  ASSERT_TRUE(item);
  item->files["name"] = "changed";
  // The stored project is untouched by changes to the copy handed out.
  EXPECT_EQ(name_of(one.projects().at("urn:a").front()), "a");
}

}  // namespace
}  // namespace kestro::resolve
