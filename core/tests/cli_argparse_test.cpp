// The argument parser on a small declared command of its own: word forms,
// arities, sources of values, constraints and the help layout.
#include <gtest/gtest.h>

#include "kestro/cli/argparse.hpp"

namespace kestro::cli {
namespace {

Arg make(std::string id, std::string long_name, char short_name, Arity arity, std::string value_name = {}) {
  Arg a;
  a.id = std::move(id);
  a.long_name = std::move(long_name);
  a.short_name = short_name;
  a.arity = arity;
  a.value_name = std::move(value_name);
  return a;
}

// tool [-x] [-y] [-c VALUE] [--list [L...]] [--env-opt E] [--mode M] <FIRST> [REST]...
//      sub [ARGS]... (trailing)
Command tool() {
  Command c("tool");
  c.arg(make("x", "ex", 'x', Arity::Flag));
  c.arg(make("y", "why", 'y', Arity::Flag));
  c.arg(make("c", "count", 'c', Arity::One, "N"));
  Arg list = make("list", "list", 0, Arity::ZeroOrMore, "L");
  list.delimiter = ',';
  c.arg(std::move(list));
  Arg env = make("env_opt", "env-opt", 0, Arity::One, "E");
  env.env = "TOOL_E";
  env.env_value = "from-env";
  c.arg(std::move(env));
  Arg mode = make("mode", "mode", 0, Arity::One, "M");
  mode.possible_values = {{"fast", "", {"quick"}, false}, {"slow", "", {}, false}, {"secret", "", {}, true}};
  mode.default_value = "slow";
  c.arg(std::move(mode));
  Arg first = make("first", "", 0, Arity::One, "FIRST");
  first.required = true;
  c.arg(std::move(first));
  c.arg(make("rest", "", 0, Arity::OneOrMore, "REST"));
  return c;
}

std::expected<ArgMatches, ParseError> run(Command& c, std::vector<std::string> words) {
  words.insert(words.begin(), "tool");
  return parse_args(c, words);
}

TEST(ArgParser, WordForms) {
  Command c = tool();
  auto m = run(c, {"-xy", "-c7", "one", "--list=a,b", "--list", "c", "d", "--", "-not-an-option"});
  ASSERT_TRUE(m) << m.error().text();
  EXPECT_EQ(m->remove_one<bool>("x"), true);
  EXPECT_EQ(m->remove_one<bool>("y"), true);
  EXPECT_EQ(m->remove_one<std::string>("c"), "7");
  EXPECT_EQ(m->remove_one<std::string>("first"), "one");
  EXPECT_EQ(m->remove_many<std::string>("list"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(m->remove_many<std::string>("rest"), std::vector<std::string>{"-not-an-option"});
  // Taken out: gone.
  EXPECT_FALSE(m->contains("first"));
  EXPECT_EQ(m->remove_one<std::string>("first"), std::nullopt);

  auto eq = run(c, {"-c=5", "--count=6x", "p"});
  ASSERT_FALSE(eq);
  EXPECT_EQ(eq.error().kind(), ErrorKind::RepeatedArgument);
  auto neg = run(c, {"-c", "-5", "p"});
  ASSERT_TRUE(neg) << neg.error().text();
  EXPECT_EQ(neg->remove_one<std::string>("c"), "-5");
}

TEST(ArgParser, SourcesOfValues) {
  Command c = tool();
  auto m = run(c, {"p"});
  ASSERT_TRUE(m);
  EXPECT_EQ(m->source("env_opt"), ValueSource::Environment);
  EXPECT_EQ(m->remove_one<std::string>("env_opt"), "from-env");
  EXPECT_EQ(m->source("mode"), ValueSource::Default);
  EXPECT_EQ(m->remove_one<std::size_t>("mode"), 1u);
  EXPECT_EQ(m->remove_one<bool>("x"), false);
  EXPECT_FALSE(m->contains("c"));

  auto given = run(c, {"p", "--env-opt", "cli", "--mode", "quick"});
  ASSERT_TRUE(given);
  EXPECT_EQ(given->source("env_opt"), ValueSource::CommandLine);
  EXPECT_EQ(given->remove_one<std::string>("env_opt"), "cli");
  EXPECT_EQ(given->remove_one<std::size_t>("mode"), 0u);
  // A hidden value is accepted but not offered.
  auto hidden = run(c, {"p", "--mode", "secret"});
  ASSERT_TRUE(hidden);
  auto bad = run(c, {"p", "--mode", "Fast"});
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error().kind(), ErrorKind::InvalidValue);
  std::string text = strip_styles(bad.error().text());
  EXPECT_NE(text.find("possible values: fast, slow\n"), std::string::npos) << text;
}

TEST(ArgParser, Constraints) {
  Command c = tool();
  c.args[0].conflicts_ids = {"y"};
  c.args[1].requires_ids = {"c"};
  c.group(ArgGroup{"pair", {"list", "env_opt"}, false, false});
  struct Case {
    std::vector<std::string> words;
    ErrorKind kind;
  } cases[] = {
      {{}, ErrorKind::MissingRequiredArgument},
      {{"p", "-x", "-y", "-c", "1"}, ErrorKind::ArgumentConflict},
      {{"p", "-y"}, ErrorKind::MissingRequiredArgument},
      // The variable's value counts as given for the group.
      {{"p", "--list", "a"}, ErrorKind::ArgumentConflict},
      {{"p", "--bogus"}, ErrorKind::UnknownArgument},
      {{"p", "-z"}, ErrorKind::UnknownArgument},
      {{"p", "-x=1"}, ErrorKind::UnknownArgument},
      {{"p", "--ex=1"}, ErrorKind::UnexpectedValue},
      {{"p", "-c"}, ErrorKind::MissingValue},
      {{"p", "-c", "--ex"}, ErrorKind::MissingValue},
  };
  for (const auto& k : cases) {
    std::string label;
    for (const auto& w : k.words) label += w + " ";
    auto got = run(c, k.words);
    ASSERT_FALSE(got) << label;
    EXPECT_EQ(got.error().kind(), k.kind) << label << "\n" << got.error().text();
    EXPECT_EQ(got.error().exit_code(), 2);
  }
  EXPECT_TRUE(run(c, {"p", "-y", "-c", "1"}));
}

TEST(ArgParser, SubcommandsGlobalsAndTrailing) {
  Command root("tool");
  Arg verbose = make("verbose", "verbose", 'v', Arity::Flag);
  verbose.global = true;
  verbose.heading = "Shared";
  root.arg(std::move(verbose));
  Command sub("sub");
  sub.about = "Runs\nthings";
  sub.hidden_aliases = {"s"};
  Arg rest = make("args", "", 0, Arity::Trailing, "ARGS");
  sub.arg(std::move(rest));
  root.subcommand(std::move(sub));
  root.subcommand_required = true;

  std::vector<std::string> words = {"tool", "s", "-v", "--x", "-v"};
  auto m = parse_args(root, words);
  ASSERT_TRUE(m) << m.error().text();
  // The global given in the subcommand holds at the root; once the catch-all
  // has started every later word is its value.
  EXPECT_EQ(m->remove_one<bool>("verbose"), true);
  ASSERT_TRUE(m->subcommand());
  EXPECT_EQ(m->subcommand()->name, "sub");
  EXPECT_EQ(m->subcommand()->matches->remove_many<std::string>("args"), (std::vector<std::string>{"--x", "-v"}));

  std::string help = strip_styles(render_help(root, "tool", {}, true));
  // One column for the whole page, set by its longest entry.
  EXPECT_NE(help.find("Commands:\n  sub            Runs\n                 things\n  help           "), std::string::npos)
      << help;
  EXPECT_NE(help.find("Shared:\n  -v, --verbose"), std::string::npos) << help;
  EXPECT_EQ(help.find("  s "), std::string::npos) << help;
  std::vector<std::string> path = {"sub"};
  std::string sub_help = strip_styles(render_help(root, "tool", path, false));
  EXPECT_NE(sub_help.find("Usage: tool sub [OPTIONS] [ARGS]..."), std::string::npos) << sub_help;
  EXPECT_NE(sub_help.find("Shared:\n  -v, --verbose"), std::string::npos) << sub_help;

  std::vector<std::string> missing = {"tool", "-v"};
  auto none = parse_args(root, missing);
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().kind(), ErrorKind::MissingSubcommand);
  std::vector<std::string> help_words = {"tool", "help", "sub"};
  auto shown = parse_args(root, help_words);
  ASSERT_FALSE(shown);
  EXPECT_EQ(shown.error().kind(), ErrorKind::DisplayHelp);
  EXPECT_EQ(shown.error().text(), render_help(root, "tool", path, true));
}

TEST(ArgParser, NumberParsers) {
  HelpStyles st;
  auto u64 = u64_parser();
  auto u32 = u32_range_parser(0, 4294967295u);
  EXPECT_EQ(std::any_cast<std::uint64_t>(u64(st, "+18446744073709551615")->value), 18446744073709551615u);
  for (const char* bad : {"", "+", "-1", "1 ", "0x1", "18446744073709551616"}) EXPECT_FALSE(u64(st, bad)) << bad;
  EXPECT_EQ(std::any_cast<std::uint32_t>(u32(st, "4294967295")->value), 4294967295u);
  auto over = u32(st, "4294967296");
  ASSERT_FALSE(over);
  EXPECT_EQ(over.error().message, "4294967296 is not in 0..=4294967295");
  EXPECT_TRUE(bool_value_parser()(st, "false"));
  EXPECT_FALSE(bool_value_parser()(st, "False"));
}

TEST(ArgParser, StripStyles) {
  EXPECT_EQ(strip_styles("\x1b[1m\x1b[32mhint:\x1b[0m x"), "hint: x");
  EXPECT_EQ(strip_styles("a\x1b[38;5;9mb\x1b"), "ab");
  EXPECT_EQ(strip_styles("plain"), "plain");
}

}  // namespace
}  // namespace kestro::cli
