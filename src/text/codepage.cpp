#include "text/codepage.h"

#include <array>
#include <cstddef>

#include "text/strings.h"

namespace text {
namespace {

using ByteMap = std::array<unsigned char, 256>;

// Builds the byte map of a table pair: the first occurrence of a byte in the
// source table decides its target; bytes not in the table map to themselves.
template <std::size_t N>
constexpr ByteMap MakeMap(const unsigned char (&from)[N], const unsigned char (&to)[N]) {
  ByteMap map{};
  std::array<bool, 256> seen{};
  for (int b = 0; b < 256; ++b) map[b] = static_cast<unsigned char>(b);
  for (std::size_t i = 0; i < N; ++i) {
    if (seen[from[i]]) continue;
    seen[from[i]] = true;
    map[from[i]] = to[i];
  }
  return map;
}

// Positions: á Á é É í Í ó Ó ö Ö ő Ő ú Ú ü Ü ű Ű
constexpr unsigned char kOld18[18] = {0xA0, 0x8F, 0x82, 0x90, 0xA1, 0xA1, 0xA2, 0x95, 0x94,
                                      0x99, 0x93, 0xA7, 0xA3, 0x97, 0x81, 0x9A, 0x96, 0x98};
constexpr unsigned char kCp852_18[18] = {0xA0, 0xB5, 0x82, 0x90, 0xA1, 0xD6, 0xA2, 0xE0, 0x94,
                                         0x99, 0x8B, 0x8A, 0xA3, 0xE9, 0x81, 0x9A, 0xFB, 0xEB};
constexpr unsigned char kCp437_18[18] = {0xA0, 0x8F, 0x82, 0x90, 0xA1, 0xA1, 0xA2, 0xA2, 0x94,
                                         0x99, 0x94, 0x99, 0xA3, 0xA3, 0x81, 0x9A, 0x81, 0x9A};

// Positions: a á A Á e é E É i í I Í o ó O Ó ö Ö ő Ő u ú U Ú ü Ü ű Ű
constexpr unsigned char kAnsi28[28] = {0x61, 0xE1, 0x41, 0xC1, 0x65, 0xE9, 0x45, 0xC9, 0x69, 0xED,
                                       0x49, 0xCD, 0x6F, 0xF3, 0x4F, 0xD3, 0xF6, 0xD6, 0xF5, 0xD5,
                                       0x75, 0xFA, 0x55, 0xDA, 0xFC, 0xDC, 0xFB, 0xDB};
constexpr unsigned char kCp852_28[28] = {0x61, 0xA0, 0x41, 0xB5, 0x65, 0x82, 0x45, 0x90, 0x69, 0xA1,
                                         0x49, 0xD6, 0x6F, 0xA2, 0x4F, 0xE0, 0x94, 0x99, 0x8B, 0x8A,
                                         0x75, 0xA3, 0x55, 0xE9, 0x81, 0x9A, 0xFB, 0xEB};
constexpr unsigned char kOld28[28] = {0x61, 0xA0, 0x41, 0x8F, 0x65, 0x82, 0x45, 0x90, 0x69, 0xA1,
                                      0x49, 0xD6, 0x6F, 0xA2, 0x4F, 0x95, 0x94, 0x99, 0x93, 0xA7,
                                      0x75, 0xA3, 0x55, 0x97, 0x81, 0x9A, 0x96, 0x98};

constexpr unsigned char kBoxFrom[28] = {0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xC6,
                                        0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0,
                                        0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8};
constexpr unsigned char kBoxTo[28] = {0xB4, 0xBF, 0xBF, 0xB4, 0xB3, 0xBF, 0xD9, 0xD9, 0xD9, 0xC3,
                                      0xC3, 0xC0, 0xDA, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC1, 0xC1,
                                      0xC2, 0xC2, 0xC0, 0xC0, 0xDA, 0xDA, 0xC5, 0xC5};

// Small letters á é í ó ö ő ú ü ű and their capitals, per code page choice.
// The old code page has no capital Í, Ó, Ő, Ú, Ű: those stay small.
constexpr unsigned char kOldSmall[9] = {0xA0, 0x82, 0xA1, 0xA2, 0x94, 0x93, 0xA3, 0x81, 0x96};
constexpr unsigned char kOldCapital[9] = {0x8F, 0x90, 0xA1, 0xA2, 0x99, 0x93, 0xA3, 0x9A, 0x96};
constexpr unsigned char kCp852Small[9] = {0xA0, 0x82, 0xA1, 0xA2, 0x94, 0x8B, 0xA3, 0x81, 0xFB};
constexpr unsigned char kCp852Capital[9] = {0xB5, 0x90, 0xD6, 0xE0, 0x99, 0x8A, 0xE9, 0x9A, 0xEB};

// Code page 852 ő ű Á Í Ó Ő Ú Ű and the old code page's ő ű Á.
constexpr unsigned char kCp852Accents[8] = {0x8B, 0xFB, 0xB5, 0xD6, 0xE0, 0x8A, 0xE9, 0xEB};
constexpr unsigned char kOldAccents[8] = {0x93, 0x96, 0x8F, 0xA1, 0xA2, 0x93, 0xA3, 0x96};
constexpr unsigned char kOldBack[3] = {0x93, 0x96, 0x8F};
constexpr unsigned char kCp852Back[3] = {0x8B, 0xFB, 0xB5};

constexpr ByteMap kOldTo852 = MakeMap(kOld18, kCp852_18);
constexpr ByteMap kCp852ToOld = MakeMap(kCp852_18, kOld18);
constexpr ByteMap kOldTo437 = MakeMap(kOld18, kCp437_18);
constexpr ByteMap kFoldBox = MakeMap(kBoxFrom, kBoxTo);
constexpr ByteMap kAnsiTo852 = MakeMap(kAnsi28, kCp852_28);
constexpr ByteMap kCp852ToAnsi = MakeMap(kCp852_28, kAnsi28);
constexpr ByteMap kOldToAnsi = MakeMap(kOld28, kAnsi28);
constexpr ByteMap kAnsiToOld = MakeMap(kAnsi28, kOld28);
constexpr ByteMap kUpOld = MakeMap(kOldSmall, kOldCapital);
constexpr ByteMap kUp852 = MakeMap(kCp852Small, kCp852Capital);
constexpr ByteMap kCp852LettersToOld = MakeMap(kCp852Accents, kOldAccents);
constexpr ByteMap kOldLettersTo852 = MakeMap(kOldBack, kCp852Back);

// The first occurrence wins: the old code page's Í (0xA1) is also its í.
static_assert(kOldTo852[0xA1] == 0xA1);
static_assert(kFoldBox[0xC9] == 0xDA && kFoldBox[0xCD] == 0xC4);

char Apply(const ByteMap& map, char c) {
  return static_cast<char>(map[static_cast<unsigned char>(c)]);
}

std::string ApplyAll(const ByteMap& map, std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Apply(map, c);
  return out;
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

char OldTo852Char(char c) { return Apply(kOldTo852, c); }
std::string OldTo852(std::string_view s) { return ApplyAll(kOldTo852, s); }
char Cp852ToOldChar(char c) { return Apply(kCp852ToOld, c); }
std::string Cp852ToOld(std::string_view s) { return ApplyAll(kCp852ToOld, s); }
char OldTo437Char(char c) { return Apply(kOldTo437, c); }
std::string OldTo437(std::string_view s) { return ApplyAll(kOldTo437, s); }
char FoldBoxChar(char c) { return Apply(kFoldBox, c); }
std::string FoldBoxChars(std::string_view s) { return ApplyAll(kFoldBox, s); }
std::string AnsiTo852(std::string_view s) { return ApplyAll(kAnsiTo852, s); }
std::string Cp852ToAnsi(std::string_view s) { return ApplyAll(kCp852ToAnsi, s); }

std::string OldToAnsi(std::string_view s) {
  return ApplyAll(kOldToAnsi, ApplyAll(kFoldBox, s));
}

std::string AnsiToOld(std::string_view s) { return ApplyAll(kAnsiToOld, s); }

std::string MixedToOld(std::string_view s) {
  return ApplyAll(kCp852ToOld, ApplyAll(kAnsiToOld, s));
}

std::string Cp852LettersToOld(std::string_view s) { return ApplyAll(kCp852LettersToOld, s); }
std::string OldLettersTo852(std::string_view s) { return ApplyAll(kOldLettersTo852, s); }

char UpCaseFor(char c, std::string_view choice) {
  // The tables hold only bytes above 127, so the ASCII rule and the table
  // never meet on one byte and may both be applied.
  if (choice == "1") return AsciiUpper(Apply(kUpOld, c));
  if (choice == "2") return AsciiUpper(Apply(kUp852, c));
  return AsciiUpper(c);
}

std::string UpCaseTextFor(std::string_view s, std::string_view choice) {
  std::string out(s);
  for (char& c : out) c = UpCaseFor(c, choice);
  return out;
}

std::string HtmlText(std::string_view s) {
  std::string t = Cp852ToAnsi(s.substr(0, kMaxText));
  // Replaces every occurrence of ch (but not the "&" of an existing numeric
  // entity) by its entity, or by a blank once the text is too long to grow.
  auto escape = [&t](char ch, const char* entity) {
    std::size_t pos = t.find(ch);
    while (pos != std::string::npos) {
      const bool isEntity = ch == '&' && pos + 4 < t.size() && t[pos + 1] == '#' &&
                            t[pos + 2] >= '0' && t[pos + 2] <= '9' && t[pos + 3] >= '0' &&
                            t[pos + 3] <= '9' && t[pos + 4] == ';';
      std::size_t next = pos + 1;
      if (!isEntity) {
        if (t.size() >= 252) {
          t[pos] = ' ';
        } else {
          t.replace(pos, 1, entity);
          next = pos + 5;
        }
      }
      pos = t.find(ch, next);
    }
  };
  escape('&', "&#38;");
  escape('<', "&#60;");
  escape('>', "&#62;");
  return t;
}

}  // namespace text
