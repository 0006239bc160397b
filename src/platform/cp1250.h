// Code page 1250 ("ANSI", the Windows code page of Central Europe) <-> Unicode.
//
// A few texts reach the platform in code page 1250 instead of the working code
// page 852 (names the system hands over in the Windows form, volume labels,
// texts for other programs). The host speaks UTF-8, so the platform converts
// through Unicode, as it does for code page 852.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Byte -> Unicode. The five bytes the code page leaves undefined map to the
// C1 control character of the same number.
inline constexpr char32_t kCp1250ToUnicode[256] = {
#include "platform/cp1250_table.inc"
};

// Returns the code page 1250 byte of a Unicode character, or -1 when the code
// page has none. The ASCII characters map to themselves.
constexpr int UnicodeToCp1250(char32_t c) {
  if (c < 128) return static_cast<int>(c);
  for (int b = 128; b < 256; ++b)
    if (kCp1250ToUnicode[b] == c) return b;
  return -1;
}

// Code page 1250 text to UTF-8.
std::string Cp1250ToUtf8(std::string_view cp1250);

// UTF-8 text to code page 1250; characters without a code page 1250 byte, and
// bytes that are not valid UTF-8, are dropped.
std::string Utf8ToCp1250(std::string_view utf8);

}  // namespace platform
