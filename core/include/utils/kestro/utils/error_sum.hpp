// Error types as closed sums: one small payload struct per variant, holding
// exactly that variant's fields and named as the variant, and one overload
// set each for the display text, the debug form and (where there is one)
// the cause.
//
//   struct LockVariants {
//     struct Busy { std::string path; };
//     struct Broken { std::string path; IoError io; };
//     using Sum = std::variant<Busy, Broken>;
//   };
//   class LockError : public ErrorSum<LockError, LockVariants> {
//    public:
//     using ErrorSum::ErrorSum;
//     static std::string text_of(const Busy& v) { return fmt::format("`{}` is locked", v.path); }
//     static std::string text_of(const Broken& v) { return "lock broken: " + v.io.message(); }
//     static std::string debug_of(const Busy& v) { return fmt::format("Busy({})", debug_quote(v.path)); }
//     static std::string debug_of(const Broken& v) { ... }
//     static const Error* cause_of(const Broken& v) { return &v.io; }  // other variants: no cause
//   };
//
//   LockError e = LockError::Busy{"/env"};
//   if (const auto* b = e.get_if<LockError::Broken>()) ...
//
// The payload names live in the `Variants` struct, which the error derives
// from, so they read `LockError::Busy`. Variants shared by several error
// types live in a common base of their `Variants` structs, together with
// their texts. `debug_of` may be left out (the debug form is then the
// display text); `cause_of` is looked up per variant and defaults to none.
// A sum is built from exactly one of its payloads: building it from anything
// else does not compile. Conversions between sums are named functions.
// A payload holds the errors it wraps as values of their own types; a shared
// `ErrorPtr` only where the type cannot be named at that layer, with a comment
// saying why. Debug forms are built with the helpers of text.hpp
// (`debug_quote`, `debug_list`, `debug_option`).
//
// The one other shape is the parsers' error (JSON, TOML, IRI, semantic
// versions, RFC 3339 timestamps): a text and a position in the input, no
// variants, because what a caller does with a syntax error is show it.
#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "kestro/utils/error.hpp"

namespace kestro {

// Whether P is exactly one of the alternatives of the variant Sum.
template <typename P, typename Sum>
inline constexpr bool is_sum_alternative = false;
template <typename P, typename... Alternatives>
inline constexpr bool is_sum_alternative<P, std::variant<Alternatives...>> = (std::is_same_v<P, Alternatives> || ...);

template <typename Derived, typename Variants>
class ErrorSum : public Error, public Variants {
 public:
  using Sum = typename Variants::Sum;

  template <typename P>
    requires is_sum_alternative<std::remove_cvref_t<P>, Sum>
  ErrorSum(P&& payload) : v_(std::forward<P>(payload)) {}

  template <typename P>
  bool holds() const {
    return std::holds_alternative<P>(v_);
  }
  template <typename P>
  const P* get_if() const {
    return std::get_if<P>(&v_);
  }
  template <typename F>
  decltype(auto) visit(F&& f) const {
    return std::visit(std::forward<F>(f), v_);
  }
  const Sum& payload() const { return v_; }

  std::string message() const override {
    return visit([](const auto& p) -> std::string { return Derived::text_of(p); });
  }
  std::string debug() const override {
    return visit([](const auto& p) -> std::string {
      if constexpr (requires { Derived::debug_of(p); })
        return Derived::debug_of(p);
      else
        return Derived::text_of(p);
    });
  }
  const Error* cause() const override {
    return visit([](const auto& p) -> const Error* {
      if constexpr (requires { Derived::cause_of(p); })
        return Derived::cause_of(p);
      else
        return nullptr;
    });
  }

  friend bool operator==(const Derived& a, const Derived& b) { return a.payload() == b.payload(); }

 private:
  Sum v_;
};

}  // namespace kestro
