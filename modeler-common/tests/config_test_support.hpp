// Settings records for tables of test cases: `config().exclude({"a"}).std_dir("lib")`.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kestro/modeler/config.hpp"

namespace kestro::modeler {

class ConfigBuilder {
 public:
  ConfigBuilder include(std::vector<std::string> v) && { return set(&PlovikConfig::include, std::move(v)); }
  ConfigBuilder exclude(std::vector<std::string> v) && { return set(&PlovikConfig::exclude, std::move(v)); }
  ConfigBuilder viz(TomlTable v) && { return set(&PlovikConfig::viz, std::move(v)); }
  ConfigBuilder std_dir(std::string v) && { return set(&PlovikConfig::std_dir, std::move(v)); }
  ConfigBuilder kestro_dir(std::string v) && { return set(&PlovikConfig::kestro_dir, std::move(v)); }
  ConfigBuilder lsp(LspConfig v) && { return set(&PlovikConfig::lsp, std::move(v)); }
  operator PlovikConfig() && { return std::move(config_); }

 private:
  template <typename Field, typename Value>
  ConfigBuilder set(Field field, Value v) {
    config_.*field = std::move(v);
    return std::move(*this);
  }
  PlovikConfig config_;
};

inline ConfigBuilder config() { return {}; }

}  // namespace kestro::modeler
