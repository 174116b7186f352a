// The canonical text of an IRI: the form under which a project without a
// `pkg:kestro` identifier is placed in a package index, so spellings that
// differ only in letter case, escapes, dot segments or a default port land
// in the same place.
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <variant>

#include "kestro/utils/error.hpp"
#include "kestro/utils/iri.hpp"

namespace kestro::iri {

// Why an IRI has no canonical text.
class IriNormalizeError : public Error {
 public:
  // The text is no absolute IRI; carries the parser's error.
  struct Parse {
    IriError error;
  };
  // A non-ASCII host that UTS 46 cannot turn into ASCII.
  struct IdnConversion {
    std::string host;
  };

  IriNormalizeError(Parse p) : v_(std::move(p)) {}
  IriNormalizeError(IdnConversion p) : v_(std::move(p)) {}
  const std::variant<Parse, IdnConversion>& value() const { return v_; }

  // "IRI is not a well-formed RFC 3987 IRI: {parser's text}" or "host `{}` is
  // not a valid IDN and cannot be converted to Punycode".
  std::string message() const override;
  std::string debug() const override;

 private:
  std::variant<Parse, IdnConversion> v_;
};

// Parses an absolute IRI, then normalises it: scheme and host lower-cased,
// escapes upper-cased and decoded where they stand for unreserved ASCII or
// for non-ASCII characters IRIs allow, dot segments removed, IPv6 literals in
// canonical form, a default port (or an empty one) dropped, a non-ASCII
// registered name turned into Punycode, and an empty http(s) path made "/".
std::expected<std::string, IriNormalizeError> canonicalize_iri(std::string_view text);

}  // namespace kestro::iri
