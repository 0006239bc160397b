#include "text/picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace text {
namespace {

struct FormatCase {
  const char* picture;
  long double value;
  std::string want;
};

TEST(FormatNumber, Pictures) {
  const FormatCase cases[] = {
      {"###", 5, "  5"},
      {"###", 0, "  0"},
      {"###", 12345, "12345"},  // does not fit: the whole number
      {"###.###.###.", 1234, "      1.234"},
      {"###.###.###.", 1234567, "  1.234.567"},
      {"###.###.###.", 123456789, "123.456.789"},
      {"###.###.###.", -1234, "     -1.234"},
      {"###.###.###.", 1234567890, " 1234567890"},  // width of the picture without its last "."
      {"###,##", 12.5, " 12,50"},
      {"###,##", -2.5, " -2,50"},  // the sign on the last leading blank
      {"###,##", 0.5, "  0,50"},
      {"###,##", 0, "  0,00"},
      {"###,##", 999.994, "999,99"},
      {"###,##", 999.995, "  1000"},  // rounds up out of the picture: whole number
      {"#.###,##", 1234.5, "1.234,50"},
      {"#.###,##", 34.5, "   34,50"},
      {"+##", 7, " +7"},
      {"+##", -7, " -7"},
      {"+##", 0, " +0"},
      {"-##", 7, "  7"},
      {"-##", -7, " -7"},
      {"##-", -7, " 7-"},  // a sign position after the digits stays there
      {"##+", 7, " 7+"},
      {"-@@@", -5, "-005"},
      {"@@", 5, "05"},
      {"@@", 100, "100"},
      {"@@@@@@@@@@", 2147483646, "2147483646"},
      {"@@@@@@@@@@@@", 0, "000000000000"},
      {"###", -5, " -5"},
      {"###", -12, "-12"},
      {"###", -123, "-123"},  // no room for the sign: the whole number
      {"Ft ###", 42, "Ft  42"},
      {"#:##", 1.5, "1:50"},   // any separator can be the decimal point
      {"##.##.", 1234, "12.34"},  // group marks stand where the picture has them
      {"##.##.", 34, "   34"},  // a group mark after a blank is a blank
      {"", 5, ""},
      {"", -5, ""},
      {"abc", 5, "abc"},
      {"abc", -5, "-bc"},
      // The sign position keeps its place when the trailing separator before
      // it is dropped, also with other characters between them.
      {"###.+", 5, "  5+"},
      {"###.x+", 5, "  5x+"},
      {"###.x-", -5, "  5x-"},
      // A number that does not fit is right-aligned to the width the picture
      // has once its trailing separator (any of the three) is dropped.
      {"Ft ##.", 123, "  123"},
      {"Ft ##:", 123, "  123"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatNumber(c.picture, c.value), c.want) << c.picture << " " << static_cast<double>(c.value);
}

TEST(FormatNumber, RoundsHalfAwayFromZero) {
  const FormatCase cases[] = {
      {"###", 2.5, "  3"},    {"###", -2.5, " -3"},   {"###", 3.5, "  4"},
      {"###", 2.4999, "  2"}, {"#,#", 0.25, "0,3"},   {"##,#", -0.25, "-0,3"},
      {"#,#", -0.25, "  0"},  // the sign takes the only integer place: overflow
      {"#,##", 0.125, "0,13"}, {"#,##", 0.005, "0,01"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatNumber(c.picture, c.value), c.want) << c.picture << " " << static_cast<double>(c.value);
}

TEST(FormatNumber, LongPicturesAndOddValues) {
  const std::string wide(255, '#');
  EXPECT_EQ(FormatNumber(wide, 5), std::string(254, ' ') + "5");
  EXPECT_EQ(FormatNumber(wide + "###", 5).size(), 255u);
  // Values beyond any picture, and values that are no numbers, give a text
  // and nothing worse.
  EXPECT_FALSE(FormatNumber("###", 1e300L).empty());
  EXPECT_FALSE(FormatNumber("###", std::numeric_limits<long double>::infinity()).empty());
  EXPECT_FALSE(FormatNumber("@@@", std::numeric_limits<long double>::quiet_NaN()).empty());
  EXPECT_EQ(FormatNumber("###", std::numeric_limits<long double>::max()).size(), 255u);
}

TEST(FormatText, FillsDigitPlaces) {
  EXPECT_EQ(FormatText("##-##", "1234"), "12-34");
  EXPECT_EQ(FormatText("##-##", "12"), "12-  ");
  EXPECT_EQ(FormatText("@@/@@", "abcdef"), "ab/cd");
  EXPECT_EQ(FormatText("", "abc"), "");
  EXPECT_EQ(FormatText("(###)", ""), "(   )");
}

TEST(NumberTexts, PlainAndFixed) {
  struct Case {
    std::string got, want;
  };
  const Case cases[] = {
      {NumberText(2.5), "2.5"},
      {NumberText(3.0), "3"},
      {NumberText(0.1234567), "0.12346"},
      {NumberText(-0.1234567), "-0.12346"},
      {NumberText(0.000004), "0"},
      {NumberText(0.000005), "0.00001"},
      {NumberText(-0.000004), "0"},  // no "-0"
      {NumberText(1234567.25), "1234567.25"},
      {NumberText(100), "100"},
      {NumberText(0), "0"},
      {FixedText(2.5, 0), "3"},
      {FixedText(-2.5, 0), "-3"},
      {FixedText(1.005L, 2), "1.01"},
      {FixedText(12.5, 3), "12.500"},
      {FixedText(-0.001, 2), "0.00"},
      {FixedText(1250, -2), "1300"},
      {FixedText(0, 0), "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
  EXPECT_LE(FixedText(1, 1000).size(), 255u);
}

TEST(TextRounding, HalfAwayFromZero) {
  struct Case {
    long double x;
    int d;
    long double want;
  };
  const Case cases[] = {
      {0.5, 0, 1},     {-0.5, 0, -1},     {1.5, 0, 2},      {2.5, 0, 3},
      {-2.5, 0, -3},   {1.25, 1, 1.3L},   {-1.25, 1, -1.3L}, {1.24, 1, 1.2L},
      {1250, -2, 1300}, {-1249, -2, -1200}, {0, 5, 0},       {7, 0, 7},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(static_cast<double>(RoundTo(c.x, c.d)), static_cast<double>(c.want), 1e-12)
        << static_cast<double>(c.x) << " " << c.d;
    EXPECT_NEAR(RoundTo64(static_cast<double>(c.x), c.d), static_cast<double>(c.want), 1e-12);
  }
  EXPECT_FALSE(std::signbit(RoundTo(-0.1L, 0)));  // no negative zero
  EXPECT_EQ(ScaleByTen(1.5L, 3), 1500);
  EXPECT_EQ(ScaleByTen(1500, -3), 1.5L);
  EXPECT_EQ(ScaleByTen(7, 0), 7);
  // A huge exponent ends at infinity or 0 without looping through all of it.
  EXPECT_TRUE(std::isinf(ScaleByTen(1, 2147483647)));
  EXPECT_EQ(ScaleByTen(1, -2147483647 - 1), 0);
  EXPECT_EQ(RoundTo(3.7L, 2147483647), 3.7L);
}

TEST(TextToNumber, ReadsDecimalCommaAndSignsAnywhere) {
  struct Case {
    std::string in;
    long double want;
  };
  const Case cases[] = {
      {"-12,50", -12.5L},
      {"12-", -12},
      {"no digits", 0},
      {"", 0},
      {"  42", 42},
      {"+5", 5},
      {"Ft 1234,5", 1234.5L},
      {"1.234,5", 1.234L},  // the "," became a second point: the number ends there
      {"1:5", 1.5L},        // extended variant: ":" is a point too
      {"1e3", 1000},
      {"2E2", 200},
      {"2E-2", -200},       // a "-" anywhere is the sign, also in the exponent
      {"1e", 1},
      {".5", 0.5L},
      {"-.5", -0.5L},
      {"5.", 5},
      {"--5", 5},           // the first "-" is the sign, the rest reads -5
      {"+-3", -3},
      {"12abc", 12},
      {"0x10", 0},
      {"inf", 0},
      {"nan", 0},
      {"-", 0},
      {"1e99999", std::numeric_limits<long double>::infinity()},
      {"-1e99999", -std::numeric_limits<long double>::infinity()},
      {"1e+99999", std::numeric_limits<long double>::infinity()},
      {std::string("3\0" "7", 3), 3},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToNumber(c.in), c.want) << c.in;
  EXPECT_EQ(TextToNumber64("-12,50"), -12.5);
  EXPECT_EQ(TextToNumber64("1:5"), 1);  // only "," is a point here
  EXPECT_EQ(TextToNumber64("7-"), -7);
  // A mantissa of many digits is read in full.
  EXPECT_NEAR(static_cast<double>(TextToNumber("0." + std::string(300, '9'))), 1.0, 1e-15);
}

TEST(MakePicture, Layouts) {
  struct Case {
    bool groups;
    int width, decimals;
    bool sign;
    std::string want;
  };
  const Case cases[] = {
      {true, 11, 0, false, "###.###.###."},
      {false, 5, 0, false, "#####."},
      {false, 6, 2, false, "###,##"},
      {false, 6, 2, true, "-##,##"},
      {true, 10, 2, false, "###.###,##"},
      {true, 8, 0, true, "-###.###."},
      {true, 4, 0, false, "####."},
      {false, 3, 3, false, "###"},  // no room for decimals
      {false, 0, 0, false, "."},
      // A group mark needs a digit place before it: never on the first place.
      {true, 16, 0, false, "####.###.###.###."},
      {true, 20, 0, true, "-###.###.###.###.###."},  // not on the sign either
  };
  for (const auto& c : cases)
    EXPECT_EQ(MakePicture(c.groups, c.width, c.decimals, c.sign), c.want)
        << c.groups << " " << c.width << " " << c.decimals << " " << c.sign;
  // Very wide pictures stay inside themselves and inside the capacity.
  for (int w : {27, 28, 40, 100, 254, 255, 1000}) {
    const std::string p = MakePicture(true, w, 0, true);
    EXPECT_LE(p.size(), 255u) << w;
    EXPECT_EQ(p[0], '-') << w;
    EXPECT_NE(p[1], '.') << w;
  }
  EXPECT_EQ(FormatNumber(MakePicture(true, 11, 0, false), 1234567), "  1.234.567");
  EXPECT_EQ(FormatNumber(MakePicture(false, 6, 2, true), -3.25), " -3,25");
}

}  // namespace
}  // namespace text
