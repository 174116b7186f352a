#include "kestro/utils/log.hpp"

#include <gtest/gtest.h>

namespace kestro::log {
namespace {

TEST(Log, CaptureOnThisThread) {
  ScopedCapture outer;
  warn("kestro_core::model", "project uses {}", 1);
  {
    ScopedCapture inner;
    info("kestro_core::x", "inner");
    ASSERT_EQ(inner.records().size(), 1u);
  }
  ASSERT_EQ(outer.records().size(), 1u);
  EXPECT_EQ(outer.records()[0].level, Level::Warn);
  EXPECT_EQ(outer.records()[0].target, "kestro_core::model");
  EXPECT_EQ(outer.records()[0].message, "project uses 1");
}

TEST(Log, FirstSinkWins) {
  struct Counting : Sink {
    int n = 0;
    void write(const Record&) override { ++n; }
  };
  auto first = std::make_shared<Counting>();
  bool installed = try_set_sink(first);
  auto second = std::make_shared<Counting>();
  EXPECT_FALSE(try_set_sink(second));
  if (installed) {
    error("t", "x");
    EXPECT_EQ(first->n, 1);
  }
  EXPECT_EQ(second->n, 0);
}

}  // namespace
}  // namespace kestro::log
