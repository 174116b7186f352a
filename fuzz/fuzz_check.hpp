// Shared by the fuzz targets: a property check that stops the run so the
// fuzzer keeps the input that broke it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// Aborts with the failed condition's text when it is false; kept in release
// builds, unlike assert().
#define KESTRO_FUZZ_CHECK(cond)                                                           \
  do {                                                                                    \
    if (!(cond)) {                                                                        \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);    \
      __builtin_trap();                                                                   \
    }                                                                                     \
  } while (false)

namespace kestro::fuzz {

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Read, write, read: the second read succeeds with the value first read,
// and writing it gives the same text again. `Settle::Once` is for readers
// whose value may settle on its written form (a record's unrecognised usage
// whose repeated keys collapse into a recognised kind reads back as that
// kind): the property then holds from the value of the first written text.
// `parse` returns a std::expected whose error has message(); `write` gives
// the text.
enum class Settle { Never, Once };

template <typename Parse, typename Write>
void check_round_trip(std::string_view text, Parse&& parse, Write&& write, Settle settle = Settle::Never) {
  auto first = parse(text);
  if (!first) {
    (void)first.error().message();
    return;
  }
  std::string written = write(*first);
  if (settle == Settle::Once) {
    auto settled = parse(written);
    KESTRO_FUZZ_CHECK(settled.has_value());
    first = std::move(settled);
    written = write(*first);
  }
  auto again = parse(written);
  KESTRO_FUZZ_CHECK(again.has_value());
  KESTRO_FUZZ_CHECK(*again == *first);
  KESTRO_FUZZ_CHECK(write(*again) == written);
}

}  // namespace kestro::fuzz
