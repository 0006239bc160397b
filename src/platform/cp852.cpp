#include "platform/cp852.h"

namespace platform {

int GlyphToCp852(char32_t c) {
  // A character that code page 852 holds as a letter or sign (the section
  // sign is both 0xF5 and the glyph of 21) keeps its own byte.
  if (int own = UnicodeToCp852(c); own >= 0) return own;
  for (int b = 1; b < 32; ++b)
    if (kDosControlGlyphs[b] == c) return b;
  if (c == 0x2302) return 127;
  return -1;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

int DecodeUtf8(std::string_view s, size_t pos, char32_t& c) {
  if (pos >= s.size()) return 0;
  const auto b0 = static_cast<uint8_t>(s[pos]);
  int len;
  char32_t v;
  if (b0 < 0x80) {
    c = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    v = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    v = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    v = b0 & 0x07;
  } else {
    return -1;
  }
  for (int i = 1; i < len; ++i) {
    if (pos + i >= s.size()) return 0;
    const auto b = static_cast<uint8_t>(s[pos + i]);
    if ((b & 0xC0) != 0x80) return -1;
    v = (v << 6) | (b & 0x3F);
  }
  // Overlong forms and surrogates are not valid.
  static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (v < kMin[len] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return -1;
  c = v;
  return len;
}

std::string SingleByteToUtf8(std::string_view text, const char32_t (&table)[256]) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char ch : text) AppendUtf8(out, table[static_cast<uint8_t>(ch)]);
  return out;
}

std::string Utf8ToSingleByte(std::string_view utf8, int (*toByte)(char32_t)) {
  std::string out;
  size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c = 0;
    int n = DecodeUtf8(utf8, pos, c);
    if (n <= 0) {  // invalid or truncated: drop one byte
      ++pos;
      continue;
    }
    pos += static_cast<size_t>(n);
    if (int b = toByte(c); b >= 0) out += static_cast<char>(b);
  }
  return out;
}

std::string Cp852ToUtf8(std::string_view cp852) { return SingleByteToUtf8(cp852, kCp852ToUnicode); }

std::string Utf8ToCp852(std::string_view utf8) {
  return Utf8ToSingleByte(utf8, [](char32_t c) { return UnicodeToCp852(c); });
}

}  // namespace platform
