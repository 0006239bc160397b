// Code page 852 <-> Unicode, and UTF-8 coding.
//
// Every text inside the system is code page 852 bytes. The platform meets the
// host (terminal, file names) in UTF-8, so it needs the full byte <-> Unicode
// table. The table is constexpr so that compile-time literal conversion can use
// it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char32_t kCp852ToUnicode[256] = {
#include "platform/cp852_table.inc"
};

// The DOS glyphs that a text screen shows for the control bytes 1..31 and 127.
inline constexpr char32_t kDosControlGlyphs[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
};

// The Unicode character a cell holding this byte is drawn as. The byte 0 is
// drawn as a blank, 1..31 and 127 as their DOS glyphs.
constexpr char32_t Cp852Glyph(uint8_t b) {
  if (b < 32) return kDosControlGlyphs[b];
  if (b == 127) return 0x2302;
  return kCp852ToUnicode[b];
}

// Returns the code page 852 byte of a Unicode character, or -1 when code
// page 852 has none. The control characters map to themselves.
constexpr int UnicodeToCp852(char32_t c) {
  if (c < 128) return static_cast<int>(c);
  for (int b = 128; b < 256; ++b)
    if (kCp852ToUnicode[b] == c) return b;
  return -1;
}

// Like UnicodeToCp852, but also accepts the DOS glyphs of the control bytes
// (a "►" typed or pasted becomes the byte 16).
int GlyphToCp852(char32_t c);

// Appends the UTF-8 form of c to out.
void AppendUtf8(std::string& out, char32_t c);

// Decodes one UTF-8 character from s at pos. Returns the number of bytes it
// takes (1..4), 0 when s ends inside the character, and -1 when the bytes at
// pos are not valid UTF-8 (the caller skips one byte). c receives the code point.
int DecodeUtf8(std::string_view s, size_t pos, char32_t& c);

// A single-byte code page's text to UTF-8, each byte through table.
std::string SingleByteToUtf8(std::string_view text, const char32_t (&table)[256]);

// UTF-8 text to a single-byte code page, each character through toByte (-1:
// the code page has none, and the character is dropped); bytes that are not
// valid UTF-8 are dropped.
std::string Utf8ToSingleByte(std::string_view utf8, int (*toByte)(char32_t));

// Code page 852 text to UTF-8 (each byte through kCp852ToUnicode).
std::string Cp852ToUtf8(std::string_view cp852);

// UTF-8 text to code page 852; characters without a code page 852 byte, and
// bytes that are not valid UTF-8, are dropped.
std::string Utf8ToCp852(std::string_view utf8);

}  // namespace platform
