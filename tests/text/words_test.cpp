#include "text/words.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "text/literal.h"

namespace text {
namespace {

using namespace text::literals;

TEST(NumberInWords, Table) {
  struct Case {
    long double x;
    std::string want;
  };
  const Case cases[] = {
      {0, "Nulla"},
      {1, "Egy"},
      {10, "Tíz"_cp},
      {11, "Tizenegy"},
      {12, "Tizenkettö"_cp},
      {20, "Húsz"_cp},
      {21, "Huszonegy"},
      {30, "Harminc"},
      {99, "Kilencvenkilenc"},
      {100, "Száz"_cp},
      {101, "Százegy"_cp},
      {110, "Száztíz"_cp},
      {256, "Kettöszázötvenhat"_cp},
      {1000, "Egyezer"},
      {1001, "Egyezeregy"},  // no hyphen up to 2000
      {1500, "Egyezerötszáz"_cp},
      {2000, "Kettöezer"_cp},
      {2001, "Kettöezer-egy"_cp},
      {2500, "Kettöezer-ötszáz"_cp},
      {10000, "Tízezer"_cp},
      {1000000, "Egymillió"_cp},
      {1000001, "Egymillió-egy"_cp},
      {1001000, "Egymillióegyezer"_cp},
      {2000000, "Kettömillió"_cp},
      {1234567, "Egymilliókettöszázharmincnégyezer-ötszázhatvanhét"_cp},
      {1000000000, "Egymilliárd"_cp},
      {999999999999.0L,
       "Kilencszázkilencvenkilencmilliárdkilencszázkilencvenkilencmillió"
       "kilencszázkilencvenkilencezer-kilencszázkilencvenkilenc"_cp},
      {12.99, "Tizenkettö"_cp},  // the integer part only
      {-5, "MINUSZ öt"_cp},      // ö is no ASCII letter: it stays small
      {-7, "MINUSZ Hét"_cp},
      {-2001, "MINUSZ Kettöezer-egy"_cp},
      {-0.5, "MINUSZ Nulla"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NumberInWords(c.x), c.want) << static_cast<double>(c.x);
}

TEST(AmountInWords, Table) {
  struct Case {
    long double x;
    std::string want;
  };
  const Case cases[] = {
      {0, "Nulla Ft"},
      {12.5, "Tizenkettö Ftötven Fillér"_cp},
      {0.5, "Nulla Ftötven Fillér"_cp},
      {2001.05, "Kettöezer-egy Ftöt Fillér"_cp},
      {1234.56, "Egyezerkettöszázharmincnégy Ftötvenhat Fillér"_cp},
      {-1234.56, "MINUSZ Egyezerkettöszázharmincnégy Ftötvenhat Fillér"_cp},
      {12.001, "Tizenkettö Ftnulla Fillér"_cp},   // rounds to 00
      {12.998L, "Tizenkettö Ftszáz Fillér"_cp},   // rounds to 100
      {3, "Három Ft"_cp},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AmountInWords(c.x), c.want) << static_cast<double>(c.x);
}

TEST(AmountInWords, BeyondTheDesignStillGivesWords) {
  // 10^12 and more: no group word beyond "milliárd", but no crash either.
  EXPECT_FALSE(NumberInWords(1e12L).empty());
  EXPECT_FALSE(NumberInWords(1e30L).empty());
  EXPECT_FALSE(AmountInWords(-1e300L).empty());
  EXPECT_FALSE(NumberInWords(std::numeric_limits<long double>::infinity()).empty());
  EXPECT_FALSE(AmountInWords(std::numeric_limits<long double>::quiet_NaN()).empty());
  EXPECT_FALSE(NumberInWords(std::numeric_limits<long double>::max()).empty());
}

}  // namespace
}  // namespace text
