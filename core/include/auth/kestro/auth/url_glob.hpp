// URL globs: the patterns that tie a credential to the URLs it goes with.
// A pattern matches the whole serialised URL, case-sensitively:
//   `?`  one character other than `/`;
//   `*`  any run of characters without `/`;
//   `**` as a whole path component: `**/` at the start matches any leading
//        components, `/**` at the end anything after the slash, `/**/`
//        inside one or more slashes with anything between; `**` alone
//        matches every text; elsewhere it is two `*`;
//   `[...]` a class (leading `!` or `^` negates, `a-z` ranges; a leading `]`
//        or `-` is literal), never matching `/`;
//   `{a,b}` alternatives (not nested; empty ones are dropped);
//   `\c` the character c itself.
#pragma once

#include <cstddef>
#include <expected>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kestro/utils/error_sum.hpp"

namespace kestro::auth {

// Why a pattern does not compile; each variant holds the pattern.
struct GlobErrorVariants {
  struct UnclosedClass {
    std::string glob;
    bool operator==(const UnclosedClass&) const = default;
  };
  struct InvalidRange {
    std::string glob;
    bool operator==(const InvalidRange&) const = default;
  };
  struct UnopenedAlternates {
    std::string glob;
    bool operator==(const UnopenedAlternates&) const = default;
  };
  struct UnclosedAlternates {
    std::string glob;
    bool operator==(const UnclosedAlternates&) const = default;
  };
  struct NestedAlternates {
    std::string glob;
    bool operator==(const NestedAlternates&) const = default;
  };
  struct DanglingEscape {
    std::string glob;
    bool operator==(const DanglingEscape&) const = default;
  };
  using Sum = std::variant<UnclosedClass, InvalidRange, UnopenedAlternates, UnclosedAlternates, NestedAlternates,
                           DanglingEscape>;
};

// "error parsing glob '{glob}': {reason}"; the debug form is the text.
class GlobError : public ErrorSum<GlobError, GlobErrorVariants> {
 public:
  using ErrorSum::ErrorSum;
  const std::string& glob() const {
    return visit([](const auto& v) -> const std::string& { return v.glob; });
  }
  static std::string text_of(const UnclosedClass& v);
  static std::string text_of(const InvalidRange& v);
  static std::string text_of(const UnopenedAlternates& v);
  static std::string text_of(const UnclosedAlternates& v);
  static std::string text_of(const NestedAlternates& v);
  static std::string text_of(const DanglingEscape& v);
};

// One compiled pattern.
class Glob {
 public:
  static std::expected<Glob, GlobError> compile(std::string_view pattern);
  bool matches(std::string_view text) const;
  struct Token;

 private:
  std::shared_ptr<const std::vector<Token>> tokens_;
  std::string literal_prefix_;  // every match starts with it
  std::size_t slots_ = 0;       // token positions, alternatives included
  bool everything_ = false;
};

// Compiled patterns, asked all at once: the positions of the patterns that
// match a text, ascending.
class GlobSet {
 public:
  GlobSet() = default;
  explicit GlobSet(std::vector<Glob> globs) : globs_(std::move(globs)) {}
  std::vector<std::size_t> matches(std::string_view text) const;
  std::size_t size() const { return globs_.size(); }

 private:
  std::vector<Glob> globs_;
};

// Pairs of a pattern text and a value, in push order.
template <typename T>
struct UrlGlobMapBuilder {
  std::vector<std::string> patterns;
  std::vector<T> values;
  void push(std::string_view pattern, T value) {
    patterns.emplace_back(pattern);
    values.push_back(std::move(value));
  }
};

// Immutable once built: value i belongs to pattern i.
template <typename T>
struct UrlGlobMap {
  std::vector<std::string> patterns;
  std::vector<T> values;
  GlobSet set;
};

template <typename T>
struct GlobLookup {
  struct None {};
  struct One {
    const T* value;
  };
  struct Match {
    std::string pattern;
    const T* value;
  };
  struct Many {
    std::vector<Match> matches;  // ascending pair position
  };
  std::variant<None, One, Many> result;
};

// Compiles every pattern; the error of the first that does not compile.
template <typename T>
std::expected<UrlGlobMap<T>, GlobError> build_url_glob_map(UrlGlobMapBuilder<T>&& builder) {
  std::vector<Glob> globs;
  globs.reserve(builder.patterns.size());
  for (const std::string& p : builder.patterns) {
    auto glob = Glob::compile(p);
    if (!glob) return std::unexpected(std::move(glob.error()));
    globs.push_back(std::move(*glob));
  }
  return UrlGlobMap<T>{std::move(builder.patterns), std::move(builder.values), GlobSet(std::move(globs))};
}

// `url` is the full serialised URL of the request.
template <typename T>
GlobLookup<T> glob_map_lookup(const UrlGlobMap<T>& map, std::string_view url) {
  std::vector<std::size_t> hits = map.set.matches(url);
  if (hits.empty()) return {typename GlobLookup<T>::None{}};
  if (hits.size() == 1) return {typename GlobLookup<T>::One{&map.values[hits[0]]}};
  typename GlobLookup<T>::Many many;
  many.matches.reserve(hits.size());
  for (std::size_t i : hits) many.matches.push_back({map.patterns[i], &map.values[i]});
  return {std::move(many)};
}

}  // namespace kestro::auth
