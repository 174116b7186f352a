#include "kestro/utils/sha256.hpp"

#include <openssl/evp.h>

#include "kestro/utils/error.hpp"

namespace kestro {

Sha256::Sha256() : ctx_(EVP_MD_CTX_new()) {
  if (ctx_ == nullptr || EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(ctx_), EVP_sha256(), nullptr) != 1)
    internal_error("failed to initialise SHA-256");
}

Sha256::~Sha256() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(ctx_)); }

void Sha256::update(std::string_view bytes) {
  if (EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(ctx_), bytes.data(), bytes.size()) != 1)
    internal_error("SHA-256 update failed");
}

Sha256Digest Sha256::finish() {
  Sha256Digest out{};
  unsigned int len = 0;
  if (EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(ctx_), out.data(), &len) != 1 || len != out.size())
    internal_error("SHA-256 finish failed");
  return out;
}

Sha256Digest sha256(std::string_view bytes) {
  Sha256 h;
  h.update(bytes);
  return h.finish();
}

std::string to_hex(const Sha256Digest& digest) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string out;
  out.reserve(64);
  for (unsigned char b : digest) {
    out += hex[b >> 4];
    out += hex[b & 0xF];
  }
  return out;
}

std::string sha256_hex(std::string_view bytes) { return to_hex(sha256(bytes)); }

}  // namespace kestro
