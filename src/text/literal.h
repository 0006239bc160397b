// Readable Hungarian literals in the source, code page 852 bytes in the program.
//
// Every text of the system is a byte string in code page 852, but the source
// files are UTF-8. A literal written with the `_cp` suffix is converted at
// compile time:
//
//   using namespace text::literals;
//   std::string title = "Vantor-kettős könyvelés"_cp;      // code page 852 bytes
//   constexpr std::string_view yes = "Igen"_cpv;          // same bytes, no copy
//
// A character that code page 852 cannot hold (a euro sign, a Chinese letter,
// bytes that are not UTF-8) makes the literal a non-constant expression, so
// the build fails at the line of the literal. Besides the characters of the
// code page itself, the DOS glyphs of the control bytes are accepted ("►" is
// the byte 16, "▲" 30, "⌂" 127), so that screen code can write the arrows and
// markers of the text screen readably. An embedded "\0" stays a 0 byte (the
// toolkit uses it to separate lines).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/cp852.h"

namespace text {

namespace literal_detail {

// A string literal as a template argument (its bytes, terminator included).
template <std::size_t N>
struct Utf8Literal {
  char bytes[N]{};
  consteval Utf8Literal(const char (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i) bytes[i] = s[i];
  }
  static constexpr std::size_t kLength = N - 1;  // without the terminator
};

// The code page 852 form of a literal: at most as many bytes as the UTF-8
// form, so its array has the same capacity.
template <std::size_t N>
struct Cp852Bytes {
  char bytes[N]{};
  std::size_t size = 0;
};

// Not constexpr on purpose: reaching one of them during the conversion makes
// the literal a non-constant expression, and the compiler's error then names
// the reason.
inline void UnmappableCharacterInCp852Literal() {}
inline void InvalidUtf8InCp852Literal() {}

constexpr int Cp852ByteOf(char32_t c) {
  const int own = platform::UnicodeToCp852(c);
  if (own >= 0) return own;
  for (int b = 1; b < 32; ++b)
    if (platform::kDosControlGlyphs[b] == c) return b;
  if (c == 0x2302) return 127;
  return -1;
}

template <std::size_t N>
constexpr Cp852Bytes<N> ToCp852(const Utf8Literal<N>& lit) {
  Cp852Bytes<N> out;
  std::size_t pos = 0;
  const std::size_t len = Utf8Literal<N>::kLength;
  while (pos < len) {
    const auto b0 = static_cast<unsigned char>(lit.bytes[pos]);
    char32_t c = 0;
    std::size_t n = 0;
    if (b0 < 0x80) {
      c = b0;
      n = 1;
    } else if ((b0 & 0xE0) == 0xC0) {
      c = b0 & 0x1F;
      n = 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      c = b0 & 0x0F;
      n = 3;
    } else if ((b0 & 0xF8) == 0xF0) {
      c = b0 & 0x07;
      n = 4;
    } else {
      InvalidUtf8InCp852Literal();
      throw "invalid UTF-8 in a _cp literal";
    }
    if (pos + n > len) {
      InvalidUtf8InCp852Literal();
      throw "truncated UTF-8 in a _cp literal";
    }
    for (std::size_t i = 1; i < n; ++i) {
      const auto b = static_cast<unsigned char>(lit.bytes[pos + i]);
      if ((b & 0xC0) != 0x80) {
        InvalidUtf8InCp852Literal();
        throw "invalid UTF-8 in a _cp literal";
      }
      c = (c << 6) | (b & 0x3F);
    }
    constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMin[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      InvalidUtf8InCp852Literal();
      throw "invalid UTF-8 in a _cp literal";
    }
    const int byte = Cp852ByteOf(c);
    if (byte < 0) {
      UnmappableCharacterInCp852Literal();
      throw "a character of a _cp literal has no code page 852 byte";
    }
    out.bytes[out.size++] = static_cast<char>(byte);
    pos += n;
  }
  return out;
}

// One converted copy per distinct literal, in static storage.
template <Utf8Literal S>
inline constexpr Cp852Bytes<sizeof(S.bytes)> kCp852Of = ToCp852(S);

}  // namespace literal_detail

// The code page 852 bytes of a UTF-8 literal, as a view of static storage.
// Usable in constant expressions.
template <literal_detail::Utf8Literal S>
consteval std::string_view Cp852() {
  return std::string_view(literal_detail::kCp852Of<S>.bytes,
                          literal_detail::kCp852Of<S>.size);
}

namespace literals {

// "Árvíztűrő"_cp: a std::string of code page 852 bytes.
template <literal_detail::Utf8Literal S>
std::string operator""_cp() {
  return std::string(Cp852<S>());
}

// "Árvíztűrő"_cpv: the same bytes as a constexpr std::string_view.
template <literal_detail::Utf8Literal S>
consteval std::string_view operator""_cpv() {
  return Cp852<S>();
}

}  // namespace literals

}  // namespace text
