#include "kestro/lock/lock_read.hpp"

#include <gtest/gtest.h>

#include "kestro/utils/log.hpp"

namespace kestro::lock {
namespace {

const std::string kHead = "lock_version = \"0.5\"\n";
const std::string kDigest(64, 'a');

struct Failure {
  std::string what;
  std::string text;
  std::string chain;  // render_error_chain of the error; empty: only the first line is compared
  std::string first_line = {};
};

TEST(LockRead, FailuresWithTheirChains) {
  const Failure cases[] = {
      {"missing version", "[[project]]\nname = \"p\"\n", "lockfile version is missing"},
      {"float version with an unknown key", "x = 1\nlock_version = 0.5\n", "lockfile version is missing"},
      {"array version", "lock_version = [\"0.5\"]\n", "lockfile version is missing"},
      {"old version", "lock_version = \"0.4\"\n",
       "lockfile version `0.4` is not supported; regenerate it with a lock operation"},
      {"longer version", "lock_version = \"0.5.0\"\n",
       "lockfile version `0.5.0` is not supported; regenerate it with a lock operation"},
      {"blank around version", "lock_version = \" 0.5\"\n",
       "lockfile version ` 0.5` is not supported; regenerate it with a lock operation"},
      {"not TOML", "lock_version = \"0.5\n", "", "failed to parse lockfile: TOML parse error at line 1, column 16"},
      {"source fitting no kind", kHead + "[[project]]\nname = \"p\"\nversion = \"1\"\nsources = [{ kpar_path = \"a\", "
                                         "kpar_size = 0, kpar_digest = \"" + kDigest + "\" }]\n",
       "", "failed to parse lockfile: TOML parse error at line 5, column 12"},
      {"missing name", kHead + "[[project]]\nversion = \"1\"\n", "", "failed to parse lockfile: TOML parse error"},
      {"project as plain value", kHead + "project = [1]\n", "", "failed to parse lockfile: TOML parse error"},
  };
  for (const Failure& c : cases) {
    auto r = parse_lock(c.text);
    ASSERT_FALSE(r.has_value()) << c.what;
    const std::string chain = render_error_chain(r.error());
    if (!c.chain.empty())
      EXPECT_EQ(chain, c.chain) << c.what;
    else
      EXPECT_EQ(chain.substr(0, c.first_line.size()), c.first_line) << c.what << "\n" << chain;
  }
}

TEST(LockRead, TypedReaderMessages) {
  struct Case {
    std::string body;
    std::string reason;
  };
  const Case cases[] = {
      {"[[project]]\nversion = \"1\"\n", "missing field `name`"},
      {"[[project]]\nname = \"p\"\n", "missing field `version`"},
      {"project = [1]\n", "invalid type: integer `1`, expected struct Project"},
      {"[[project]]\nname = 1\nversion = \"1\"\n", "invalid type: integer `1`, expected a string"},
      {"[[project]]\nname = \"p\"\nversion = \"1\"\nsources = [\"x\"]\n",
       "data did not match any variant of untagged enum Source"},
      {"[[project]]\nname = \"p\"\nversion = \"1\"\nsources = [{ remote_kpar = \"https://h\", kpar_size = 1.5, "
       "kpar_digest = \"d\" }]\n",
       "data did not match any variant of untagged enum Source"},
      {"[[project]]\nname = \"p\"\nversion = \"1\"\nsources = [{ remote_kpar = \"https://h\", kpar_size = \"1\", "
       "kpar_digest = \"d\" }]\n",
       "data did not match any variant of untagged enum Source"},
      {"[[project]]\nname = \"p\"\nversion = \"1\"\nsources = [{ remote_kpar = \"https://h\", kpar_size = -5, "
       "kpar_digest = \"d\" }]\n",
       "data did not match any variant of untagged enum Source"},
  };
  for (const Case& c : cases) {
    auto r = parse_lock(kHead + c.body);
    ASSERT_FALSE(r.has_value()) << c.body;
    const auto* toml = r.error().get_if<LockfileError::Toml>();
    ASSERT_NE(toml, nullptr) << c.body;
    EXPECT_EQ(toml->error.reason(), c.reason) << c.body;
  }
}

TEST(LockRead, SourceKindsTriedInOrder) {
  struct Case {
    std::string table;
    Source source;
  };
  const Case cases[] = {
      {"{ editable = \"a\", src_path = \"b\", checksum = \"" + kDigest + "\" }", EditableSource{"a"}},
      {"{ remote_kpar = \"https://r\", index_kpar = \"https://i\", kpar_size = 1, kpar_digest = \"" + kDigest + "\" }",
       RemoteKparSource{"https://r", 1, kDigest}},
      {"{ kpar_path = \"a.kpar\", kpar_size = 0, kpar_digest = \"" + kDigest + "\", remote_git = \"https://g\" }",
       RemoteGitSource{"https://g"}},
      {"{ editable = \".\", kpar_size = 3 }", EditableSource{"."}},
  };
  for (const Case& c : cases) {
    auto r = parse_lock(kHead + "[[project]]\nname = \"p\"\nversion = \"1.0.0\"\nsources = [" + c.table + "]\n");
    ASSERT_TRUE(r.has_value()) << c.table << ": " << r.error().message();
    EXPECT_EQ(r->project[0].sources.at(0), c.source) << c.table;
  }
}

std::vector<std::string> warnings_of(const std::string& text, bool& ok) {
  log::ScopedCapture capture;
  ok = parse_lock(text).has_value();
  std::vector<std::string> out;
  for (const log::Record& r : capture.records()) {
    EXPECT_EQ(r.level, log::Level::Warn);
    EXPECT_EQ(r.target, "kestro_core::lock");
    out.push_back(r.message);
  }
  return out;
}

TEST(LockRead, UnknownKeyWarningsInDocumentOrder) {
  const std::string text = "lock_version = \"0.5\"\nx = 1\n\n"
                           "[[project]]\nname = \"p\"\nz = 2\nversion = \"1.0.0\"\n"
                           "sources = [{ editable = \".\", y = 3, kpar_size = 1 }]\nw = 0\n"
                           "[[project]]\nq = 1\nversion = \"1.0.0\"\n";
  bool ok = true;
  const auto warnings = warnings_of(text, ok);
  EXPECT_FALSE(ok);  // the second project has no name
  const std::vector<std::string> expected = {
      "unknown field `x` in lockfile",
      "unknown field `z` in project with name `\"p\"` in lockfile",
      "unknown field `y` in source for project with name `\"p\"` in lockfile",
      "unknown field `w` in project with name `\"p\"` in lockfile",
      "unknown field `q` in project without name in lockfile",
  };
  EXPECT_EQ(warnings, expected);
}

TEST(LockRead, NoWarningsOutsideTheWrittenForms) {
  const std::vector<std::string> none;
  bool ok = false;
  // Sources as array-of-tables headers, projects as an inline array.
  EXPECT_EQ(warnings_of(kHead + "[[project]]\nname = 'p'\nversion = \"1.0.0\"\n[[project.sources]]\neditable = "
                                "\".\"\nodd = 1\n",
                        ok),
            none);
  EXPECT_TRUE(ok);
  EXPECT_EQ(warnings_of(kHead + "project = [{ name = \"p\", version = \"1.0.0\", odd = 1 }]\n", ok), none);
  EXPECT_TRUE(ok);
  // A failed version check logs nothing.
  EXPECT_EQ(warnings_of("odd = 1\nlock_version = \"0.4\"\n", ok), none);
  EXPECT_EQ(warnings_of("odd = 1\nlock_version = 0.5\n", ok), none);
}

}  // namespace
}  // namespace kestro::lock
