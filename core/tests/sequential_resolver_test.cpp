// The sequential resolver over simple inner resolvers, and the debug lines
// the consumers of outcomes write.
#include "kestro/resolve/sequential.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kestro/resolve/index_resolver.hpp"
#include "resolve_test_support.hpp"
#include "support/loopback_index.hpp"

namespace kestro::resolve {
namespace {

using Outcome = ResolutionOutcome<std::string>;
using Result = std::expected<Outcome, std::string>;

class ListSequence : public ItemSequence<std::string> {
 public:
  explicit ListSequence(std::vector<std::string> items) : items_(std::move(items)) {}
  std::optional<std::string> next() override {
    if (at_ == items_.size()) return std::nullopt;
    return items_[at_++];
  }

 private:
  std::vector<std::string> items_;
  std::size_t at_ = 0;
};

// One inner answer, written as: "R:a,b" resolved with items a and b ("R:"
// none), "U:why" unsupported, "N:why" not found, "X:why" unresolvable,
// "E:what" an error.

class FixedResolver : public Resolver<std::string, std::string> {
 public:
  FixedResolver(std::string spec, int& asked) : spec_(std::move(spec)), asked_(asked) {}
  Result resolve(const UsageInContext&) override {
    ++asked_;
    const char kind = spec_[0];
    std::string rest = spec_.substr(2);
    if (kind == 'E') return std::unexpected(rest);
    if (kind == 'U') return Outcome{Outcome::UnsupportedUsageType{rest}};
    if (kind == 'N') return Outcome{Outcome::NotFound{rest}};
    if (kind == 'X') return Outcome{Outcome::Unresolvable{rest}};
    std::vector<std::string> items;
    for (std::size_t start = 0; start < rest.size();) {
      std::size_t comma = rest.find(',', start);
      if (comma == std::string::npos) comma = rest.size();
      items.push_back(rest.substr(start, comma - start));
      start = comma + 1;
    }
    return Outcome{Outcome::Resolved{std::make_unique<ListSequence>(std::move(items))}};
  }

 private:
  std::string spec_;
  int& asked_;
};

UsageInContext usage() {
  return UsageInContext{ResourceUsageG<iri::Iri, semver::VersionReq>{*iri::Iri::parse("urn:x"), std::nullopt},
                        std::nullopt};
}

// The merged answer as text: "items: a b" or "unsupported: ..." and so on,
// or "error: ...".
std::string answer_of(const std::vector<std::string>& specs, int& asked) {
  std::vector<std::unique_ptr<Resolver<std::string, std::string>>> inner;
  for (const std::string& s : specs) inner.push_back(std::make_unique<FixedResolver>(s, asked));
  SequentialResolver<std::string, std::string> resolver(std::move(inner));
  Result r = resolver.resolve(usage());
  if (!r) return "error: " + r.error();
  if (auto* found = std::get_if<Outcome::Resolved>(&r->value)) {
    std::string out = "items:";
    while (auto item = found->candidates->next()) out += " " + *item;
    // Pulling again after the end stays at the end.
    if (found->candidates->next()) out += " (pulled past the end)";
    return out;
  }
  static constexpr const char* kNames[] = {"", "unsupported: ", "not found: ", "unresolvable: "};
  return kNames[r->value.index()] + *r->reason();
}

TEST(SequentialResolver, MergesAnswersInListOrder) {
  struct Case {
    const char* what;
    std::vector<std::string> inner;
    std::string answer;
  };
  const Case cases[] = {
      {"no inner resolvers", {}, "unsupported: []"},
      {"all unsupported", {"U:a", "U:b \"q\"\n"}, "unsupported: [\"a\", \"b \\\"q\\\"\\n\"]"},
      {"not found among unsupported", {"U:a", "N:b", "U:c"}, "unresolvable: [\"a\", \"b\", \"c\"]"},
      {"unresolvable alone", {"X:bad"}, "unresolvable: [\"bad\"]"},
      {"two not found", {"N:environment does not contain this project", "N:environment does not contain this project"},
       "unresolvable: [\"environment does not contain this project\", \"environment does not contain this project\"]"},
      {"first resolved wins over not found", {"R:a,b", "N:gone"}, "items: a b"},
      {"resolved after not found", {"N:gone", "R:a"}, "items: a"},
      {"an empty resolved sequence still resolves", {"N:gone", "R:"}, "items:"},
      {"sequences merged in list order", {"R:1.0,2.0", "U:no", "R:1.0"}, "items: 1.0 2.0 1.0"},
      {"an error in the second of three", {"R:a", "E:index down", "R:c"}, "error: index down"},
      {"the earlier of two errors", {"N:x", "E:first", "E:second"}, "error: first"},
  };
  for (const Case& c : cases) {
    int asked = 0;
    EXPECT_EQ(answer_of(c.inner, asked), c.answer) << c.what;
    // Every inner resolver is asked, whatever the others answer.
    EXPECT_EQ(asked, static_cast<int>(c.inner.size())) << c.what;
  }
}

// Index resolvers over two loopback indexes, as the index stage asks them.
TEST(SequentialResolver, IndexStageMergesIndexesInListOrder) {
  using testing::entry;
  using testing::versions;
  using IndexOutcome = ResolutionOutcome<IndexCandidateItem>;
  const std::string one = versions({entry("1.0.0")});
  struct Case {
    const char* name;
    std::optional<std::string> first, second;  // each index's list; none: 404
    std::string answer;  // items as version@index, {U}: the first index's list URL
  };
  const Case cases[] = {
      {"two indexes with one version", one, one, "items: 1.0.0@1 1.0.0@2"},
      {"first index without the project", std::nullopt, versions({entry("2.0.0"), entry("1.0.0")}),
       "items: 2.0.0@2 1.0.0@2"},
      {"neither index with the project", std::nullopt, std::nullopt,
       "unresolvable: [\"environment does not contain this project\", \"environment does not contain this "
       "project\"]"},
      {"a broken first index fails the stage", versions({entry("1.0.0"), entry("1.0.0")}), one,
       "error: versions.json at `{U}` lists version `1.0.0` more than once"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::Index first, second;
    if (c.first) first.route("/idx/acme/widgets/versions.json", testing::Reply::ok(*c.first));
    if (c.second) second.route("/idx/acme/widgets/versions.json", testing::Reply::ok(*c.second));
    std::vector<std::unique_ptr<Resolver<IndexCandidateItem, IndexEnvError>>> inner;
    for (const testing::Index* index : {&first, &second})
      inner.push_back(
          std::make_unique<EnvResolver>(IndexEnvironment(index->location(), http::Client(), AuthPolicy())));
    SequentialResolver<IndexCandidateItem, IndexEnvError> stage(std::move(inner));
    auto result = stage.resolve(resource_usage("pkg:kestro/acme/widgets"));
    std::string answer;
    if (!result) {
      answer = "error: " + result.error().message();
    } else if (auto* found = std::get_if<IndexOutcome::Resolved>(&result->value)) {
      answer = "items:";
      while (auto item = found->candidates->next()) {
        ASSERT_TRUE(*item) << item->error().message();
        const bool from_first = (*item)->archive().url().href().starts_with(first.url());
        answer += " " + (*item)->version()->value() + (from_first ? "@1" : "@2");
      }
    } else {
      answer = (result->value.index() == 3 ? "unresolvable: " : "other: ") + *result->reason();
    }
    EXPECT_EQ(answer, testing::replace_all(c.answer, "{U}", first.url("acme/widgets/versions.json")));
    // Both indexes are asked, whatever the first answers.
    EXPECT_FALSE(second.targets().empty());
  }
}

TEST(OutcomeReport, DebugLinesPerConsumer) {
  struct Case {
    OutcomeConsumer consumer;
    std::size_t variant;
    const char* target;
    const char* text;  // nullptr: nothing is logged
  };
  using C = OutcomeConsumer;
  const Case cases[] = {
      {C::File, 1, "kestro_core::resolve::combined", "file resolver does not support usage type of IRI `urn:x`: r"},
      {C::File, 2, "kestro_core::resolve::combined", "file resolver did not find the project: r"},
      {C::File, 3, "", nullptr},
      {C::Local, 1, "kestro_core::resolve::combined", "local resolver does not support usage type of IRI `urn:x`: r"},
      {C::Local, 2, "kestro_core::resolve::combined", "local resolver did not find IRI `urn:x`: r"},
      {C::Local, 3, "kestro_core::resolve::combined", "local resolver rejected IRI `urn:x`: r"},
      {C::Http, 1, "kestro_core::resolve::remote", "HTTP resolver rejected usage IRI `urn:x`: r"},
      {C::Http, 2, "kestro_core::resolve::remote", "HTTP resolver did not find usage IRI `urn:x`: r"},
      {C::Http, 3, "kestro_core::resolve::remote", "HTTP resolver refused to resolve usage IRI `urn:x`: r"},
      {C::Git, 1, "kestro_core::resolve::remote", "git resolver rejected usage IRI `urn:x`: r"},
      {C::Git, 2, "kestro_core::resolve::remote", "git resolver did not find usage IRI `urn:x`: r"},
      {C::Git, 3, "kestro_core::resolve::remote", "git resolver refused to resolve usage IRI `urn:x`: r"},
      {C::Remote, 1, "kestro_core::resolve::combined", "remote resolver rejected IRI `urn:x`: r"},
      {C::Remote, 2, "kestro_core::resolve::combined", "remote resolver unable to resolve IRI `urn:x`: r"},
      {C::Remote, 3, "kestro_core::resolve::combined", "remote resolver rejected IRI `urn:x`: r"},
      {C::Index, 1, "kestro_core::resolve::combined", "index resolver rejected IRI `urn:x`: r"},
      {C::Index, 2, "kestro_core::resolve::combined", "index resolver unable to resolve IRI `urn:x`: r"},
      {C::Index, 3, "kestro_core::resolve::combined", "index resolver unable to resolve IRI `urn:x`: r"},
      {C::Priority, 1, "kestro_core::resolve::priority", "higher priority resolver rejected usage IRI `urn:x`: r"},
      {C::Priority, 2, "kestro_core::resolve::priority", "higher priority resolver did not find usage IRI `urn:x`: r"},
      {C::Priority, 3, "kestro_core::resolve::priority", "cannot resolve usage IRI `urn:x`: r"},
  };
  for (const Case& c : cases) {
    auto report = outcome_report(c.consumer, usage(), c.variant, "r");
    if (!c.text) {
      EXPECT_FALSE(report) << c.variant;
      continue;
    }
    ASSERT_TRUE(report) << c.text;
    EXPECT_EQ(report->target, c.target) << c.text;
    EXPECT_EQ(report->text, c.text);
  }
  // A resolved outcome is not reported.
  Outcome resolved{Outcome::Resolved{std::make_unique<ListSequence>(std::vector<std::string>{})}};
  EXPECT_FALSE(outcome_report(OutcomeConsumer::Index, usage(), resolved));
  EXPECT_EQ(file_refusal_reason("r"), "file resolver refused to resolve the project, no other sources will be tried: r");
}

}  // namespace
}  // namespace kestro::resolve
