#include "kestro/cli/argparse.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <limits>

#include "argparse_render.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::cli {

std::string HelpStyles::paint(const Style& style, std::string_view text) {
  if (style.is_plain()) return std::string(text);
  std::string out = style.render();
  out += text;
  out += style.render_reset();
  return out;
}

std::string strip_styles(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\x1b') {
      out += text[i];
      continue;
    }
    // CSI: ESC [ parameters intermediates final (0x40..0x7e); any other
    // escape drops the byte after ESC.
    if (i + 1 < text.size() && text[i + 1] == '[') {
      std::size_t j = i + 2;
      while (j < text.size() && !(text[j] >= 0x40 && text[j] <= 0x7e)) ++j;
      i = j;
    } else {
      ++i;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Declarations

const Arg* Command::find_arg(std::string_view id) const {
  for (const auto& a : args)
    if (a.id == id) return &a;
  return nullptr;
}

const Command* Command::find_subcommand(std::string_view word) const {
  for (const auto& c : subcommands) {
    if (c.name == word) return &c;
    for (const auto& a : c.visible_aliases)
      if (a == word) return &c;
    for (const auto& a : c.hidden_aliases)
      if (a == word) return &c;
  }
  return nullptr;
}

namespace {

void finalize_into(Command& command, const std::vector<const Arg*>& inherited,
                   const std::shared_ptr<const HelpStyles>& styles) {
  if (!command.styles) command.styles = styles;
  for (const Arg* g : inherited)
    if (!command.find_arg(g->id)) command.args.push_back(*g);
  // Groups named by arguments but not declared: at most one member, none
  // required.
  for (const auto& a : command.args) {
    for (const auto& gid : a.groups) {
      auto it = std::find_if(command.groups.begin(), command.groups.end(),
                             [&](const ArgGroup& g) { return g.id == gid; });
      if (it == command.groups.end()) {
        command.groups.push_back(ArgGroup{gid, {a.id}, false, false});
      } else if (std::find(it->members.begin(), it->members.end(), a.id) == it->members.end()) {
        it->members.push_back(a.id);
      }
    }
  }
  if (!command.subcommands.empty() && command.help_subcommand && !command.find_subcommand("help")) {
    Command help("help");
    help.about = "Print this message or the help of the given subcommand(s)";
    help.help_subcommand = false;
    Arg names;
    names.id = "subcommand";
    names.value_name = "COMMAND";
    names.arity = Arity::OneOrMore;
    help.arg(std::move(names));
    command.subcommand(std::move(help));
  }
  // The command's own globals (declared before the inherited copies were
  // appended) come first, so that help lists what comes from further up
  // last.
  std::vector<const Arg*> globals;
  for (const auto& a : command.args)
    if (a.global) globals.push_back(&a);
  // Copies below point into this command's args, which no longer change.
  std::vector<Arg> own_globals;
  for (const Arg* g : globals) own_globals.push_back(*g);
  std::vector<const Arg*> pass;
  for (const auto& g : own_globals) pass.push_back(&g);
  for (auto& sub : command.subcommands) finalize_into(sub, pass, command.styles);
}

}  // namespace

void Command::finalize() {
  if (finalized_) return;
  if (!styles) styles = std::make_shared<const HelpStyles>();
  finalize_into(*this, {}, styles);
  finalized_ = true;
}

// ---------------------------------------------------------------------------
// Matches

ArgMatches::ArgMatches(const Command* command) : command_(command), args_(command->args.size()) {}

MatchedArg* ArgMatches::find(std::string_view id) {
  if (!command_) return nullptr;
  for (std::size_t i = 0; i < command_->args.size(); ++i)
    if (command_->args[i].id == id) return &args_[i];
  return nullptr;
}

const MatchedArg* ArgMatches::find(std::string_view id) const {
  return const_cast<ArgMatches*>(this)->find(id);
}

bool ArgMatches::contains(std::string_view id) const {
  const MatchedArg* m = find(id);
  return m && m->present;
}

std::optional<ValueSource> ArgMatches::source(std::string_view id) const {
  const MatchedArg* m = find(id);
  if (!m || !m->present) return std::nullopt;
  return m->source;
}

std::optional<std::string> program_display_name(std::string_view program) {
  auto slash = program.rfind('/');
  std::string_view last = slash == std::string_view::npos ? program : program.substr(slash + 1);
  if (!is_valid_utf8(last)) return std::nullopt;
  return std::string(last);
}

// ---------------------------------------------------------------------------
// Parsing

namespace {

bool is_number_word(std::string_view w) {
  if (w.size() < 2 || w[0] != '-') return false;
  for (std::size_t i = 1; i < w.size(); ++i)
    if (w[i] < '0' || w[i] > '9') return false;
  return true;
}

// A word that starts another argument rather than giving a value.
bool starts_argument(std::string_view w) { return w.size() > 1 && w[0] == '-' && !is_number_word(w); }

struct Level {
  const Command* command;
  ArgMatches* matches;
  std::string path;     // usage path: "kestro env install"
  bool had_words = false;
};

}  // namespace

class Parser {
 public:
  Parser(const Command& root, std::span<const std::string> words, std::string root_name)
      : root_(root), st_(*root.styles), words_(words), root_name_(std::move(root_name)) {}

  std::expected<ArgMatches, ParseError> run() {
    ArgMatches top(&root_);
    levels_.push_back(Level{&root_, &top, root_name_, !words_.empty()});
    if (auto r = parse_level(0); !r) return std::unexpected(std::move(r.error()));
    for (std::size_t i = 0; i < levels_.size(); ++i) fill_absent(levels_[i]);
    // A variable counts as a given argument, even one whose value fails.
    bool env_given = std::any_of(root_.args.begin(), root_.args.end(), [](const Arg& a) { return a.env_value.has_value(); });
    if (root_.help_when_empty && words_.empty() && !env_given)
      return std::unexpected(ParseError(ErrorKind::DisplayHelpOnMissingArgumentOrSubcommand,
                                        render_help_at(levels_.size() - 1, false)));
    for (std::size_t i = 1; i < levels_.size(); ++i)
      if (levels_[i].command->help_when_empty && !levels_[i].had_words)
        return std::unexpected(
            ParseError(ErrorKind::DisplayHelpOnMissingArgumentOrSubcommand, render_help_at(i, false)));
    propagate_globals();
    for (std::size_t i = 0; i < levels_.size(); ++i)
      if (auto r = validate(i); !r) return std::unexpected(std::move(r.error()));
    return top;
  }

 private:
  using Result = std::expected<void, ParseError>;

  ParseError error_at(std::size_t level, ErrorKind kind, std::string_view message,
                      const std::vector<std::string>& tips = {}) const {
    const Level& l = levels_[level];
    return ParseError(kind, detail::render_error(st_, message, tips, l.command, l.path));
  }

  std::string lit(std::string_view t) const { return HelpStyles::paint(st_.literal, t); }
  std::string bad(std::string_view t) const { return HelpStyles::paint(st_.invalid, t); }

  std::string render_help_at(std::size_t level, bool long_form) const {
    std::vector<std::string> path;
    for (std::size_t i = 1; i <= level; ++i) path.push_back(levels_[i].command->name);
    return detail::render_help_page(root_, root_name_, path, long_form);
  }

  // Runs the argument's parser (or takes the text) on one raw word.
  std::expected<AnyValue, ParseError> convert(std::size_t level, const Arg& arg, std::string_view raw) {
    if (arg.utf8 && !is_valid_utf8(raw))
      return std::unexpected(error_at(level, ErrorKind::InvalidUtf8,
                                      fmt::format("the value of {} is not valid UTF-8", lit(detail::arg_display(arg)))));
    std::string_view text = raw;
    if (!arg.possible_values.empty()) {
      const PossibleValue* hit = nullptr;
      std::size_t index = 0;
      for (std::size_t i = 0; i < arg.possible_values.size() && !hit; ++i) {
        const auto& pv = arg.possible_values[i];
        if (pv.name == raw || std::find(pv.aliases.begin(), pv.aliases.end(), raw) != pv.aliases.end()) {
          hit = &pv;
          index = i;
        }
      }
      if (!hit) {
        std::string names;
        for (const auto& pv : arg.possible_values) {
          if (pv.hidden) continue;
          if (!names.empty()) names += ", ";
          names += HelpStyles::paint(st_.valid, pv.name);
        }
        return std::unexpected(error_at(
            level, ErrorKind::InvalidValue,
            fmt::format("invalid value {} for {}", bad(fmt::format("`{}`", raw)), lit(detail::arg_display(arg))),
            {fmt::format("possible values: {}", names)}));
      }
      if (!arg.parser) return AnyValue::of(index);
      text = hit->name;
    }
    if (!arg.parser) return AnyValue::of(std::string(text));
    auto got = arg.parser(st_, text);
    if (got) return std::move(*got);
    ValueError& e = got.error();
    if (e.kind == ErrorKind::UnknownArgument)
      return std::unexpected(error_at(level, ErrorKind::UnknownArgument,
                                      fmt::format("{} is not accepted here", lit(detail::arg_display(arg))), e.tips));
    return std::unexpected(error_at(
        level, e.kind,
        fmt::format("invalid value {} for {}: {}", bad(fmt::format("`{}`", utf8_lossy(raw))),
                    lit(detail::arg_display(arg)), e.message),
        e.tips));
  }

  Result add_values(std::size_t level, std::size_t index, std::string_view raw) {
    const Arg& arg = levels_[level].command->args[index];
    MatchedArg& m = levels_[level].matches->args_[index];
    auto push = [&](std::string_view piece) -> Result {
      auto v = convert(level, arg, piece);
      if (!v) return std::unexpected(std::move(v.error()));
      m.values.push_back(std::move(v->value));
      return {};
    };
    if (arg.delimiter && (arg.arity == Arity::ZeroOrMore || arg.arity == Arity::OneOrMore)) {
      std::size_t start = 0;
      while (true) {
        auto cut = raw.find(arg.delimiter, start);
        if (auto r = push(raw.substr(start, cut - start)); !r) return r;
        if (cut == std::string_view::npos) break;
        start = cut + 1;
      }
      return {};
    }
    return push(raw);
  }

  void mark(std::size_t level, std::size_t index) {
    MatchedArg& m = levels_[level].matches->args_[index];
    m.present = true;
    m.source = ValueSource::CommandLine;
  }

  bool given(std::size_t level, std::size_t index) const {
    const MatchedArg& m = levels_[level].matches->args_[index];
    return m.present && m.source == ValueSource::CommandLine;
  }

  std::optional<std::size_t> find_long(const Command& c, std::string_view name) const {
    for (std::size_t i = 0; i < c.args.size(); ++i) {
      const Arg& a = c.args[i];
      if (a.long_name.empty()) continue;
      if (a.long_name == name) return i;
      for (const auto& al : a.visible_aliases)
        if (al == name) return i;
      for (const auto& al : a.hidden_aliases)
        if (al == name) return i;
    }
    return std::nullopt;
  }

  std::optional<std::size_t> find_short(const Command& c, char s) const {
    for (std::size_t i = 0; i < c.args.size(); ++i)
      if (c.args[i].short_name == s) return i;
    return std::nullopt;
  }

  // One option occurrence; `inline_value` is the text after "=" or the rest
  // of a short cluster.
  Result take_option(std::size_t level, std::size_t index, std::optional<std::string_view> inline_value,
                     std::string_view written) {
    const Command& c = *levels_[level].command;
    const Arg& arg = c.args[index];
    if (arg.is_help) return std::unexpected(ParseError(ErrorKind::DisplayHelp, render_help_at(level, true)));
    if (arg.is_version)
      return std::unexpected(ParseError(ErrorKind::DisplayVersion, fmt::format("{} {}\n", c.name, c.version)));
    MatchedArg& m = levels_[level].matches->args_[index];
    switch (arg.arity) {
      case Arity::Flag: {
        if (inline_value)
          return std::unexpected(error_at(level, ErrorKind::UnexpectedValue,
                                          fmt::format("{} takes no value, but {} was given", lit(written),
                                                      bad(fmt::format("`{}`", utf8_lossy(*inline_value))))));
        if (arg.parser && arg.missing_value) {
          auto v = convert(level, arg, *arg.missing_value);
          if (!v) return std::unexpected(std::move(v.error()));
          m.values.assign(1, std::move(v->value));
        } else {
          if (given(level, index))
            return std::unexpected(error_at(level, ErrorKind::RepeatedArgument,
                                            fmt::format("{} is given more than once", lit(detail::arg_display(arg)))));
          m.values.assign(1, std::any(true));
        }
        mark(level, index);
        return {};
      }
      case Arity::One: {
        if (given(level, index))
          return std::unexpected(error_at(level, ErrorKind::RepeatedArgument,
                                          fmt::format("{} is given more than once", lit(detail::arg_display(arg)))));
        std::string_view raw;
        if (inline_value) {
          raw = *inline_value;
        } else if (pos_ < words_.size() && !starts_argument(words_[pos_])) {
          raw = words_[pos_++];
        } else {
          return std::unexpected(error_at(level, ErrorKind::MissingValue,
                                          fmt::format("{} needs a value", lit(detail::arg_display(arg)))));
        }
        m.values.clear();
        if (auto r = add_values(level, index, raw); !r) return r;
        mark(level, index);
        return {};
      }
      default: {  // zero or more values, repeatable
        if (!given(level, index)) m.values.clear();
        if (inline_value) {
          if (auto r = add_values(level, index, *inline_value); !r) return r;
        } else {
          while (pos_ < words_.size() && !starts_argument(words_[pos_]) && words_[pos_] != "--") {
            if (auto r = add_values(level, index, words_[pos_++]); !r) return r;
          }
        }
        mark(level, index);
        return {};
      }
    }
  }

  std::optional<std::size_t> next_positional(const Command& c, std::size_t nth) const {
    std::size_t k = 0;
    for (std::size_t i = 0; i < c.args.size(); ++i) {
      if (!c.args[i].positional()) continue;
      if (k++ == nth) return i;
    }
    return std::nullopt;
  }

  Result help_subcommand(std::size_t level) {
    // The names after `help` walk down from the command that owns it.
    std::vector<std::string> path;
    for (std::size_t i = 1; i <= level; ++i) path.push_back(levels_[i].command->name);
    const Command* at = levels_[level].command;
    std::size_t help_level = level;
    while (pos_ < words_.size()) {
      const std::string& w = words_[pos_++];
      const Command* sub = at->find_subcommand(w);
      if (!sub || sub->name == "help") {
        return std::unexpected(error_at(help_level, ErrorKind::InvalidSubcommand,
                                        fmt::format("no subcommand {} to show the help of", bad(fmt::format("`{}`", w)))));
      }
      path.push_back(sub->name);
      at = sub;
    }
    return std::unexpected(ParseError(ErrorKind::DisplayHelp, detail::render_help_page(root_, root_name_, path, true)));
  }

  Result parse_level(std::size_t level) {
    const Command& c = *levels_[level].command;
    std::size_t positional_nth = 0;  // the positional taking the next word
    bool after_dashdash = false;
    std::optional<std::size_t> trailing;
    while (pos_ < words_.size()) {
      std::string_view w = words_[pos_++];
      if (trailing) {
        if (auto r = add_values(level, *trailing, w); !r) return r;
        continue;
      }
      if (!after_dashdash && w == "--") {
        after_dashdash = true;
        continue;
      }
      auto pending = next_positional(c, positional_nth);
      bool hyphen_catch = pending && c.args[*pending].arity == Arity::Trailing;
      if (!after_dashdash && w.size() > 2 && w.starts_with("--")) {
        std::string_view body = w.substr(2);
        std::optional<std::string_view> inline_value;
        if (auto eq = body.find('='); eq != std::string_view::npos) {
          inline_value = body.substr(eq + 1);
          body = body.substr(0, eq);
        }
        if (auto index = find_long(c, body)) {
          if (auto r = take_option(level, *index, inline_value, w.substr(0, 2 + body.size())); !r) return r;
          continue;
        }
        if (!hyphen_catch)
          return std::unexpected(error_at(level, ErrorKind::UnknownArgument,
                                          fmt::format("{} is not accepted here", bad(fmt::format("`{}`", utf8_lossy(w))))));
      } else if (!after_dashdash && starts_argument(w)) {
        bool handled = true;
        for (std::size_t i = 1; i < w.size(); ++i) {
          auto index = find_short(c, w[i]);
          if (!index) {
            if (i == 1 && hyphen_catch) {
              handled = false;
              break;
            }
            std::string shown = i == 1 ? utf8_lossy(w) : fmt::format("-{}", utf8_lossy(w.substr(i, 1)));
            return std::unexpected(
                error_at(level, ErrorKind::UnknownArgument,
                         fmt::format("{} is not accepted here", bad(fmt::format("`{}`", shown)))));
          }
          const Arg& arg = c.args[*index];
          if (arg.arity == Arity::Flag || arg.is_help || arg.is_version) {
            if (auto r = take_option(level, *index, std::nullopt, fmt::format("-{}", w[i])); !r) return r;
            continue;
          }
          std::optional<std::string_view> rest;
          if (i + 1 < w.size()) {
            rest = w.substr(i + 1);
            if (rest->starts_with('=')) rest = rest->substr(1);
          }
          if (auto r = take_option(level, *index, rest, fmt::format("-{}", w[i])); !r) return r;
          break;
        }
        if (handled) continue;
      }
      // A word that is no option: a subcommand name or a positional value.
      if (!after_dashdash && !c.subcommands.empty() && positional_nth == 0) {
        if (const Command* sub = c.find_subcommand(w)) {
          if (sub->name == "help") return help_subcommand(level);
          auto sub_matches = std::make_unique<ArgMatches>(sub);
          ArgMatches* raw = sub_matches.get();
          levels_[level].matches->sub_ = ArgMatches::Sub{sub->name, std::move(sub_matches)};
          std::string path = levels_[level].path + " " + sub->name;
          levels_.push_back(Level{sub, raw, std::move(path), pos_ < words_.size()});
          return parse_level(levels_.size() - 1);
        }
      }
      if (pending) {
        const Arg& arg = c.args[*pending];
        if (auto r = add_values(level, *pending, w); !r) return r;
        mark(level, *pending);
        if (arg.arity == Arity::Trailing) trailing = *pending;
        else if (arg.arity == Arity::One) ++positional_nth;
        continue;
      }
      if (!c.subcommands.empty() && positional_nth == 0 && !after_dashdash)
        return std::unexpected(error_at(level, ErrorKind::InvalidSubcommand,
                                        fmt::format("{} is no subcommand of {}", bad(fmt::format("`{}`", utf8_lossy(w))),
                                                    lit(levels_[level].path))));
      return std::unexpected(error_at(level, ErrorKind::TooManyValues,
                                      fmt::format("unexpected value {}", bad(fmt::format("`{}`", utf8_lossy(w))))));
    }
    return {};
  }

  // Environment values, then defaults, for what the words left absent. A
  // failing environment or default value is left out here and reported by
  // the check that needs it; see `env_error_`.
  void fill_absent(Level& l) {
    for (std::size_t i = 0; i < l.command->args.size(); ++i) {
      const Arg& arg = l.command->args[i];
      MatchedArg& m = l.matches->args_[i];
      if (m.present) continue;
      if (arg.env_value) {
        std::size_t level = static_cast<std::size_t>(&l - levels_.data());
        std::expected<void, ParseError> r;
        if (arg.arity == Arity::Flag) {
          const std::string& v = *arg.env_value;
          if (v == "true" || v == "false") {
            m.values.assign(1, std::any(v == "true"));
          } else {
            r = std::unexpected(error_at(
                level, ErrorKind::InvalidValue,
                fmt::format("invalid value {} for {} (from {})", bad(fmt::format("`{}`", utf8_lossy(v))),
                            lit(detail::arg_display(arg)), lit(arg.env)),
                {fmt::format("possible values: {}, {}", HelpStyles::paint(st_.valid, "true"),
                             HelpStyles::paint(st_.valid, "false"))}));
          }
        } else {
          m.values.clear();
          r = add_values(level, i, *arg.env_value);
        }
        if (!r) {
          if (!env_error_) env_error_ = std::move(r.error());
          m.values.clear();
          continue;
        }
        m.present = true;
        m.source = ValueSource::Environment;
        continue;
      }
      if (arg.default_value) {
        std::size_t level = static_cast<std::size_t>(&l - levels_.data());
        auto v = convert(level, arg, *arg.default_value);
        if (!v) continue;  // a declaration fault; the argument stays absent
        m.values.assign(1, std::move(v->value));
        m.present = true;
        m.source = ValueSource::Default;
        continue;
      }
      if (arg.arity == Arity::Flag && !arg.parser && !arg.is_help && !arg.is_version) {
        m.values.assign(1, std::any(false));
        m.present = true;
        m.source = ValueSource::Default;
      }
    }
  }

  // A global given at any depth holds at every level of the path: the
  // deepest word on the command line wins, then the deepest environment
  // value.
  void propagate_globals() {
    if (levels_.size() < 2) return;
    for (std::size_t i = 0; i < levels_.size(); ++i) {
      const Command& c = *levels_[i].command;
      for (std::size_t k = 0; k < c.args.size(); ++k) {
        if (!c.args[k].global) continue;
        const std::string& id = c.args[k].id;
        const MatchedArg* best = nullptr;
        for (std::size_t j = levels_.size(); j-- > 0;) {
          const MatchedArg* m = levels_[j].matches->find(id);
          if (!m || !m->present) continue;
          if (m->source == ValueSource::CommandLine) {
            best = m;
            break;
          }
          if (!best || (best->source == ValueSource::Default && m->source == ValueSource::Environment)) best = m;
        }
        if (!best) continue;
        MatchedArg* here = levels_[i].matches->find(id);
        if (here && here != best) *here = *best;
      }
    }
  }

  bool explicit_at(std::size_t level, std::string_view id) const {
    const MatchedArg* m = levels_[level].matches->find(id);
    return m && m->present && m->source != ValueSource::Default;
  }

  std::string display_of(const Command& c, std::string_view id) const {
    const Arg* a = c.find_arg(id);
    return a ? detail::arg_display(*a) : std::string(id);
  }

  Result validate(std::size_t level) {
    const Command& c = *levels_[level].command;
    auto conflict = [&](std::string_view a, std::string_view b) {
      return std::unexpected(error_at(level, ErrorKind::ArgumentConflict,
                                      fmt::format("{} cannot be used together with {}", lit(display_of(c, a)),
                                                  lit(display_of(c, b)))));
    };
    for (const auto& arg : c.args) {
      if (!explicit_at(level, arg.id)) continue;
      for (const auto& other : arg.conflicts_ids)
        if (explicit_at(level, other)) return conflict(arg.id, other);
    }
    for (const auto& g : c.groups) {
      if (g.multiple) continue;
      const std::string* first = nullptr;
      for (const auto& id : g.members) {
        if (!explicit_at(level, id)) continue;
        if (first) return conflict(*first, id);
        first = &id;
      }
    }
    if (env_error_) return std::unexpected(std::move(*env_error_));
    std::vector<std::string> missing;
    for (const auto& g : c.groups) {
      if (!g.required) continue;
      bool any = std::any_of(g.members.begin(), g.members.end(), [&](const std::string& id) {
        return explicit_at(level, id);
      });
      if (any) continue;
      std::string alt;
      for (const auto& id : g.members) {
        if (!alt.empty()) alt += "|";
        const Arg* a = c.find_arg(id);
        alt += a && a->positional() ? (a->value_name.empty() ? a->id : a->value_name) : display_of(c, id);
      }
      missing.push_back("<" + alt + ">");
    }
    for (const auto& arg : c.args)
      if (arg.required && !levels_[level].matches->contains(arg.id)) missing.push_back(detail::arg_display(arg));
    for (const auto& arg : c.args) {
      if (!explicit_at(level, arg.id)) continue;
      for (const auto& need : arg.requires_ids)
        if (!explicit_at(level, need)) {
          auto shown = display_of(c, need);
          if (std::find(missing.begin(), missing.end(), shown) == missing.end()) missing.push_back(shown);
        }
    }
    if (!missing.empty()) {
      std::string list;
      for (const auto& m : missing) list += "\n  " + lit(m);
      return std::unexpected(error_at(level, ErrorKind::MissingRequiredArgument,
                                      fmt::format("these required arguments are missing:{}", list)));
    }
    if (c.subcommand_required && !levels_[level].matches->sub_) {
      std::string names;
      for (const auto& s : c.subcommands) {
        if (s.hidden) continue;
        if (!names.empty()) names += ", ";
        names += HelpStyles::paint(st_.valid, s.name);
      }
      return std::unexpected(error_at(level, ErrorKind::MissingSubcommand,
                                      fmt::format("{} needs a subcommand", lit(levels_[level].path)),
                                      {fmt::format("one of: {}", names)}));
    }
    return {};
  }

  const Command& root_;
  const HelpStyles& st_;
  std::span<const std::string> words_;
  std::string root_name_;
  std::size_t pos_ = 0;
  std::vector<Level> levels_;
  std::optional<ParseError> env_error_;
};

std::expected<ArgMatches, ParseError> parse_args(Command& command, std::span<const std::string> words) {
  command.finalize();
  std::string name = command.name;
  if (!words.empty()) {
    if (auto shown = program_display_name(words.front())) name = *shown;
    words = words.subspan(1);
  }
  Parser parser(command, words, std::move(name));
  return parser.run();
}

ParseError format_error(const Command& root, std::string_view shown_name, ErrorKind kind, std::string_view message) {
  const HelpStyles plain;
  const HelpStyles& st = root.styles ? *root.styles : plain;
  return ParseError(kind, detail::render_error(st, message, {}, &root, shown_name));
}

// ---------------------------------------------------------------------------
// Value parsers

ValueParser bool_value_parser() {
  return [](const HelpStyles&, std::string_view raw) -> std::expected<AnyValue, ValueError> {
    if (raw == "true") return AnyValue::of(true);
    if (raw == "false") return AnyValue::of(false);
    return std::unexpected(ValueError{ErrorKind::InvalidValue, "expected `true` or `false`", {}});
  };
}

namespace {

std::expected<std::uint64_t, std::string> parse_u64(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty()) return std::unexpected(std::string("no digits to read a number from"));
  for (char c : text)
    if (c < '0' || c > '9') return std::unexpected(std::string("only the digits 0 to 9 make a number"));
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size())
    return std::unexpected(fmt::format("the number exceeds {}", std::numeric_limits<std::uint64_t>::max()));
  return value;
}

}  // namespace

ValueParser u64_parser() {
  return [](const HelpStyles&, std::string_view raw) -> std::expected<AnyValue, ValueError> {
    auto v = parse_u64(raw);
    if (!v) return std::unexpected(ValueError{ErrorKind::ValueValidation, v.error(), {}});
    return AnyValue::of(*v);
  };
}

ValueParser u32_range_parser(std::uint32_t low, std::uint32_t high) {
  return [low, high](const HelpStyles&, std::string_view raw) -> std::expected<AnyValue, ValueError> {
    auto v = parse_u64(raw);
    if (!v) return std::unexpected(ValueError{ErrorKind::ValueValidation, v.error(), {}});
    if (*v < low || *v > high)
      return std::unexpected(ValueError{ErrorKind::ValueValidation, fmt::format("{} is not in {}..={}", raw, low, high), {}});
    return AnyValue::of(static_cast<std::uint32_t>(*v));
  };
}

}  // namespace kestro::cli
