// Decoding the program's scrambled texts, and the digest and hex routines behind it.
//
// A scrambled text is a hex body (two digits per byte, high nibble first, each byte the plain
// byte exclusive-or kScrambleMask) followed by a nine-character check tail: characters 3 to 11
// of the upper-case MD5 digest of the key text.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace tuvaro {

// Only the low eight bits act: each decoded byte is (byte ^ kScrambleMask) & 0xFF.
inline constexpr std::int32_t kScrambleMask = 0x5A3C;
inline constexpr std::size_t kCheckTailLength = 9;

// Algorithm identifiers of the cryptographic service that hashHex knows.
inline constexpr std::int32_t kAlgorithmMd5 = 0x8003;   // CALG_MD5
inline constexpr std::int32_t kAlgorithmSha1 = 0x8004;  // CALG_SHA1

// The plain text, or the empty text when the tail does not match the key (a lower-case tail
// never matches) or the text is shorter than the tail. The plain text ends at the first byte
// that masks back to zero. Non-hex body characters decode by the hexToNumber rule.
Text unscrambleText(std::string_view scrambled, std::string_view key);

// The MD5 digest of `data` as 32 hex digits, lower case unless `keepUpperCase`; with
// `middleSixteen` only characters 9 to 24. Empty on failure.
Text md5Hex(std::string_view data, bool keepUpperCase = false, bool middleSixteen = false);

// The digest of `data` by `algorithm` as upper-case hex, two digits per digest byte. An
// unknown algorithm or a `hashSize` below the digest's size gives the empty text; a larger
// `hashSize` gives the digest's digits only.
Text hashHex(std::string_view data, std::int32_t algorithm, std::int32_t hashSize);

// One byte per pair of characters, and one for a last single character: the low eight bits
// of hexToNumber of the piece. Runs processPendingEvents() after every byte.
Bytes hexToBytes(std::string_view hex);

// r := r * 16 + (position of the character in "0123456789ABCDEF", 1-based, or -1) - 1 for
// each byte, after ASCII upper-casing; computed in double precision, truncated toward zero and
// wrapped to 32 bits. A hex digit adds its value and any other byte adds -2.
// Examples: "4f" -> 79, "" -> 0, "G" -> -2, "G1" -> -31.
std::int32_t hexToNumber(std::string_view digits);

}  // namespace tuvaro
