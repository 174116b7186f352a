// `pkg:kestro` package identifiers: "pkg:kestro/" + publisher + "/" + name,
// whose two fields follow fixed naming rules, and those field rules
// themselves (normalisation and validity).
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::model {

// Which field rules apply: names also take `.` as a separator.
enum class PurlField { Publisher, Name };

// The variants of PurlError. Every variant keeps the identifier exactly as
// written in `purl`.
struct PurlVariants {
  // `segments`: the number of `/`-separated segments after "pkg:kestro/".
  struct WrongShape {
    std::string purl;
    std::size_t segments;
    bool operator==(const WrongShape&) const = default;
  };
  // The segment as written.
  struct InvalidPublisher {
    std::string purl;
    std::string publisher;
    bool operator==(const InvalidPublisher&) const = default;
  };
  struct InvalidName {
    std::string purl;
    std::string name;
    bool operator==(const InvalidName&) const = default;
  };
  // Both segments normalised.
  struct NotNormalized {
    std::string purl;
    std::string norm_publisher;
    std::string norm_name;
    bool operator==(const NotNormalized&) const = default;
  };
  using Sum = std::variant<WrongShape, InvalidPublisher, InvalidName, NotNormalized>;
};

// A malformed `pkg:kestro` identifier.
class PurlError : public ErrorSum<PurlError, PurlVariants> {
 public:
  using ErrorSum::ErrorSum;
  const std::string& purl() const {
    return visit([](const auto& v) -> const std::string& { return v.purl; });
  }
  static std::string text_of(const WrongShape& v);
  static std::string text_of(const InvalidPublisher& v);
  static std::string text_of(const InvalidName& v);
  static std::string text_of(const NotNormalized& v);
  static std::string debug_of(const WrongShape& v);
  static std::string debug_of(const InvalidPublisher& v);
  static std::string debug_of(const InvalidName& v);
  static std::string debug_of(const NotNormalized& v);
};

// The two fields of a well-formed identifier, borrowed from the text.
struct KestroPurl {
  std::string_view publisher;
  std::string_view name;
  friend bool operator==(const KestroPurl&, const KestroPurl&) = default;
};

// ASCII upper-case letters lower-cased and each blank turned into `-`; every
// other byte unchanged.
std::string normalize_purl_field(std::string_view field);

// Whether the field, once normalised, is 3 to 50 bytes of lower-case ASCII
// letters and digits, with single separators (`-`, and `.` for names)
// between them.
bool is_valid_purl_field(std::string_view field, PurlField kind);

// nullopt when the text is no `pkg:kestro` identifier (shorter than 11
// bytes, or not `pkg` in any letter case followed by exactly ":kestro/");
// otherwise publisher and name, both valid and already normalised, or the
// PurlError that says what is wrong.
std::expected<std::optional<KestroPurl>, PurlError> parse_kestro_purl(std::string_view text);

// `<publisher>/<name>` shorthand: nullopt when the text has no `/`, more
// than one, or any `:` (it is then meant as an IRI as written); otherwise
// "pkg:kestro/<publisher>/<name>" when both fields are valid and already
// normalised, or the PurlError of that identifier.
std::expected<std::optional<std::string>, PurlError> expand_purl_shorthand(std::string_view text);

}  // namespace kestro::model
