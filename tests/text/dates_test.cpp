#include "text/dates.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <string>

namespace text {
namespace {

namespace chr = std::chrono;

std::string Text8(const chr::year_month_day& d) {
  return ZeroPadded(static_cast<int>(d.year()), 4) +
         ZeroPadded(static_cast<unsigned>(d.month()), 2) +
         ZeroPadded(static_cast<unsigned>(d.day()), 2);
}

// Every day from 1600-01-01 to 2400-12-31 against the standard library's
// civil calendar: the day number, the day of the week, validity, and the
// way back through AddDays.
TEST(TextDates, EveryDayAgainstTheCivilCalendar) {
  const chr::sys_days origin = chr::year{1600} / 1 / 1;
  const chr::sys_days last = chr::year{2400} / 12 / 31;
  std::string previous;
  for (chr::sys_days day = origin; day <= last; day += chr::days{1}) {
    const std::string t = Text8(chr::year_month_day{day});
    const int number = static_cast<int>((day - origin).count());
    ASSERT_EQ(DayNumber(t), number) << t;
    ASSERT_TRUE(IsValidDate(t)) << t;
    ASSERT_EQ(DayOfWeek(t), static_cast<int>(chr::weekday{day}.c_encoding())) << t;
    ASSERT_EQ(AddDays("16000101", number), t);
    if (!previous.empty()) {
      ASSERT_EQ(AddDays(previous, 1), t);
      ASSERT_EQ(AddDays(t, -1), previous);
    }
    previous = t;
  }
}

TEST(TextDates, ValidityAgainstTheCivilCalendar) {
  for (int y = 1599; y <= 2401; ++y) {
    for (unsigned m = 0; m <= 13; ++m) {
      for (unsigned d = 0; d <= 32; ++d) {
        const std::string t = ZeroPadded(y, 4) + ZeroPadded(m, 2) + ZeroPadded(d, 2);
        const bool ok = y >= 1600 && chr::year_month_day{chr::year{y}, chr::month{m}, chr::day{d}}.ok();
        ASSERT_EQ(IsValidDate(t), ok) << t;
      }
    }
  }
}

TEST(TextDates, AddDaysRoundTripsOverLongSpans) {
  const char* starts[] = {"16000101", "16000229", "17000228", "19991231", "20000229", "24001231"};
  const int steps[] = {1, -1, 28, 365, 366, -366, 1461, 36524, -36524, 146097, -146097, 1000000};
  for (const char* s : starts) {
    for (int n : steps) {
      const std::string r = AddDays(s, n);
      if (DayNumber(s) + n < 0) {
        EXPECT_EQ(r, s);
        continue;
      }
      ASSERT_TRUE(IsValidDate(r)) << s << " " << n;
      EXPECT_EQ(DayNumber(r), DayNumber(s) + n) << s << " " << n;
    }
  }
}

TEST(TextDates, PartsAndPivot) {
  EXPECT_EQ(YearOf("350101"), 2035);
  EXPECT_EQ(YearOf("360101"), 1936);
  EXPECT_EQ(YearOf("0003"), 2000);
  EXPECT_EQ(YearOf("9912"), 1999);
  EXPECT_EQ(YearOf("1234567"), 0);
  EXPECT_EQ(YearOf("20240315"), 2024);
  EXPECT_EQ(MonthOf("240315"), 3);
  EXPECT_EQ(MonthOf("2403"), 3);
  EXPECT_EQ(MonthOf("20240315"), 3);
  EXPECT_EQ(MonthOf("12345"), 0);
  EXPECT_EQ(DayOf("240315"), 15);
  EXPECT_EQ(DayOf("20240315"), 15);
  EXPECT_EQ(DayOf("2403"), 1);
  EXPECT_EQ(CenturyOf("35"), "20");
  EXPECT_EQ(CenturyOf("36"), "19");
  EXPECT_EQ(CenturyOf(""), "20");
  EXPECT_EQ(DateTextLength("2024"), 4);
  EXPECT_EQ(DateTextLength("240315"), 6);
  EXPECT_EQ(DateTextLength("2024031"), 0);
  EXPECT_EQ(DateTextLength("2024-3-1"), 0);
  EXPECT_EQ(DateTextLength(""), 0);
  EXPECT_EQ(TextToInt("0812"), 812);
  EXPECT_EQ(TextToInt("x"), 0);
}

TEST(TextDates, Validity) {
  struct Case {
    const char* t;
    bool valid;
  };
  const Case cases[] = {
      {"20000229", true}, {"19000229", false}, {"20240431", false}, {"15991231", false},
      {"2402", true},     {"2413", false},     {"2400", false},     {"000229", true},
      {"010229", false},  {"360229", true},    {"20241301", false}, {"20240100", false},
      {"2024011 ", false}, {"", false},        {"abcdefgh", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidDate(c.t), c.valid) << c.t;
}

TEST(TextDates, DayNumbersAndDifferences) {
  EXPECT_EQ(DayNumber("16000101"), 0);
  EXPECT_EQ(DayNumber("16010101"), 366);
  EXPECT_EQ(DayNumber("15991231"), 0);
  EXPECT_EQ(DayNumber("2401"), DayNumber("20240101"));
  EXPECT_EQ(DayNumber("240101"), DayNumber("20240101"));
  EXPECT_EQ(DayNumber("abc"), 0);
  // Not checked first, but never out of the month table.
  EXPECT_EQ(DayNumber("20249901"), DayNumber("20241201") + 30 + 1);
  EXPECT_EQ(DayOfWeek("20000101"), 6);
  EXPECT_EQ(DayOfWeek("16000101"), 6);
  EXPECT_EQ(DayOfWeek("20240101"), 1);
  EXPECT_EQ(DayOfWeek("20240230"), 7);
  EXPECT_EQ(DaysBetween("20000301", "000228"), 2);
  EXPECT_EQ(DaysBetween("000228", "20000301"), -2);
  EXPECT_EQ(DaysBetween("2000", "20000301"), 0);
  EXPECT_EQ(DaysBetween("20240101", "2024010"), 0);
}

TEST(TextDates, AddDaysKeepsTheForm) {
  struct Case {
    const char* t;
    int n;
    const char* want;
  };
  const Case cases[] = {
      {"20240228", 1, "20240229"},
      {"20240228", 2, "20240301"},
      {"240228", 2, "240301"},
      {"2402", 30, "2403"},      // a month text: the month of that day
      {"20231231", 1, "20240101"},
      {"16000101", -1, "16000101"},  // before the origin: unchanged
      {"99991231", 1, "99991231"},   // past year 9999: unchanged
      {"20240101", INT_MAX, "20240101"},
      {"20240101", INT_MIN, "20240101"},
      {"2024011", 1, "2024011"},     // not a date text
      {"", 5, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(AddDays(c.t, c.n), c.want) << c.t << " " << c.n;
}

TEST(TextDates, MonthsYearsAndHelpers) {
  EXPECT_EQ(DaysInMonth("20240201"), 29);
  EXPECT_EQ(DaysInMonth("21000201"), 28);
  EXPECT_EQ(DaysInMonth("2404"), 30);
  EXPECT_EQ(DaysInMonth("200013"), 0);
  EXPECT_EQ(DaysInMonth("2000xx"), 0);
  EXPECT_EQ(DaysInYear("20000101"), 366);
  EXPECT_EQ(DaysInYear("19000101"), 365);
  EXPECT_EQ(DaysInYear("2000010"), 365);
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_EQ(MonthEnd("200002"), "20000229");
  EXPECT_EQ(MonthEnd("190002"), "19000228");
  EXPECT_EQ(MonthEnd("202404"), "20240430");
  EXPECT_EQ(MonthEnd("2412"), "241231");
  EXPECT_EQ(MonthEnd("200013"), "200013??");
  EXPECT_EQ(ExpandDate("000000"), "19800101");
  EXPECT_EQ(ExpandDate("240315"), "20240315");
  EXPECT_EQ(ExpandDate("991231"), "19991231");
  EXPECT_EQ(ExpandDate("2403"), "2403");
  EXPECT_EQ(ZeroPadded(7, 3), "007");
  EXPECT_EQ(ZeroPadded(1234, 2), "1234");
  EXPECT_EQ(ZeroPadded(-5, 3), "-05");
  EXPECT_EQ(ZeroPadded(0, 0), "0");
  EXPECT_EQ(DigitsOnly("2024.03.15."), "20240315");
  EXPECT_EQ(DigitsOnly(std::string("a\0" "1", 3)), "1");
}

}  // namespace
}  // namespace text
