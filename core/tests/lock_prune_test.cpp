#include "kestro/lock/lock_prune.hpp"

#include <gtest/gtest.h>

#include "kestro/lock/lock_read.hpp"

namespace kestro::lock {
namespace {

// A project known as `urn:<name>`, with its usages and sources.
Project proj(std::string name, std::vector<std::string> usages, std::vector<Source> sources = {},
             std::optional<std::string> publisher = std::nullopt) {
  std::vector<std::string> ids = {"urn:" + name};
  return {std::move(publisher), std::move(name), "1.0.0", {}, std::move(ids), std::move(usages), std::move(sources)};
}
Project root(std::string name, std::vector<std::string> usages, std::string path = ".") {
  return proj(std::move(name), std::move(usages), {EditableSource{std::move(path)}});
}

std::vector<std::string> names(const std::vector<Project>& projects) {
  std::vector<std::string> out;
  for (const Project& p : projects) out.push_back(p.name);
  return out;
}

TEST(LockPrune, Cases) {
  using Names = std::vector<std::string>;
  struct Case {
    const char* what;
    std::vector<Project> projects;
    std::string removed;
    std::optional<Names> result;  // names of the removed projects; nullopt: absent
    Names remaining;
    Names current_usages = {};  // the first project's usages afterwards, when given
    bool untouched = false;
  };
  const Case cases[] = {
      {"no projects", {}, "urn:a", std::nullopt, {}},
      {"current project has a local source, not an editable one",
       {proj("cur", {"urn:a"}, {LocalSrcSource{".", std::string(64, 'a')}}), proj("a", {})},
       "urn:a",
       std::nullopt,
       {"cur", "a"},
       {"urn:a"}},
      {"other name", {root("other", {"urn:a"}), proj("a", {})}, "urn:a", std::nullopt, {"other", "a"}},
      {"usage not listed", {root("cur", {"urn:a"}), proj("a", {})}, "urn:b", Names{}, {"cur", "a"}, {"urn:a"}, true},
      {"still used through a chain",
       {root("cur", {"urn:a", "urn:b"}), proj("a", {}), proj("b", {"urn:c"}), proj("c", {"urn:a"})},
       "urn:a",
       Names{},
       {"cur", "a", "b", "c"},
       {"urn:b"}},
      {"a chain goes in lock order",
       {proj("c", {}), root("cur", {"urn:a"}), proj("b", {"urn:c"}), proj("a", {"urn:b"})},
       "urn:a",
       Names{"c", "b", "a"},
       {"cur"}},
      {"workspace member and what it reaches stay",
       {root("cur", {"urn:a"}), proj("a", {}), root("member", {"urn:m"}, "lib/x"), proj("m", {})},
       "urn:a",
       Names{"a"},
       {"cur", "member", "m"}},
      {"no identifiers: unreachable",
       {root("cur", {"urn:a"}), proj("a", {}), Project{std::nullopt, "anon", "1", {}, {}, {}, {}}},
       "urn:a",
       Names{"a", "anon"},
       {"cur"}},
      {"paths with . or .. components are no roots",
       {root("cur", {"urn:a"}), proj("a", {}), root("up", {}, "../lib"), root("here", {}, "./lib")},
       "urn:a",
       Names{"a", "up", "here"},
       {"cur"}},
      {"another kept project uses the removed IRI",
       {root("cur", {"urn:a"}), proj("a", {}), root("member", {"urn:a"}, "m")},
       "urn:a",
       Names{},
       {"cur", "a", "member"}},
      {"earlier root of the same name stays, unfollowed",
       {root("cur", {"urn:b"}), proj("b", {}), root("cur", {"urn:a"}), proj("a", {})},
       "urn:a",
       Names{"b", "a"},
       {"cur", "cur"},
       {"urn:b"}},
      {"a duplicated usage goes entirely",
       {root("cur", {"urn:a", "urn:b", "urn:a"}), proj("a", {}), proj("b", {})},
       "urn:a",
       Names{"a"},
       {"cur", "b"},
       {"urn:b"}},
  };
  for (const Case& c : cases) {
    Lock lock = Lock::create();
    lock.project = c.projects;
    const Lock before = lock;
    const auto result = prune_lock(lock, std::nullopt, "cur", c.removed);
    ASSERT_EQ(result.has_value(), c.result.has_value()) << c.what;
    if (result) {
      EXPECT_EQ(names(*result), *c.result) << c.what;
    }
    EXPECT_EQ(names(lock.project), c.remaining) << c.what;
    if (!result || c.untouched) {
      EXPECT_EQ(lock, before) << c.what;
    }
    if (!c.current_usages.empty()) {
      EXPECT_EQ(lock.project[0].usages, c.current_usages) << c.what;
    }
    // A pruned lock of a valid lock is valid again.
    if (validate_lock(before)) {
      EXPECT_TRUE(validate_lock(lock).has_value()) << c.what;
    }
  }
}

TEST(LockPrune, PublisherMustMatchToo) {
  Lock lock = Lock::create();
  lock.project = {proj("cur", {"urn:a"}, {EditableSource{"."}}, "acme"), proj("a", {})};
  EXPECT_FALSE(prune_lock(lock, std::nullopt, "cur", "urn:a").has_value());
  EXPECT_FALSE(prune_lock(lock, std::string(""), "cur", "urn:a").has_value());
  const auto removed = prune_lock(lock, std::string("acme"), "cur", "urn:a");
  ASSERT_TRUE(removed.has_value());
  EXPECT_EQ(names(*removed), std::vector<std::string>{"a"});
}

}  // namespace
}  // namespace kestro::lock
