#include "text/strings.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/cp1250.h"
#include "platform/cp852.h"
#include "text/literal.h"

namespace text {
namespace {

using namespace text::literals;

// Every small letter code page 852 holds with its capital, written out from
// the alphabets of the languages the code page serves (not derived from the
// tables under test).
const char* const kSmall = "áâăäąćçčďđéęëěíîĺľłńňóôőöŕřśşšťţúůűüýźżž";
const char* const kCapital = "ÁÂĂÄĄĆÇČĎĐÉĘËĚÍÎĹĽŁŃŇÓÔŐÖŔŘŚŞŠŤŢÚŮŰÜÝŹŻŽ";

TEST(OemCase, HungarianSentence) {
  EXPECT_EQ(UpperOem("árvíztűrő tükörfúrógép 12,5% <ok>"_cp),
            "ÁRVÍZTŰRŐ TÜKÖRFÚRÓGÉP 12,5% <OK>"_cp);
  EXPECT_EQ(LowerOem("ÁRVÍZTŰRŐ TÜKÖRFÚRÓGÉP"_cp), "árvíztűrő tükörfúrógép"_cp);
}

TEST(OemCase, EveryLetterOfTheCodePage) {
  const std::string small = platform::Utf8ToCp852(kSmall);
  const std::string capital = platform::Utf8ToCp852(kCapital);
  ASSERT_EQ(small.size(), 40u);
  ASSERT_EQ(capital.size(), 40u);
  EXPECT_EQ(UpperOem(small), capital);
  EXPECT_EQ(LowerOem(capital), small);
  EXPECT_EQ(UpperOem(capital), capital);
  EXPECT_EQ(LowerOem(small), small);
}

TEST(OemCase, NonLettersAndZeroBytesStay) {
  // Box characters, shades and ß have no case (and no ANSI form): unchanged.
  const std::string signs = "╔═╗║░▓█ß§×¤0123"_cp;
  EXPECT_EQ(UpperOem(signs), signs);
  EXPECT_EQ(LowerOem(signs), signs);
  // A 0 byte (the line separator of the toolkit) does not stop the conversion.
  EXPECT_EQ(UpperOem(std::string("a\0\x8B\0", 4)), std::string("A\0\x8A\0", 4));
  EXPECT_EQ(UpperOem(""), "");
}

TEST(OemCase, CharHelpersOnlyTouchTheirLetterSets) {
  struct Case {
    char in, up, low;
  };
  const Case cases[] = {
      {'a', 'A', 'a'},
      {'Z', 'Z', 'z'},
      {'\x8B', '\x8A', '\x8B'},  // ő
      {'\x8A', '\x8A', '\x8B'},  // Ő
      {'\xA0', '\xB5', '\xA0'},  // á
      {'\xB5', '\xB5', '\xA0'},  // Á
      {'\x93', '\xE2', '\x93'},  // ô: in the small set (ő of the old page)
      {'\x96', '\x95', '\x96'},  // ľ: in the small set (ű of the old page)
      {'\x8F', '\x8F', '\x86'},  // Ć: in the capital set (Á of the old page)
      {'\xF5', '\xF5', '\xF5'},  // §: in the small set, but no letter
      {'\x84', '\x84', '\x84'},  // ä: a letter, but outside the sets
      {'\x8E', '\x8E', '\x8E'},  // Ä: likewise
      {'1', '1', '1'},
      {'\0', '\0', '\0'},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpCaseChar(c.in), c.up) << static_cast<int>(static_cast<unsigned char>(c.in));
    EXPECT_EQ(LowCaseChar(c.in), c.low) << static_cast<int>(static_cast<unsigned char>(c.in));
  }
}

TEST(AnsiCase, EveryLetterOfCodePage1250) {
  const std::string small = platform::Utf8ToCp1250(kSmall);
  const std::string capital = platform::Utf8ToCp1250(kCapital);
  ASSERT_EQ(small.size(), 40u);
  EXPECT_EQ(UpperAnsi(small), capital);
  EXPECT_EQ(LowerAnsi(capital), small);
  // Letters only code page 1250 has (ź ś š ť ž ľ ş ż ł ą as 1250 bytes) are
  // covered above; signs, µ and ß keep their byte.
  const std::string signs = platform::Utf8ToCp1250("€„…µß©°12");
  EXPECT_EQ(UpperAnsi(signs), signs);
  EXPECT_EQ(LowerAnsi(signs), signs);
  EXPECT_EQ(UpperAnsi("abc XYZ"), "ABC XYZ");
}

TEST(AnsiOem, ConversionsBetweenTheCodePages) {
  const std::string ansi = platform::Utf8ToCp1250("Árvíztűrő tükörfúrógép");
  EXPECT_EQ(OemFromAnsi(ansi), "Árvíztűrő tükörfúrógép"_cp);
  EXPECT_EQ(AnsiFromOem("Árvíztűrő tükörfúrógép"_cp), ansi);
  // Characters the other code page lacks.
  EXPECT_EQ(OemFromAnsi(platform::Utf8ToCp1250("„a” – b€")), "\"a\" - b?");
  EXPECT_EQ(AnsiFromOem("┌─┐│╔═╗║░"_cp), "+-+|+=+|?");
  // Every character both code pages hold survives the round trip.
  for (int b = 0; b < 256; ++b) {
    const char32_t u = platform::kCp852ToUnicode[b];
    if (platform::UnicodeToCp1250(u) < 0) continue;
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(OemFromAnsi(AnsiFromOem(one)), one) << b;
  }
}

TEST(TextLayout, CentringAndPadding) {
  struct Case {
    const char* name;
    std::string got, want;
  };
  const Case cases[] = {
      {"centred", Centred("ab", 5), " ab  "},  // the smaller half in front
      {"centred no negative padding", Centred("abcdef", 4), "abcdef"},
      {"centred trailing blanks go", Centred("ab   ", 6), "  ab  "},
      {"centred empty", Centred("", 3), "   "},
      {"centre fill", CentreFill("ab", '*', 6), "**ab**"},
      {"centre fill odd", CentreFill("ab", '-', 5), "-ab--"},
      {"centre fill too long", CentreFill("abcdef", '*', 4), "abcdef"},
      {"centre fill equal", CentreFill("abcd", '*', 4), "abcd"},
      {"centre fill zero width", CentreFill("ab", '*', 0), "ab"},
      {"replicate", Replicate('=', 3), "==="},
      {"replicate negative", Replicate('=', -2), ""},
      {"replicate capped", Replicate('=', 1000), std::string(255, '=')},
      {"pad right", PadRight("ab", 4, '.'), "ab.."},
      {"pad right cuts", PadRight("abcdef", 3, '.'), "abc"},
      {"pad right zero", PadRight("ab", 0, '.'), ""},
      {"pad right capped", PadRight("", 300, ' '), std::string(255, ' ')},
      {"pad left", PadLeft("ab  ", 4, '0'), "00ab"},
      {"pad left cuts keeping the start", PadLeft("abcdef", 4, '0'), "abcd"},
      {"pad left negative", PadLeft("ab", -1, '0'), ""},
      {"trim", Trim("  a b  "), "a b"},
      {"trim only blanks", Trim(std::string("\0 a \0", 5)), std::string("\0 a \0", 5)},
      {"trim all blanks", Trim("    "), ""},
      {"trim right", TrimRight("  a  "), "  a"},
      {"quoted", Quoted("ab"), "\"ab\""},
      {"quoted empty", Quoted(""), "\"\""},
      {"quoted capped", Quoted(std::string(255, 'x')), "\"" + std::string(254, 'x')},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
}

TEST(TextLayout, WideCentringIsCutToTheCapacity) {
  const std::string wide = Centred("x", 1000);
  EXPECT_EQ(wide.size(), 255u);
  EXPECT_EQ(wide, std::string(255, ' '));  // the x would stand at 500
  const std::string fill = CentreFill("x", '*', 1000);
  ASSERT_EQ(fill.size(), 255u);
  EXPECT_EQ(fill[127], 'x');  // centred in the 255 that fit
}

TEST(TextLayout, TrimByKind) {
  struct Case {
    std::string in;
    char kind;
    std::string want;
  };
  const Case cases[] = {
      {"12.500", 'N', "12.5"},
      {"100", 'N', "1"},  // a digit code is padded with zeros: all of them go
      {std::string("120\0\0", 5), 'N', "12"},
      {"abc   ", 'C', "abc"},
      {std::string("abc \0 \0", 7), 'C', "abc"},
      {"20240101  ", 'D', "20240101"},
      {"  ", 'C', ""},
      {"0,00", 'S', ""},
      {"-0", 'S', ""},
      {"0012", 'S', "0012"},
      {"abc", 'S', ""},  // no number in it: 0
      {"abc  ", 'B', "abc  "},
      {"", 'N', ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimByKind(c.in, c.kind), c.want) << c.in << " " << c.kind;
}

TEST(TextHeapString, CopyAndDispose) {
  HeapString h = StringToHeap("Árvíz"_cp);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(*h, "Árvíz"_cp);
  DisposeString(h);
  EXPECT_EQ(h, nullptr);
  DisposeString(h);  // already none: nothing happens
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(StringToHeap(std::string(300, 'a'))->size(), 255u);
  EXPECT_EQ(*StringToHeap(""), "");
}

TEST(TextNumbers, IntValue) {
  struct Case {
    std::string in;
    bool ok;
    int32_t number;  // the value, or the position of the first invalid character
  };
  const Case cases[] = {
      {"123", true, 123},
      {"  -42  ", true, -42},
      {"+7", true, 7},
      {"007", true, 7},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 10},
      {"-2147483649", false, 11},
      {"99999999999999999999", false, 10},
      {"12a", false, 3},
      {"1 2", false, 2},
      {"", false, 1},
      {"   ", false, 1},
      {"-", false, 2},
      {"+-1", false, 2},
      {"1.5", false, 2},
      {std::string("1\0", 2), false, 2},
  };
  for (const auto& c : cases) {
    int32_t n = -999;
    EXPECT_EQ(IntValue(c.in, n), c.ok) << c.in;
    EXPECT_EQ(n, c.number) << c.in;
    EXPECT_EQ(IntOrZero(c.in), c.ok ? c.number : 0) << c.in;
  }
  EXPECT_EQ(IntText(-1234), "-1234");
  EXPECT_EQ(IntText(0), "0");
  EXPECT_EQ(MaxInteger(), 2147483647);
}

TEST(TextNumbers, FromZeroTerminated) {
  EXPECT_EQ(FromZeroTerminated("abc"), "abc");
  EXPECT_EQ(FromZeroTerminated(static_cast<const char*>(nullptr)), "");
  const std::string noZero(300, 'q');
  EXPECT_EQ(FromZeroTerminated(noZero.c_str()), std::string(255, 'q'));
  EXPECT_EQ(FromZeroTerminated(std::string_view(noZero)), std::string(255, 'q'));
  EXPECT_EQ(FromZeroTerminated(std::string_view("ab\0cd", 5)), "ab");
  EXPECT_EQ(FromZeroTerminated(std::string_view()), "");
}

TEST(TextFieldsAndWords, Fields) {
  struct Case {
    std::string in;
    int n;
    std::string field;
  };
  const Case cases[] = {
      {"a;b;;c", 1, "a"}, {"a;b;;c", 2, "b"}, {"a;b;;c", 3, ""},  {"a;b;;c", 4, "c"},
      {"a;b;;c", 5, ""},  {"a;b;;c", 0, ""},  {"a;b;;c", -1, ""}, {";", 2, ""},
      {"abc", 1, "abc"},  {"", 1, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FieldOf(c.in, ';', c.n), c.field) << c.in << " " << c.n;
  EXPECT_EQ(FieldCount("a;b;;c", ';'), 4);
  EXPECT_EQ(FieldCount("", ';'), 0);
  EXPECT_EQ(FieldCount(";", ';'), 2);
  EXPECT_EQ(FieldCount("abc", ';'), 1);
  // The 0 byte can be a separator like any other.
  EXPECT_EQ(FieldOf(std::string("x\0y", 3), '\0', 2), "y");
}

TEST(TextFieldsAndWords, Words) {
  struct Case {
    std::string in;
    int n;
    std::string word;
  };
  const Case cases[] = {
      {"  RrRögzítés   TtTörlés "_cp, 1, "RrRögzítés"_cp},
      {"  RrRögzítés   TtTörlés "_cp, 2, "TtTörlés"_cp},
      {"  RrRögzítés   TtTörlés "_cp, 3, ""},
      {"one", 1, "one"},
      {"one", 0, ""},
      {"", 1, ""},
      {"     ", 1, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(WordOf(c.in, c.n), c.word) << c.in << " " << c.n;
  EXPECT_EQ(WordCount("  a  bb c "), 3);
  EXPECT_EQ(WordCount(""), 0);
  EXPECT_EQ(WordCount("   "), 0);
  EXPECT_EQ(WordCount(std::string("a\0b c", 5)), 2);  // only blanks separate
}

TEST(TextNames, FileNameChars) {
  EXPECT_EQ(FileNameChars("\x8F\x93\x95\xB3\xB4\xBF\xC0\xC1\xC2\xC3\xC4\xC5\xD9\xDA"),
            "\xB5\x8B\xFB||\x9E\x9E--|-+\x9E\x9E");
  EXPECT_EQ(FileNameChars("abc.txt"), "abc.txt");
}

int Ansi(const char* utf8a, const char* utf8b) {
  return CompareNames(platform::Utf8ToCp1250(utf8a), platform::Utf8ToCp1250(utf8b));
}

TEST(TextNames, CompareNamesInHungarianOrder) {
  struct Case {
    const char* a;
    const char* b;
    int want;
  };
  const Case cases[] = {
      {"abc", "abc", 0},
      {"ab", "abc", -1},
      {"alma", "Alma", -1},   // case is the last difference
      {"Alma", "almb", -1},   // before it: the letters
      {"Ébert", "Edit", -1},  // the accent does not move é after d
      {"o", "ó", -1},
      {"ó", "ö", -1},         // ö is a letter of its own
      {"ö", "ő", -1},
      {"őz", "pa", -1},
      {"Öt", "Oz", 1},
      {"u", "ü", -1},
      {"űr", "v", -1},
      {"1", "a", -1},         // digits before letters
      {"_", "0", -1},         // signs before digits
      {"file10", "file9", -1},
      {"ÉRTÉK", "érték", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Ansi(c.a, c.b), c.want) << c.a << " vs " << c.b;
    EXPECT_EQ(Ansi(c.b, c.a), -c.want) << c.b << " vs " << c.a;
  }
  EXPECT_EQ(CompareNamesNoCase(platform::Utf8ToCp1250("ÉRTÉK"), platform::Utf8ToCp1250("érték")), 0);
  EXPECT_EQ(CompareNamesNoCase("Abc", "abd"), -1);
  // FileNameChars comes first, byte by byte: the single-line box characters
  // of code page 852 equal their ASCII stand-ins. It is applied blindly, so
  // the ANSI letters on those bytes (Á is 0xC1) turn into them as well.
  EXPECT_EQ(CompareNames("a\xC4" "b", "a-b"), 0);
  EXPECT_EQ(Ansi("Ábel", "-bel"), 0);
}

TEST(TextNames, HungarianToUtf8) {
  EXPECT_EQ(HungarianToUtf8("Árvíztűrő tükörfúrógép"_cp), "Árvíztűrő tükörfúrógép");
  EXPECT_EQ(HungarianToUtf8("ÁÉÍÓÖŐÚÜŰáéíóöőúüű"_cp), "ÁÉÍÓÖŐÚÜŰáéíóöőúüű");
  // Other bytes are copied as they are.
  EXPECT_EQ(HungarianToUtf8(std::string("\xC9\x86\0", 3)), std::string("\xC9\x86\0", 3));
  // At most 255 bytes, never half a letter: 127 letters of 2 bytes.
  const std::string long852(200, '\xA0');
  std::string want;
  for (int i = 0; i < 127; ++i) want += "á";
  EXPECT_EQ(HungarianToUtf8(long852), want);
  EXPECT_EQ(HungarianToUtf8("a" + long852).size(), 255u);
}

}  // namespace
}  // namespace text
