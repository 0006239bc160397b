#include "platform/cp852.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Cp852, HungarianLettersRoundTripThroughUtf8) {
  const std::string utf8 = "Árvíztűrő tükörfúrógép ŐŰ";
  const std::string cp = Utf8ToCp852(utf8);
  EXPECT_EQ(cp, "\xB5rv\xA1zt\xFBr\x8B t\x81k\x94rf\xA3r\xA2g\x82p \x8A\xEB");
  EXPECT_EQ(Cp852ToUtf8(cp), utf8);
}

TEST(Cp852, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(UnicodeToCp852(kCp852ToUnicode[b]), b) << b;
    // The glyph of 21 is the section sign, which code page 852 holds at 0xF5.
    const int expected = b == 0 ? 32 : b == 21 ? 0xF5 : b;
    EXPECT_EQ(GlyphToCp852(Cp852Glyph(static_cast<uint8_t>(b))), expected) << b;
  }
}

TEST(Cp852, DosGlyphsOfControlBytes) {
  EXPECT_EQ(Cp852Glyph(16), U'\u25BA');
  EXPECT_EQ(Cp852Glyph(17), U'\u25C4');
  EXPECT_EQ(Cp852Glyph(30), U'\u25B2');
  EXPECT_EQ(Cp852Glyph(31), U'\u25BC');
  EXPECT_EQ(Cp852Glyph(127), U'\u2302');
  EXPECT_EQ(Cp852Glyph(0), U' ');
}

TEST(Cp852, BadUtf8AndUnmappableAreDropped) {
  struct Case { std::string in, out; };
  const Case cases[] = {
      {"a\xC3", "a"},              // truncated
      {"\xC0\xAF" "b", "b"},       // overlong
      {"\xED\xA0\x80x", "x"},      // surrogate
      {"\xFF\xFE", ""},
      {"\xE2\x82\xAC!", "!"},      // euro sign: not in 852
      {std::string("\0z", 2), std::string("\0z", 2)},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToCp852(c.in), c.out);
}

}  // namespace
}  // namespace platform
