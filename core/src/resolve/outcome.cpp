#include "kestro/resolve/outcome.hpp"

#include <fmt/format.h>

#include <array>

#include "kestro/utils/log.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::resolve {

namespace {

constexpr std::string_view kCombined = "kestro_core::resolve::combined";
constexpr std::string_view kRemote = "kestro_core::resolve::remote";
constexpr std::string_view kPriority = "kestro_core::resolve::priority";

// Per consumer: the log target and the line for `UnsupportedUsageType`,
// `NotFound` and `Unresolvable`, each with the usage label and the reason
// (an empty line: nothing is logged).
struct ConsumerTexts {
  std::string_view target;
  std::array<std::string_view, 3> lines;
};

const ConsumerTexts& texts_of(OutcomeConsumer consumer) {
  static const ConsumerTexts kTexts[] = {
      {kCombined, {"file resolver does not support usage type of {}: {}", "file resolver did not find the project: {1}", ""}},
      {kCombined,
       {"local resolver does not support usage type of {}: {}", "local resolver did not find {}: {}",
        "local resolver rejected {}: {}"}},
      {kRemote,
       {"HTTP resolver rejected usage {}: {}", "HTTP resolver did not find usage {}: {}",
        "HTTP resolver refused to resolve usage {}: {}"}},
      {kRemote,
       {"git resolver rejected usage {}: {}", "git resolver did not find usage {}: {}",
        "git resolver refused to resolve usage {}: {}"}},
      {kCombined,
       {"remote resolver rejected {}: {}", "remote resolver unable to resolve {}: {}",
        "remote resolver rejected {}: {}"}},
      {kCombined,
       {"index resolver rejected {}: {}", "index resolver unable to resolve {}: {}",
        "index resolver unable to resolve {}: {}"}},
      {kPriority,
       {"higher priority resolver rejected usage {}: {}", "higher priority resolver did not find usage {}: {}",
        "cannot resolve usage {}: {}"}},
  };
  return kTexts[static_cast<std::size_t>(consumer)];
}

}  // namespace

std::optional<OutcomeReport> outcome_report(OutcomeConsumer consumer, const UsageInContext& usage,
                                            std::size_t variant, const std::string& reason) {
  if (variant == 0 || variant > 3) return std::nullopt;
  const ConsumerTexts& texts = texts_of(consumer);
  const std::string_view line = texts.lines[variant - 1];
  if (line.empty()) return std::nullopt;
  return OutcomeReport{texts.target, fmt::format(fmt::runtime(line), usage.label(), reason)};
}

void write_outcome_report(const OutcomeReport& report) {
  log::write(log::Level::Debug, report.target, "{}", report.text);
}

std::string file_refusal_reason(const std::string& reason) {
  return fmt::format("file resolver refused to resolve the project, no other sources will be tried: {}", reason);
}

std::string render_reasons(const std::vector<std::string>& reasons) { return debug_list(reasons); }

}  // namespace kestro::resolve
