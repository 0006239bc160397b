#include "text/codepage.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/cp1250.h"
#include "platform/cp852.h"
#include "text/literal.h"

namespace text {
namespace {

using namespace text::literals;

// Code page 437 as Python's codec has it (scripts/gen_text_cp437.py).
constexpr char32_t kCp437ToUnicode[256] = {
#include "text/cp437_table.inc"
};

char B(int b) { return static_cast<char>(b); }
unsigned char U(char c) { return static_cast<unsigned char>(c); }

// The 18 accented letters in table order, and their bytes in the old code
// page (which has no independent reference: the bytes come from the suite's
// own documents).
constexpr char32_t kLetters18[18] = {U'á', U'Á', U'é', U'É', U'í', U'Í', U'ó', U'Ó', U'ö',
                                     U'Ö', U'ő', U'Ő', U'ú', U'Ú', U'ü', U'Ü', U'ű', U'Ű'};
constexpr int kOld18[18] = {0xA0, 0x8F, 0x82, 0x90, 0xA1, 0xA1, 0xA2, 0x95, 0x94,
                            0x99, 0x93, 0xA7, 0xA3, 0x97, 0x81, 0x9A, 0x96, 0x98};

TEST(CodePageTables, OldTo852GivesTheCodePage852Letter) {
  for (int i = 0; i < 18; ++i) {
    const char32_t got = platform::kCp852ToUnicode[U(OldTo852Char(B(kOld18[i])))];
    // The old code page's Í shares 0xA1 with í; the first occurrence (í) wins.
    const char32_t want = kLetters18[i] == U'Í' ? U'í' : kLetters18[i];
    EXPECT_EQ(got, want) << "position " << i + 1;
  }
}

TEST(CodePageTables, Cp852ToOldInvertsOldTo852) {
  for (int i = 0; i < 18; ++i) {
    const int cp852 = platform::UnicodeToCp852(kLetters18[i]);
    ASSERT_GE(cp852, 0);
    EXPECT_EQ(U(Cp852ToOldChar(B(cp852))), kOld18[i]) << "position " << i + 1;
  }
}

TEST(CodePageTables, Cp437StandInsAreTheLetterOrItsLookAlike) {
  // Where code page 437 holds the letter, the stand-in is that letter;
  // otherwise the listed look-alike (Á as Å, the others without their accent
  // or with the diaeresis instead of the double acute).
  const std::u32string standIns = U"áÅéÉííóóöÖöÖúúüÜüÜ";
  for (int i = 0; i < 18; ++i) {
    const char32_t got = kCp437ToUnicode[U(OldTo437Char(B(kOld18[i])))];
    bool in437 = false;
    for (char32_t c : kCp437ToUnicode) in437 = in437 || c == kLetters18[i];
    if (in437) {
      EXPECT_EQ(got, kLetters18[i]) << "position " << i + 1;
    }
    EXPECT_EQ(got, standIns[i]) << "position " << i + 1;
  }
}

TEST(CodePageTables, AnsiAnd852AgreeOnTheTwentyEightLetters) {
  const std::u32string letters = U"aáAÁeéEÉiíIÍoóOÓöÖőŐuúUÚüÜűŰ";
  for (char32_t letter : letters) {
    const int ansi = platform::UnicodeToCp1250(letter);
    const int oem = platform::UnicodeToCp852(letter);
    ASSERT_GE(ansi, 0);
    ASSERT_GE(oem, 0);
    EXPECT_EQ(AnsiTo852(std::string(1, B(ansi))), std::string(1, B(oem)));
    EXPECT_EQ(Cp852ToAnsi(std::string(1, B(oem))), std::string(1, B(ansi)));
  }
}

TEST(CodePageTables, UpCaseTablesOfCodePage852MatchItsLetters) {
  const std::u32string small = U"áéíóöőúüű";
  const std::u32string capital = U"ÁÉÍÓÖŐÚÜŰ";
  for (std::size_t i = 0; i < small.size(); ++i) {
    const char s = B(platform::UnicodeToCp852(small[i]));
    EXPECT_EQ(UpCaseFor(s, "2"), B(platform::UnicodeToCp852(capital[i]))) << i;
  }
}

// Arms (up, down, left, right) of a box character, read off the Unicode
// layout of the box-drawing block.
struct Arms {
  bool up, down, left, right;
  bool operator==(const Arms&) const = default;
};

bool IsDoubleBox(char32_t c) { return c >= 0x2550 && c <= 0x256C; }

Arms ArmsOf(char32_t c) {
  switch (c) {
    case 0x2500: case 0x2550: return {false, false, true, true};
    case 0x2502: case 0x2551: return {true, true, false, false};
    case 0x250C: return {false, true, false, true};
    case 0x2510: return {false, true, true, false};
    case 0x2514: return {true, false, false, true};
    case 0x2518: return {true, false, true, false};
    case 0x251C: return {true, true, false, true};
    case 0x2524: return {true, true, true, false};
    case 0x252C: return {false, true, true, true};
    case 0x2534: return {true, false, true, true};
    case 0x253C: return {true, true, true, true};
    default: break;
  }
  // U+2552..U+256C come in threes with the same arms.
  static const Arms kThrees[9] = {
      {false, true, false, true}, {false, true, true, false}, {true, false, false, true},
      {true, false, true, false}, {true, true, false, true},  {true, true, true, false},
      {false, true, true, true},  {true, false, true, true},  {true, true, true, true}};
  if (c >= 0x2552 && c <= 0x256C) return kThrees[(c - 0x2552) / 3];
  ADD_FAILURE() << "not a box character: " << static_cast<unsigned>(c);
  return {};
}

TEST(CodePageTables, FoldBoxKeepsTheArmsWithSingleLines) {
  int folded = 0;
  for (int b = 0; b < 256; ++b) {
    const char32_t from = kCp437ToUnicode[b];
    if (!IsDoubleBox(from)) {
      EXPECT_EQ(U(FoldBoxChar(B(b))), b) << b;
      continue;
    }
    if (b == 0xB5) {
      // ╡ is the one double box character left out of the fold: 0xB5 is the
      // Á of code page 852 text the fold may be applied to.
      EXPECT_EQ(FoldBoxChar(B(b)), B(b));
      continue;
    }
    const char32_t to = kCp437ToUnicode[U(FoldBoxChar(B(b)))];
    EXPECT_FALSE(IsDoubleBox(to)) << std::hex << b;
    EXPECT_TRUE(ArmsOf(from) == ArmsOf(to)) << std::hex << b;
    ++folded;
  }
  EXPECT_EQ(folded, 28);
}

TEST(CodePageConversions, Examples) {
  struct Case {
    const char* name;
    std::string got, want;
  };
  const std::string ansiArvizturo = "\xC1\x72\x76\xED\x7A\x74\xFB\x72\xF5";
  const Case cases[] = {
      {"852 to ANSI", Cp852ToAnsi("Árvíztűrő"_cp), ansiArvizturo},
      {"ANSI to 852", AnsiTo852(ansiArvizturo), "Árvíztűrő"_cp},
      {"first occurrence wins", OldTo852("\xA1"), "\xA1"},
      {"frame row", FoldBoxChars("╔═══╗"_cp), "┌───┐"_cp},
      {"frame keeps other bytes", FoldBoxChars(std::string("\0a\xC9", 3)), std::string("\0a\xDA", 3)},
      {"old to 437", OldTo437("\x93\xA7\x96\x98"), "\x94\x99\x81\x9A"},
      {"852 accents to old", Cp852LettersToOld("őűÁÍÓŐÚŰé"_cp), "\x93\x96\x8F\xA1\xA2\x93\xA3\x96\x82"},
      {"old accents to 852", OldLettersTo852("\x93\x96\x8F\xA7"), "\x8B\xFB\xB5\xA7"},
      // Box characters are folded before the letters are converted.
      {"old to ANSI", OldToAnsi("\x8F\x95\xBA\xCD"), "\xC1\xD3\xB3\xC4"},
      {"ANSI to old", AnsiToOld("\xC1\xD3\xF5\xDB"), "\x8F\x95\x93\x98"},
      // ANSI letters first (Ő D5 -> A7), then code page 852 letters (Ő 8A ->
      // A7). E9 is é in ANSI and Ú in code page 852: the ANSI step takes it.
      {"mixed to old", MixedToOld("\xD5\x8A\xE9\xFB"), "\xA7\xA7\x82\x96"},
      {"empty", Cp852ToAnsi(""), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
}

TEST(CodePageConversions, UpCaseForByChoice) {
  struct Case {
    std::string in;
    const char* choice;
    std::string want;
  };
  const Case cases[] = {
      {"ő"_cp, "2", "Ő"_cp},
      {"\x93", "1", "\x93"},  // the old code page has no capital ő
      {"\xA0\x82\x94\x81", "1", "\x8F\x90\x99\x9A"},
      {"x", "3", "X"},
      {"x", "1", "X"},
      {"árvíztűrő"_cp, "2", "ÁRVÍZTŰRŐ"_cp},
      {"árvíztűrő"_cp, "", "áRVíZTűRő"_cp},  // no table: ASCII only
      {"é1z"_cp, "21", "\x82" "1Z"},             // only "1" and "2" choose a table
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpCaseTextFor(c.in, c.choice), c.want) << c.choice;
    if (c.in.size() == 1) {
      EXPECT_EQ(UpCaseFor(c.in[0], c.choice), c.want[0]);
    }
  }
}

TEST(HtmlText, EscapesOutsideExistingEntities) {
  struct Case {
    std::string in, want;
  };
  const Case cases[] = {
      {"a<b & c", "a&#60;b &#38; c"},
      {"&#38;", "&#38;"},
      {"&#38; & <>", "&#38; &#38; &#60;&#62;"},
      {"&#3;", "&#38;#3;"},      // one digit is no entity
      {"&#38", "&#38;#38"},      // no ";"
      {"x&", "x&#38;"},
      {"&#", "&#38;#"},
      {"Ő<ű"_cp, "\xD5&#60;\xFB"},  // and the letters go to ANSI
      {"", ""},
      {"plain", "plain"},
  };
  for (const auto& c : cases) EXPECT_EQ(HtmlText(c.in), c.want) << c.in;
}

TEST(HtmlText, StaysWithinTheCapacity) {
  // 250 characters + "<": grows to 255.
  EXPECT_EQ(HtmlText(std::string(250, 'a') + "<"), std::string(250, 'a') + "&#60;");
  // Growing stops at 252 characters: the rest become blanks.
  const std::string many(100, '<');
  const std::string got = HtmlText(many);
  EXPECT_LE(got.size(), 255u);
  EXPECT_EQ(got.substr(0, 5), "&#60;");
  EXPECT_EQ(got.back(), ' ');
  // A text of 252 or more characters only gets blanks.
  EXPECT_EQ(HtmlText(std::string(252, 'x') + "&<>"), std::string(252, 'x') + "   ");
  // Longer input is a counted string: its first 255 characters count.
  EXPECT_EQ(HtmlText(std::string(300, 'y')), std::string(255, 'y'));
}

}  // namespace
}  // namespace text
