#include "core/hashing.h"

#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>

namespace velloquin::core {
namespace {

// Fetched once: passing EVP_sha256() makes libcrypto look the implementation up on every call,
// a tenth of the cost of hashing a typical prompt. Kept for the life of the process.
const EVP_MD* sha256_method() {
  static const EVP_MD* const fetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  return fetched != nullptr ? fetched : EVP_sha256();
}

}  // namespace

std::string sha256_hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  // A one-shot digest with the default provider cannot fail short of a broken libcrypto; a
  // provenance hash that silently came out wrong would be worse than stopping.
  if (EVP_Digest(bytes.empty() ? "" : bytes.data(), bytes.size(), digest, &length, sha256_method(),
                 nullptr) != 1 ||
      length != 32) {
    std::fputs("velloquin: SHA-256 digest failed in libcrypto\n", stderr);
    std::abort();
  }
  static constexpr char kHexDigits[] = "0123456789abcdef";
  std::string hex(2 * length, '\0');
  for (unsigned int i = 0; i < length; ++i) {
    hex[2 * i] = kHexDigits[digest[i] >> 4];
    hex[2 * i + 1] = kHexDigits[digest[i] & 0x0f];
  }
  return hex;
}

}  // namespace velloquin::core
