// A table-driven command-line parser. A command is declared as data: its
// arguments (long and short names, aliases, value name, arity, value
// parser, environment fallback, default, constraints, heading, help texts),
// its argument groups and its subcommands. Parsing a list of words yields
// the matches (values by argument id, the chosen subcommand with its own
// matches) or a ParseError whose rendered text is the help, the version or
// an error message with the command's usage.
//
// Order of work for one command: words are read left to right, each value
// going through its parser at once (so a failing value stops the parse
// before any constraint is looked at); then environment values and
// defaults fill absent arguments; then groups, requirements and conflicts
// are checked. Global arguments are copied into every subcommand when the
// command is finalised, and a global given at any depth is visible at every
// level of the chosen path.
//
// The parser knows nothing of the program it serves: names, texts and value
// conversions all come from the declarations.
#pragma once

#include <any>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/utils/styles.hpp"

namespace kestro::cli {

// The styles of the parts of help and error output.
struct HelpStyles {
  Style header;       // section headings
  Style error;        // the error label
  Style usage;        // the usage heading
  Style literal;      // command, option and flag names
  Style placeholder;  // value names
  Style valid;        // suggestions, tip labels
  Style invalid;      // offending values
  Style context;      // bracketed notes: defaults, values, variables

  // Text between the style's start and reset sequences.
  static std::string paint(const Style& style, std::string_view text);
};

// Every escape sequence removed.
std::string strip_styles(std::string_view text);

enum class ErrorKind {
  InvalidValue,            // not one of the possible values
  UnknownArgument,         // an argument the command does not accept
  InvalidSubcommand,       // a subcommand name the command does not have
  ValueValidation,         // a value parser refused the value
  TooManyValues,           // a word no positional argument takes
  MissingValue,            // an option without its value
  UnexpectedValue,         // a value given to a flag
  ArgumentConflict,        // two arguments that exclude each other
  MissingRequiredArgument,
  MissingSubcommand,
  InvalidUtf8,
  RepeatedArgument,        // a single-valued argument given twice
  DisplayHelp,
  DisplayHelpOnMissingArgumentOrSubcommand,
  DisplayVersion,
};

// The end of a parse that is no success: a help or version text, or an
// error. `text` is rendered, styled.
class ParseError {
 public:
  ParseError(ErrorKind kind, std::string text) : kind_(kind), text_(std::move(text)) {}

  ErrorKind kind() const { return kind_; }
  const std::string& text() const { return text_; }
  // Help and version requests go to standard output and end with 0;
  // everything else goes to standard error and ends with 2.
  bool is_success() const { return kind_ == ErrorKind::DisplayHelp || kind_ == ErrorKind::DisplayVersion; }
  int exit_code() const { return is_success() ? 0 : 2; }

 private:
  ErrorKind kind_;
  std::string text_;
};

// A value parser's refusal. ValueValidation is rendered as an invalid value
// with `message`; UnknownArgument as an argument that is not accepted, with
// the tips under it.
struct ValueError {
  ErrorKind kind = ErrorKind::ValueValidation;
  std::string message;
  std::vector<std::string> tips;
};

// A parsed value of any type, wrapped so that std::expected does not try
// to build one from itself.
class AnyValue {
 public:
  template <typename T>
  static AnyValue of(T v) {
    AnyValue out;
    out.value = std::move(v);
    return out;
  }
  std::any value;

 private:
  AnyValue() = default;
};

// Converts one raw word (bytes as given) to a value.
using ValueParser = std::function<std::expected<AnyValue, ValueError>(const HelpStyles&, std::string_view raw)>;

struct PossibleValue {
  std::string name;
  std::string help;
  std::vector<std::string> aliases;
  bool hidden = false;
};

enum class Arity {
  Flag,      // no value; true when given
  One,       // one value per occurrence
  ZeroOrMore,  // every following word up to the next option; repeatable
  OneOrMore,   // positional taking all remaining positional words
  Trailing,    // positional catch-all: once it starts, every later word
};

struct Arg {
  std::string id;
  std::string long_name;  // without "--"; empty for a positional
  char short_name = 0;    // 0 for none
  std::vector<std::string> visible_aliases;  // long names shown in help
  std::vector<std::string> hidden_aliases;
  std::string value_name;
  Arity arity = Arity::One;
  // Zero-or-more and one-or-more values are split at this byte, when set.
  char delimiter = 0;
  bool utf8 = true;  // the raw word must be valid UTF-8 before its parser runs
  ValueParser parser;  // none: the value is the text
  std::vector<PossibleValue> possible_values;  // the parser, when set, gets the matched name
  // A flag that has a parser runs it on this text when given.
  std::optional<std::string> missing_value;
  std::string env;  // variable name shown in help
  std::optional<std::string> env_value;  // read when the command was built
  std::optional<std::string> default_value;
  bool required = false;
  bool global = false;
  bool hidden = false;
  bool is_help = false;
  bool is_version = false;
  std::vector<std::string> groups;
  std::vector<std::string> requires_ids;
  std::vector<std::string> conflicts_ids;
  std::string heading;  // empty: the default options heading
  std::string help;
  std::string long_help;

  bool positional() const { return long_name.empty() && short_name == 0; }
};

struct ArgGroup {
  std::string id;
  std::vector<std::string> members;
  bool required = false;
  bool multiple = true;
};

struct Command {
  std::string name;
  std::string version;
  std::string about;
  std::string long_about;
  std::string author;
  std::optional<std::string> help_template;  // root only
  std::vector<std::string> visible_aliases;
  std::vector<std::string> hidden_aliases;
  bool hidden = false;
  bool subcommand_required = false;
  bool help_when_empty = false;  // no words at all: the help, as an error
  bool help_subcommand = true;   // a `help` subcommand where there are subcommands
  std::vector<Arg> args;
  std::vector<ArgGroup> groups;
  std::vector<Command> subcommands;
  std::shared_ptr<const HelpStyles> styles;  // set on the root, shared down

  Command() = default;
  explicit Command(std::string n) : name(std::move(n)) {}

  Command& arg(Arg a) {
    args.push_back(std::move(a));
    return *this;
  }
  Command& group(ArgGroup g) {
    groups.push_back(std::move(g));
    return *this;
  }
  Command& subcommand(Command c) {
    subcommands.push_back(std::move(c));
    return *this;
  }
  const Arg* find_arg(std::string_view id) const;
  const Command* find_subcommand(std::string_view word) const;  // by name or alias

  // Copies globals and styles down, creates the groups that arguments name,
  // adds the `help` subcommands. Idempotent; parse and render call it.
  void finalize();
  bool finalized() const { return finalized_; }

 private:
  bool finalized_ = false;
};

enum class ValueSource { CommandLine, Environment, Default };

struct MatchedArg {
  std::vector<std::any> values;
  ValueSource source = ValueSource::Default;
  bool present = false;
};

class ArgMatches {
 public:
  ArgMatches() = default;
  explicit ArgMatches(const Command* command);

  const Command* command() const { return command_; }
  // Whether the argument has a value (from any source).
  bool contains(std::string_view id) const;
  std::optional<ValueSource> source(std::string_view id) const;

  // Takes the first value out; nullopt when absent. A value of another type
  // than T is a programming error of the declarations.
  template <typename T>
  std::optional<T> remove_one(std::string_view id) {
    MatchedArg* m = find(id);
    if (!m || !m->present || m->values.empty()) return std::nullopt;
    std::any value = std::move(m->values.front());
    m->values.clear();
    m->present = false;
    return std::any_cast<T>(std::move(value));
  }
  template <typename T>
  std::vector<T> remove_many(std::string_view id) {
    std::vector<T> out;
    MatchedArg* m = find(id);
    if (!m || !m->present) return out;
    out.reserve(m->values.size());
    for (auto& v : m->values) out.push_back(std::any_cast<T>(std::move(v)));
    m->values.clear();
    m->present = false;
    return out;
  }

  // The chosen subcommand's name (never an alias) and matches.
  struct Sub {
    std::string name;
    std::unique_ptr<ArgMatches> matches;
  };
  const std::optional<Sub>& subcommand() const { return sub_; }
  std::optional<Sub> remove_subcommand() {
    auto out = std::move(sub_);
    sub_.reset();
    return out;
  }

 private:
  friend class Parser;
  MatchedArg* find(std::string_view id);
  const MatchedArg* find(std::string_view id) const;

  const Command* command_ = nullptr;
  std::vector<MatchedArg> args_;  // by index into command_->args
  std::optional<Sub> sub_;
};

// Parses the words after the program name. `program` is the first word: its
// last path component, when valid UTF-8, names the command in usage lines.
// The command is finalised first.
std::expected<ArgMatches, ParseError> parse_args(Command& command, std::span<const std::string> words);

// The help of the command reached by `path` (subcommand names below the
// root), `shown_name` naming the root in usage lines: the root's template
// for the root, the default layout otherwise. Long help shows long help
// texts and each possible value with its help. The root is finalised.
std::string render_help(Command& root, std::string_view shown_name, std::span<const std::string> path,
                        bool long_form);

// A failure found after parsing (while reading the matches): the error
// label, the message, then the root's usage.
ParseError format_error(const Command& root, std::string_view shown_name, ErrorKind kind, std::string_view message);

// The last path component of a program word, when it is valid UTF-8.
std::optional<std::string> program_display_name(std::string_view program);

// Value parsers the parser provides.
// "true" or "false".
ValueParser bool_value_parser();
// A decimal number from `low` to `high`, as std::uint32_t.
ValueParser u32_range_parser(std::uint32_t low, std::uint32_t high);
// A decimal number of at most 64 bits, an optional leading "+".
ValueParser u64_parser();
// Wraps a conversion from UTF-8 text: its error's text becomes the message.
template <typename F>
ValueParser from_text(F convert) {
  return [convert](const HelpStyles&, std::string_view raw) -> std::expected<AnyValue, ValueError> {
    auto got = convert(raw);
    if (!got) return std::unexpected(ValueError{ErrorKind::ValueValidation, got.error().message(), {}});
    return AnyValue::of(std::move(*got));
  };
}

}  // namespace kestro::cli
