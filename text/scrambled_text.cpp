#include "text/scrambled_text.h"

#include <openssl/evp.h>

#include <memory>
#include <string>

#include "text/pending_events.h"

namespace tuvaro {
namespace {

struct DigestContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// The digest that stands behind each algorithm identifier of the cryptographic service.
const EVP_MD* digestFor(std::int32_t algorithm) {
  switch (algorithm) {
    case kAlgorithmMd5:
      return EVP_md5();
    case kAlgorithmSha1:
      return EVP_sha1();
    case 0x800C:
      return EVP_sha256();  // CALG_SHA_256
    case 0x800D:
      return EVP_sha384();  // CALG_SHA_384
    case 0x800E:
      return EVP_sha512();  // CALG_SHA_512
    default:
      return nullptr;
  }
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

Text hashHex(std::string_view data, std::int32_t algorithm, std::int32_t hashSize) {
  const EVP_MD* digest = digestFor(algorithm);
  if (digest == nullptr || hashSize < EVP_MD_get_size(digest)) return {};
  std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
  unsigned char value[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!context || EVP_DigestInit_ex(context.get(), digest, nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), data.data(), data.size()) != 1 ||
      EVP_DigestFinal_ex(context.get(), value, &length) != 1) {
    return {};
  }
  std::string hex;
  hex.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHexDigits[value[i] >> 4];
    hex += kHexDigits[value[i] & 15];
  }
  return Text(hex);
}

Text md5Hex(std::string_view data, bool keepUpperCase, bool middleSixteen) {
  Text digest = hashHex(data, kAlgorithmMd5, 16);
  if (!keepUpperCase) digest = toLowerAscii(digest.view());
  if (middleSixteen) digest = Text(midBytes(digest.view(), 9, 16));
  return digest;
}

std::int32_t hexToNumber(std::string_view digits) {
  // Every step is an integer, so wrapping each one to 32 bits gives the exact value wrapped.
  std::uint32_t r = 0;
  for (char c : digits) {
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    std::uint32_t value;
    if (upper >= '0' && upper <= '9') {
      value = static_cast<std::uint32_t>(upper - '0');
    } else if (upper >= 'A' && upper <= 'F') {
      value = static_cast<std::uint32_t>(upper - 'A' + 10);
    } else {
      value = static_cast<std::uint32_t>(-2);
    }
    r = r * 16U + value;
  }
  return static_cast<std::int32_t>(r);
}

Bytes hexToBytes(std::string_view hex) {
  std::string bytes;
  bytes.reserve(hex.size() / 2 + 1);
  for (std::size_t p = 0; p < hex.size(); p += 2) {
    bytes += static_cast<char>(hexToNumber(hex.substr(p, 2)) & 0xFF);
    processPendingEvents();
  }
  return Bytes(std::move(bytes));
}

Text unscrambleText(std::string_view scrambled, std::string_view key) {
  const std::string_view tail = rightBytes(scrambled, kCheckTailLength);
  const Text expected = toUpperAscii(midBytes(md5Hex(key).view(), 3, kCheckTailLength));
  if (expected.empty() || tail != expected.view()) return {};
  const Bytes masked =
      hexToBytes(leftBytes(scrambled, static_cast<std::int64_t>(scrambled.size()) -
                                          static_cast<std::int64_t>(kCheckTailLength)));
  std::string plain;
  plain.reserve(masked.size());
  for (char b : masked.str()) {
    plain += static_cast<char>((static_cast<unsigned char>(b) ^ kScrambleMask) & 0xFF);
  }
  return Text(plain);  // ends at the first byte that masked back to zero
}

}  // namespace tuvaro
