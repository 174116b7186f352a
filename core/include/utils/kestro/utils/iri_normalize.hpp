// The canonical text of an IRI: the form under which a project without a
// `pkg:kestro` identifier is placed in a package index, so spellings that
// differ only in letter case, escapes, dot segments or a default port land
// in the same place.
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <variant>

#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/iri.hpp"

namespace kestro::iri {

struct IriNormalizeVariants {
  // The text is no absolute IRI; carries the parser's error.
  struct Parse {
    IriError error;
  };
  // A non-ASCII host that UTS 46 cannot turn into ASCII.
  struct IdnConversion {
    std::string host;
  };
  using Sum = std::variant<Parse, IdnConversion>;
};

// Why an IRI has no canonical text: "IRI is not a well-formed RFC 3987 IRI:
// {parser's text}" or "host `{}` is not a valid IDN and cannot be converted
// to Punycode". No cause.
class IriNormalizeError : public ErrorSum<IriNormalizeError, IriNormalizeVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Parse& v);
  static std::string text_of(const IdnConversion& v);
  static std::string debug_of(const Parse& v);
  static std::string debug_of(const IdnConversion& v);
};

// Parses an absolute IRI, then normalises it: scheme and host lower-cased,
// escapes upper-cased and decoded where they stand for unreserved ASCII or
// for non-ASCII characters IRIs allow, dot segments removed, IPv6 literals in
// canonical form, a default port (or an empty one) dropped, a non-ASCII
// registered name turned into Punycode, and an empty http(s) path made "/".
std::expected<std::string, IriNormalizeError> canonicalize_iri(std::string_view text);

}  // namespace kestro::iri
