// Lexes a generated corpus of SysML v2 text and prints the throughput of the
// lexer alone and of the exported-name extraction (lexing, grouping and the
// walk). Usage: bench_symbols [megabytes] [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fmt/format.h>

#include "kestro/symbols/extract.hpp"
#include "kestro/symbols/lex.hpp"

namespace {

// Model-like packages: definitions with bodies, usages with multiplicities,
// specializations, imports, comments, documentation, quoted and non-ASCII
// names, expressions; each top-level package declares one name.
std::string generate(std::size_t bytes) {
  std::string out = "/* generated benchmark corpus */\n";
  for (std::size_t i = 0; out.size() < bytes; ++i) {
    out += fmt::format(
        "package 'Vehicle Model {0}' {{\n"
        "    private import ScalarValues::*;\n"
        "    import ISQ::MassValue;\n"
        "    doc /* The vehicle of variant {0}, with its parts\n"
        "         * and their connections. */\n"
        "    // a line comment about part {0}\n"
        "    part def <V{0}> Vehicle{0} :> Base::Vehicle {{\n"
        "        attribute mass : MassValue = {1}.5 [kg];\n"
        "        attribute 'top speed' : Real := 180 * {2} / 3.6;\n"
        "        part engine[1] : Engine{0} redefines engine;\n"
        "        part wheels[4..*] : Wheel ordered nonunique;\n"
        "        port fuelIn : ~FuelPort;\n"
        "        attribute résumé : String = \"Fahrzeug \\\"{0}\\\" — größer\";\n"
        "        constraint {{ mass > 0 and mass <= 2000 }}\n"
        "    }}\n"
        "    connection def Link{0} {{ end a : Vehicle{0}; end b : Vehicle{0}; }}\n"
        "    action drive{0} {{ first start then accelerate; }}\n"
        "}}\n"
        "part def Ölpumpe{0} :> Pump, Base::Device;\n"
        "#Safety part sensor{0} : Sensor[2];\n"
        "alias Car{0} for 'Vehicle Model {0}'::Vehicle{0};\n",
        i, i % 997, i % 7);
  }
  return out;
}

template <typename F>
double best_seconds(int rounds, F&& run) {
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const auto end = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(end - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const std::string text = generate(megabytes << 20);
  const double mb = static_cast<double>(text.size()) / (1 << 20);

  std::size_t tokens = 0;
  bool failed = false;
  const double lex_s = best_seconds(rounds, [&] {
    tokens = 0;
    kestro::symbols::SymbolLexer lexer(text);
    while (auto step = lexer.lex_token()) {
      if (!step->has_value()) failed = true;
      ++tokens;
    }
  });
  if (failed) {
    std::fputs("the corpus does not lex\n", stderr);
    return 1;
  }

  std::size_t names = 0;
  const double extract_s = best_seconds(rounds, [&] {
    auto result = kestro::symbols::extract_sysml_symbols(text);
    if (!result) {
      std::fputs((result.error().message() + "\n").c_str(), stderr);
      std::exit(1);
    }
    names = result->size();
  });

  fmt::print("corpus: {:.1f} MB, {} tokens, {} exported names\n", mb, tokens, names);
  fmt::print("lex:     {:8.1f} MB/s\n", mb / lex_s);
  fmt::print("extract: {:8.1f} MB/s\n", mb / extract_s);
  return 0;
}
