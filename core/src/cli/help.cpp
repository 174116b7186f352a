// Help pages, usage lines and the layout of error messages. Help texts are
// printed as declared, line by line, without wrapping; columns are aligned
// over the whole page.
#include <fmt/format.h>

#include <algorithm>

#include "argparse_render.hpp"
#include "kestro/cli/argparse.hpp"

namespace kestro::cli {
namespace detail {

namespace {

std::string value_part(const Arg& arg) {
  std::string name = arg.value_name.empty() ? arg.id : arg.value_name;
  switch (arg.arity) {
    case Arity::Flag:
      return {};
    case Arity::One:
      return "<" + name + ">";
    case Arity::ZeroOrMore:
      return "[<" + name + ">...]";
    default:
      return "<" + name + ">...";
  }
}

// A text piece for a help page: the plain form for measuring, the styled
// form for printing.
struct Piece {
  std::string plain;
  std::string styled;
  void add(const Style& style, std::string_view text) {
    plain += text;
    styled += HelpStyles::paint(style, text);
  }
  void add_plain(std::string_view text) {
    plain += text;
    styled += text;
  }
};

Piece option_spec(const Arg& arg, const HelpStyles& st) {
  Piece p;
  if (arg.positional()) {
    std::string name = arg.value_name.empty() ? arg.id : arg.value_name;
    bool many = arg.arity == Arity::OneOrMore || arg.arity == Arity::Trailing;
    p.add(st.placeholder, arg.required ? "<" + name + ">" : "[" + name + "]");
    if (many) p.add_plain("...");
    return p;
  }
  if (arg.short_name) {
    p.add(st.literal, std::string("-") + arg.short_name);
    p.add_plain(arg.long_name.empty() ? "" : ", ");
  } else {
    p.add_plain("    ");
  }
  if (!arg.long_name.empty()) p.add(st.literal, "--" + arg.long_name);
  if (auto v = value_part(arg); !v.empty()) {
    p.add_plain(" ");
    p.add(st.placeholder, v);
  }
  return p;
}

std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (true) {
    auto nl = text.find('\n', start);
    out.emplace_back(text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start));
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return out;
}

// The help lines of an argument: its text, then the notes in brackets, then
// (in long form) each possible value with its help.
std::vector<std::string> arg_help_lines(const Arg& arg, const HelpStyles& st, bool long_form) {
  std::string text = long_form && !arg.long_help.empty() ? arg.long_help : arg.help;
  std::vector<std::string> lines = text.empty() ? std::vector<std::string>{} : lines_of(text);
  std::vector<std::string> notes;
  if (!arg.env.empty()) notes.push_back(fmt::format("env: {}", arg.env));
  if (arg.default_value && arg.arity != Arity::Flag) notes.push_back(fmt::format("default: {}", *arg.default_value));
  std::vector<std::string> shown_aliases;
  for (const auto& a : arg.visible_aliases) shown_aliases.push_back("--" + a);
  if (!shown_aliases.empty()) notes.push_back(fmt::format("aliases: {}", fmt::join(shown_aliases, ", ")));
  bool value_list = !arg.possible_values.empty() && std::any_of(arg.possible_values.begin(), arg.possible_values.end(),
                                                                [](const PossibleValue& v) { return !v.help.empty(); });
  if (!arg.possible_values.empty() && !(long_form && value_list)) {
    std::vector<std::string> names;
    for (const auto& v : arg.possible_values)
      if (!v.hidden) names.push_back(v.name);
    notes.push_back(fmt::format("possible values: {}", fmt::join(names, ", ")));
  }
  if (!notes.empty()) {
    std::string joined;
    for (const auto& n : notes) joined += (joined.empty() ? "" : " ") + HelpStyles::paint(st.context, "[" + n + "]");
    if (lines.empty()) lines.push_back(joined);
    else lines.back() += " " + joined;
  }
  if (long_form && value_list) {
    lines.push_back("Possible values:");
    for (const auto& v : arg.possible_values) {
      if (v.hidden) continue;
      std::string line = "- " + HelpStyles::paint(st.literal, v.name);
      if (!v.help.empty()) line += ": " + v.help;
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

struct Entry {
  Piece spec;
  std::vector<std::string> help;
};

struct Section {
  std::string heading;
  std::vector<Entry> entries;
};

std::string render_sections(const std::vector<Section>& sections, const HelpStyles& st) {
  std::size_t width = 0;
  for (const auto& s : sections)
    for (const auto& e : s.entries) width = std::max(width, e.spec.plain.size());
  std::string out;
  for (const auto& s : sections) {
    if (s.entries.empty()) continue;
    if (!out.empty()) out += "\n\n";
    out += HelpStyles::paint(st.header, s.heading + ":");
    for (const auto& e : s.entries) {
      out += "\n  ";
      out += e.spec.styled;
      for (std::size_t i = 0; i < e.help.size(); ++i) {
        if (i == 0) out += std::string(width - e.spec.plain.size() + 2, ' ');
        else if (e.help[i].empty()) out += "\n";
        else out += "\n" + std::string(width + 4, ' ');
        out += e.help[i];
      }
    }
  }
  return out;
}

std::string all_args(const Command& c, const HelpStyles& st, bool long_form) {
  std::vector<Section> sections;
  Section commands{"Commands", {}};
  for (const auto& sub : c.subcommands) {
    if (sub.hidden) continue;
    Entry e;
    e.spec.add(st.literal, sub.name);
    e.help = sub.about.empty() ? std::vector<std::string>{} : lines_of(sub.about);
    if (!sub.visible_aliases.empty()) {
      std::string note = HelpStyles::paint(st.context, fmt::format("[aliases: {}]", fmt::join(sub.visible_aliases, ", ")));
      if (e.help.empty()) e.help.push_back(note);
      else e.help.back() += " " + note;
    }
    commands.entries.push_back(std::move(e));
  }
  sections.push_back(std::move(commands));
  Section positionals{"Arguments", {}};
  Section options{"Options", {}};
  std::vector<Section> headed;
  for (const auto& a : c.args) {
    if (a.hidden) continue;
    Entry e{option_spec(a, st), arg_help_lines(a, st, long_form)};
    if (a.positional()) {
      positionals.entries.push_back(std::move(e));
    } else if (a.heading.empty()) {
      options.entries.push_back(std::move(e));
    } else {
      auto it = std::find_if(headed.begin(), headed.end(), [&](const Section& s) { return s.heading == a.heading; });
      if (it == headed.end()) {
        headed.push_back(Section{a.heading, {}});
        it = headed.end() - 1;
      }
      it->entries.push_back(std::move(e));
    }
  }
  sections.push_back(std::move(positionals));
  sections.push_back(std::move(options));
  for (auto& s : headed) sections.push_back(std::move(s));
  return render_sections(sections, st);
}

void replace_all(std::string& text, std::string_view key, std::string_view value) {
  for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
    text.replace(at, key.size(), value);
}

const Command* walk(const Command& root, std::span<const std::string> path) {
  const Command* at = &root;
  for (const auto& name : path) {
    const Command* next = at->find_subcommand(name);
    if (!next) break;
    at = next;
  }
  return at;
}

}  // namespace

std::string arg_display(const Arg& arg) {
  if (arg.positional()) {
    std::string name = arg.value_name.empty() ? arg.id : arg.value_name;
    bool many = arg.arity == Arity::OneOrMore || arg.arity == Arity::Trailing;
    return "<" + name + ">" + (many ? "..." : "");
  }
  std::string out = arg.long_name.empty() ? std::string("-") + arg.short_name : "--" + arg.long_name;
  if (auto v = value_part(arg); !v.empty()) out += " " + v;
  return out;
}

std::string usage_text(const Command& c, std::string_view path, const HelpStyles& st) {
  std::string out = HelpStyles::paint(st.literal, path);
  bool options = std::any_of(c.args.begin(), c.args.end(), [](const Arg& a) { return !a.hidden && !a.positional(); });
  if (options) out += " " + HelpStyles::paint(st.placeholder, "[OPTIONS]");
  std::vector<std::string> in_groups;
  std::vector<std::string> parts;
  for (const auto& g : c.groups) {
    if (!g.required) continue;
    std::string alt;
    for (const auto& id : g.members) {
      const Arg* a = c.find_arg(id);
      if (!a) continue;
      if (!alt.empty()) alt += "|";
      alt += a->positional() ? (a->value_name.empty() ? a->id : a->value_name) : arg_display(*a);
      in_groups.push_back(id);
    }
    parts.push_back("<" + alt + ">");
  }
  for (const auto& a : c.args) {
    if (a.hidden || !a.required || a.positional()) continue;
    if (std::find(in_groups.begin(), in_groups.end(), a.id) != in_groups.end()) continue;
    parts.push_back(arg_display(a));
  }
  for (const auto& a : c.args) {
    if (a.hidden || !a.positional()) continue;
    if (std::find(in_groups.begin(), in_groups.end(), a.id) != in_groups.end()) continue;
    std::string name = a.value_name.empty() ? a.id : a.value_name;
    bool many = a.arity == Arity::OneOrMore || a.arity == Arity::Trailing;
    parts.push_back((a.required ? "<" + name + ">" : "[" + name + "]") + (many ? "..." : ""));
  }
  if (!c.subcommands.empty()) parts.push_back(c.subcommand_required ? "<COMMAND>" : "[COMMAND]");
  for (const auto& p : parts) out += " " + HelpStyles::paint(st.placeholder, p);
  return out;
}

std::string render_error(const HelpStyles& st, std::string_view message, const std::vector<std::string>& tips,
                         const Command* command, std::string_view path) {
  std::string out = HelpStyles::paint(st.error, "error:") + " " + std::string(message);
  for (const auto& tip : tips) out += "\n\n  " + HelpStyles::paint(st.valid, "tip:") + " " + tip;
  if (command) {
    out += "\n\n" + HelpStyles::paint(st.usage, "Usage:") + " " + usage_text(*command, path, st);
    out += "\n\nRun " + HelpStyles::paint(st.literal, fmt::format("{} --help", path)) + " for more information.";
  }
  out += "\n";
  return out;
}

std::string render_help_page(const Command& root, std::string_view shown_name, std::span<const std::string> path,
                             bool long_form) {
  const HelpStyles& st = *root.styles;
  const Command& c = *walk(root, path);
  std::string usage_path(shown_name);
  const Command* at = &root;
  for (const auto& name : path) {
    at = at->find_subcommand(name);
    if (!at) break;
    usage_path += " " + at->name;
  }
  bool is_root = &c == &root;
  std::string tmpl = is_root && root.help_template ? *root.help_template
                                                   : "{before-help}{about-with-newline}\n{usage-heading} {usage}\n\n{all-args}{after-help}";
  std::string about = long_form && !c.long_about.empty() ? c.long_about : c.about;
  std::string out = tmpl;
  replace_all(out, "{before-help}", "");
  replace_all(out, "{after-help}", "");
  replace_all(out, "{about-with-newline}", about.empty() ? "" : about + "\n");
  replace_all(out, "{usage-heading}", HelpStyles::paint(st.usage, "Usage:"));
  replace_all(out, "{usage}", usage_text(c, usage_path, st));
  replace_all(out, "{all-args}", all_args(c, st, long_form));
  replace_all(out, "{name}", c.name);
  replace_all(out, "{version}", c.version);
  replace_all(out, "{author-with-newline}", c.author.empty() ? "" : c.author + "\n");
  while (!out.empty() && out.back() == '\n') out.pop_back();
  out += "\n";
  return out;
}

}  // namespace detail

std::string render_help(Command& root, std::string_view shown_name, std::span<const std::string> path,
                        bool long_form) {
  root.finalize();
  return detail::render_help_page(root, shown_name, path, long_form);
}

}  // namespace kestro::cli
