// What a resolver answers for one usage: the candidate projects it found, as
// a sequence pulled one item at a time, or why it has none. Not finding
// anything is an answer, not an error; a resolver's errors travel beside the
// outcome in `std::expected`.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kestro/resolve/resolution_error.hpp"

namespace kestro::resolve {

// A pull sequence: each `next` gives the following item, none once it is
// exhausted (and none on every later pull).
template <typename T>
class ItemSequence {
 public:
  virtual ~ItemSequence() = default;
  virtual std::optional<T> next() = 0;
};
template <typename T>
using SequencePtr = std::unique_ptr<ItemSequence<T>>;

// The items of a list already built, in order.
template <typename T>
class ListSequence : public ItemSequence<T> {
 public:
  explicit ListSequence(std::vector<T> items) : items_(std::move(items)) {}
  std::optional<T> next() override {
    if (at_ == items_.size()) return std::nullopt;
    return std::move(items_[at_++]);
  }

 private:
  std::vector<T> items_;
  std::size_t at_ = 0;
};

// The four answers, in this order. `T` is one item of the resolver's
// candidate kind (or, for resolvers that can fail on one candidate, a
// candidate or that candidate's error).
template <typename T>
struct ResolutionOutcome {
  struct Resolved { SequencePtr<T> candidates; };
  // The resolver does not handle usages of this kind.
  struct UnsupportedUsageType { std::string reason; };
  // A usage of a handled kind for which this resolver has no project.
  struct NotFound { std::string reason; };
  // A usage of a handled kind that is malformed for this resolver or refused.
  struct Unresolvable { std::string reason; };
  std::variant<Resolved, UnsupportedUsageType, NotFound, Unresolvable> value;

  // `Resolved` with the items of a list already built.
  static ResolutionOutcome resolved_with(std::vector<T> items) {
    return ResolutionOutcome{Resolved{std::make_unique<ListSequence<T>>(std::move(items))}};
  }

  bool resolved() const { return std::holds_alternative<Resolved>(value); }
  // The reason of an answer other than `Resolved`.
  const std::string* reason() const {
    return std::visit(
        [](const auto& v) -> const std::string* {
          if constexpr (requires { v.reason; }) return &v.reason;
          else return nullptr;
        },
        value);
  }
};

// A resolver: one operation, `resolve`, that answers for one usage with an
// outcome or fails with the resolver's own error.
template <typename T, typename E>
class Resolver {
 public:
  using item_type = T;
  using error_type = E;
  virtual ~Resolver() = default;
  virtual std::expected<ResolutionOutcome<T>, E> resolve(const UsageInContext& usage) = 0;
};

// The resolvers and stages that log the outcomes they receive.
enum class OutcomeConsumer { File, Local, Http, Git, Remote, Index, Priority };

// The debug line a consumer logs for an answer other than `Resolved`, with
// its log target; none for `Resolved` and for the file resolver's
// `Unresolvable` (which ends resolution instead, see `file_refusal_reason`).
struct OutcomeReport {
  std::string_view target;
  std::string text;
};
std::optional<OutcomeReport> outcome_report(OutcomeConsumer consumer, const UsageInContext& usage,
                                            std::size_t variant, const std::string& reason);
template <typename T>
std::optional<OutcomeReport> outcome_report(OutcomeConsumer consumer, const UsageInContext& usage,
                                            const ResolutionOutcome<T>& outcome) {
  const std::string* reason = outcome.reason();
  if (!reason) return std::nullopt;
  return outcome_report(consumer, usage, outcome.value.index(), *reason);
}
// The reason of the combined resolver's answer when the file resolver
// refuses a usage: no other resolver is asked.
std::string file_refusal_reason(const std::string& reason);

// Reasons as one text: `["a", "b"]`, each in its quoted debug form (`"` and
// `\` escaped, tab, carriage return and line feed written as \t, \r, \n).
std::string render_reasons(const std::vector<std::string>& reasons);

// Writes the report, if there is one, at debug level.
void write_outcome_report(const OutcomeReport& report);
template <typename T>
void log_outcome(OutcomeConsumer consumer, const UsageInContext& usage, const ResolutionOutcome<T>& outcome) {
  if (auto report = outcome_report(consumer, usage, outcome)) write_outcome_report(*report);
}

}  // namespace kestro::resolve
