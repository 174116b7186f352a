// SHA-256 over OpenSSL's EVP interface.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace kestro {

using Sha256Digest = std::array<unsigned char, 32>;

class Sha256 {
 public:
  // Frees an OpenSSL digest context.
  struct ContextFree {
    void operator()(void* ctx) const noexcept;
  };

  Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void update(std::string_view bytes);
  Sha256Digest finish();

 private:
  // The OpenSSL context, freed however the object ends (a constructor that
  // fails part-way included).
  std::unique_ptr<void, ContextFree> ctx_;
};

Sha256Digest sha256(std::string_view bytes);
// 64 lower-case hexadecimal digits.
std::string to_hex(const Sha256Digest& digest);
std::string sha256_hex(std::string_view bytes);
// Whether `text` is a digest as to_hex writes it: 64 lower-case hexadecimal
// digits, nothing else.
bool is_lower_hex_digest(std::string_view text);

}  // namespace kestro
