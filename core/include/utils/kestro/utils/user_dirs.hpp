// The current user's home directory and the per-user directories named by
// environment variables, as the credential store and the modeller's
// configuration look them up.
#pragma once

#include <filesystem>
#include <optional>

namespace kestro {

// HOME when it is set and not empty; otherwise the home directory of the
// current user's entry in the password database; none when neither gives
// one.
std::optional<std::filesystem::path> home_dir();

// The value of the environment variable `name` when it holds an absolute
// path; none when it is unset or relative.
std::optional<std::filesystem::path> absolute_env_dir(const char* name);

}  // namespace kestro
