#include "kestro/utils/sha256.hpp"

#include <openssl/evp.h>

#include <new>

#include "kestro/utils/error.hpp"

namespace kestro {

namespace {
EVP_MD_CTX* context(const std::unique_ptr<void, Sha256::ContextFree>& ctx) { return static_cast<EVP_MD_CTX*>(ctx.get()); }
}  // namespace

void Sha256::ContextFree::operator()(void* ctx) const noexcept { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(ctx)); }

Sha256::Sha256() : ctx_(EVP_MD_CTX_new()) {
  if (!ctx_) throw std::bad_alloc();
  if (EVP_DigestInit_ex(context(ctx_), EVP_sha256(), nullptr) != 1) internal_error("failed to initialise SHA-256");
}

void Sha256::update(std::string_view bytes) {
  if (EVP_DigestUpdate(context(ctx_), bytes.data(), bytes.size()) != 1)
    internal_error("SHA-256 update failed");
}

Sha256Digest Sha256::finish() {
  Sha256Digest out{};
  unsigned int len = 0;
  if (EVP_DigestFinal_ex(context(ctx_), out.data(), &len) != 1 || len != out.size())
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

bool is_lower_hex_digest(std::string_view text) {
  if (text.size() != 2 * std::tuple_size_v<Sha256Digest>) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace kestro
