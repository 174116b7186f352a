#include "kestro/lock/lock_order.hpp"

#include <gtest/gtest.h>

namespace kestro::lock {
namespace {

Project named(std::string name, std::string version = "1.0.0") {
  return {std::nullopt, std::move(name), std::move(version), {}, {}, {}, {}};
}

// The names of the lock's projects, in order.
std::vector<std::string> names(const Lock& lock) {
  std::vector<std::string> out;
  for (const Project& p : lock.project) out.push_back(p.name + "@" + p.version);
  return out;
}

TEST(LockOrder, SourceOrder) {
  const std::string d(64, 'a');
  // Each row: a sorts before b, or (equal) they compare equal.
  struct Case {
    const char* what;
    Source a, b;
    std::strong_ordering expected;
  };
  const Case cases[] = {
      {"a/b before a-b", EditableSource{"a/b"}, EditableSource{"a-b"}, std::strong_ordering::less},
      {"./a before ../a", EditableSource{"./a"}, EditableSource{"../a"}, std::strong_ordering::less},
      {"../a before a", EditableSource{"../a"}, EditableSource{"a"}, std::strong_ordering::less},
      {"root before current", EditableSource{"/a"}, EditableSource{"./a"}, std::strong_ordering::less},
      {"a//b equals a/b", EditableSource{"a//b"}, EditableSource{"a/b"}, std::strong_ordering::equal},
      {"a/./b equals a/b", EditableSource{"a/./b"}, EditableSource{"a/b"}, std::strong_ordering::equal},
      {"a/b/ equals a/b", EditableSource{"a/b/"}, EditableSource{"a/b"}, std::strong_ordering::equal},
      {"a before a/b", EditableSource{"a"}, EditableSource{"a/b"}, std::strong_ordering::less},
      {"names as unsigned bytes", EditableSource{"z"}, EditableSource{"\xc3\xa9"}, std::strong_ordering::less},
      {"editable before any local source", EditableSource{"z"}, LocalSrcSource{"a", d}, std::strong_ordering::less},
      {"git last", RemoteSrcSource{"z", d}, RemoteGitSource{"a"}, std::strong_ordering::less},
      {"index after remote archive", RemoteKparSource{"z", 9, d}, IndexKparSource{"a", 1, d},
       std::strong_ordering::less},
      {"size before digest", LocalKparSource{"a", 2, "a"}, LocalKparSource{"a", 10, "0"}, std::strong_ordering::less},
      {"digest as given", LocalKparSource{"a", 2, "B"}, LocalKparSource{"a", 2, "a"}, std::strong_ordering::less},
      {"URLs as text", RemoteGitSource{"https://h/a-b"}, RemoteGitSource{"https://h/a/b"}, std::strong_ordering::less},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compare_lock_sources(c.a, c.b), c.expected) << c.what;
    EXPECT_EQ(compare_lock_sources(c.b, c.a), 0 <=> c.expected) << c.what;
  }
}

TEST(LockOrder, Projects) {
  struct Case {
    const char* what;
    std::vector<Project> in;
    std::vector<std::string> out;
  };
  Project with_pub = named("p");
  with_pub.publisher = "z";
  Project with_usage = named("p");
  with_usage.usages = {"u"};
  Project exp_b = named("q"), exp_a = named("q");
  exp_b.exports = {"b"};
  exp_a.exports = {"a"};
  Project id_b = named("r", "b"), id_a = named("r", "a");
  id_b.identifiers = {"y"};
  id_a.identifiers = {"x"};
  const Case cases[] = {
      {"none", {}, {}},
      {"versions as text", {named("p", "1.9.0"), named("p", "1.10.0")}, {"p@1.10.0", "p@1.9.0"}},
      {"names first", {named("b", "0"), named("a", "9")}, {"a@9", "b@0"}},
      {"publisher and usages take no part", {with_pub, with_usage, named("p")}, {"p@1.0.0", "p@1.0.0", "p@1.0.0"}},
      {"exports before identifiers and version", {exp_b, exp_a}, {"q@1.0.0", "q@1.0.0"}},
      {"identifiers before version", {id_a, id_b}, {"r@a", "r@b"}},
  };
  for (const Case& c : cases) {
    Lock lock = Lock::create();
    lock.project = c.in;
    const Lock out = canonicalize_lock(lock);
    EXPECT_EQ(names(out), c.out) << c.what;
  }
  // Stability: equal projects keep their incoming order.
  Lock lock = Lock::create();
  lock.project = {with_pub, with_usage, named("p")};
  EXPECT_EQ(canonicalize_lock(lock).project, lock.project);
  lock.project = {exp_b, exp_a};
  EXPECT_EQ(canonicalize_lock(lock).project[0].exports, std::vector<std::string>{"a"});
}

TEST(LockOrder, ListsAndDigests) {
  Project p = named("p");
  p.exports = {"b", "a", "b"};
  p.identifiers = {"b", "a"};
  p.usages = {"z", "y"};
  const std::string upper = std::string(63, 'a') + "F", lower_b = std::string(63, 'a') + "b";
  p.sources = {RemoteGitSource{"https://g"}, LocalKparSource{"k", 1, lower_b}, LocalKparSource{"k", 1, upper},
               LocalSrcSource{"s", "ABC"}, EditableSource{"."}};
  Lock lock = Lock::create();
  lock.project = {p};
  const Project out = canonicalize_lock(lock).project[0];
  EXPECT_EQ(out.exports, (std::vector<std::string>{"a", "b", "b"}));
  EXPECT_EQ(out.identifiers, (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(out.usages, (std::vector<std::string>{"y", "z"}));
  // Ordered by the digests as given (F before b), then lower-cased: the
  // final digests stand in descending order.
  const std::vector<Source> expected = {EditableSource{"."}, LocalSrcSource{"s", "abc"},
                                        LocalKparSource{"k", 1, std::string(63, 'a') + "f"},
                                        LocalKparSource{"k", 1, lower_b}, RemoteGitSource{"https://g"}};
  EXPECT_EQ(out.sources, expected);
}

}  // namespace
}  // namespace kestro::lock
