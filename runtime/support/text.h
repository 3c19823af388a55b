// Text helpers shared by every subsystem. Text inside the runtime is UTF-16 (std::u16string);
// these convert at the edges: stored UTF-8, 8-bit system texts and numbers written as text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nxr {

// Strict UTF-8 to UTF-16: nullopt on malformed input (overlong forms, surrogates, truncation).
std::optional<std::u16string> utf8ToUtf16(std::string_view bytes);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// Each byte up to the first zero becomes the character with the same value (the "C" locale's
// multibyte to wide conversion).
std::u16string bytesToWide(std::string_view bytes);

// Characters below 256 become one byte each; nullopt when a character cannot be represented.
std::optional<std::string> wideToBytes(std::u16string_view text);

// Decimal text to integer the way the script protocol reads numbers: leading white space, an
// optional sign, digits; reading stops at the first non-digit; no digits reads 0. Values beyond
// 32 bits wrap like the C runtime's conversion of a long on the target.
int32_t parseDecimal(std::u16string_view text);

std::u16string toDecimal(int64_t value);

// Lower-case hexadecimal without leading zeros.
std::u16string toHex(uint32_t value);

inline std::u16string asU16(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace nxr
