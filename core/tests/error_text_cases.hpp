// A table row of rendered error texts: the error and its whole rendered
// chain (head line and cause lines).
#pragma once

#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "kestro/utils/error.hpp"

namespace kestro {

struct ErrorTextCase {
  const char* what;
  ErrorPtr error;
  std::string rendered;
};

template <typename Cases>
void expect_rendered(const Cases& cases) {
  for (const ErrorTextCase& c : cases) EXPECT_EQ(render_error_chain(*c.error), c.rendered) << c.what;
}

}  // namespace kestro
