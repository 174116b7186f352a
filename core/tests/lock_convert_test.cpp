#include "kestro/lock/lock_convert.hpp"

#include <gtest/gtest.h>

namespace kestro::lock {
namespace {

TEST(LockConvert, OverrideAndChecksumPerKind) {
  using K = OverrideSource::Kind;
  struct Case {
    Source source;
    OverrideSource override_source;
    std::optional<EnvProjectChecksum> checksum;
  };
  const Case cases[] = {
      {EditableSource{"."}, {K::Editable, "."}, std::nullopt},
      {LocalSrcSource{"s", "c1"}, {K::LocalSrc, "s"}, EnvProjectChecksum::src("c1")},
      {LocalKparSource{"k.kpar", 3, "d1"}, {K::LocalKpar, "k.kpar"}, EnvProjectChecksum::kpar("d1")},
      {RemoteKparSource{"https://r", 3, "d2"}, {K::RemoteKpar, "https://r"}, EnvProjectChecksum::kpar("d2")},
      {IndexKparSource{"https://i", 3, "d3"}, {K::RemoteKpar, "https://i"}, EnvProjectChecksum::kpar("d3")},
      {RemoteSrcSource{"https://s", "c2"}, {K::RemoteSrc, "https://s"}, EnvProjectChecksum::src("c2")},
      {RemoteGitSource{"https://g"}, {K::RemoteGit, "https://g"}, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lock_source_to_override(c.source), c.override_source) << c.override_source.text;
    EXPECT_EQ(env_checksum_of_source(c.source), c.checksum) << c.override_source.text;
  }
}

}  // namespace
}  // namespace kestro::lock
