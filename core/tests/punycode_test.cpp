#include "kestro/utils/punycode.hpp"

#include <gtest/gtest.h>

namespace kestro {
namespace {

// Sample strings of RFC 3492 section 7.1, the host label of a common
// example, and the inputs that must not decode.
TEST(PunycodeDecode, SamplesAndFailures) {
  struct Case {
    std::string encoded;
    std::optional<std::string> decoded;
  } cases[] = {
      {"bcher-kva", "b\u00fccher"},
      {"egbpdaj6bu4bxfgehfvwxn", "\u0644\u064a\u0647\u0645\u0627\u0628\u062a\u0643\u0644\u0645\u0648\u0634\u0639\u0631\u0628\u064a\u061f"},
      {"ihqwcrb4cv8a8dqg056pqjye", "\u4ed6\u4eec\u4e3a\u4ec0\u4e48\u4e0d\u8bf4\u4e2d\u6587"},
      {"Proprostnemluvesky-uyb24dma41a", "Pro\u010dprost\u011bnemluv\u00ed\u010desky"},
      // Only the last `-` delimits; basic code points keep their case.
      {"-> $1.00 <--", "-> $1.00 <-"},
      {"abc-", "abc"},
      {"", ""},
      // Digits in upper case read like lower case.
      {"BCHER-KVA", "B\u00fcCHER"},
      {"bcher-kv", std::nullopt},          // number cut short
      {"bcher-k_a", std::nullopt},         // no base-36 digit
      {"b\xc3\xbc" "cher-kva", std::nullopt},  // non-ASCII before the delimiter
      {"-kva", std::nullopt},              // a leading `-` is no delimiter, and no digit
      {"99999999999", std::nullopt},       // overflow
      {"zzzzzzzzzzzzzzz", std::nullopt},   // overflow of the weight
      {"a-99999a", std::nullopt},          // beyond U+10FFFF
      {"a-rc4g", std::nullopt},            // a surrogate (U+D800)
      {"a-zz9a", "a\u55ff"},
  };
  for (const Case& c : cases) EXPECT_EQ(punycode_decode(c.encoded), c.decoded) << c.encoded;
}

}  // namespace
}  // namespace kestro
