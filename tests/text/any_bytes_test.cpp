// Texts are raw code page 852 bytes and may hold any byte. Every operation of
// the text utilities is run on many such texts (the 0 byte included, lengths
// up to beyond the capacity) and checked for the promises that hold for any
// input: lengths, capacities, and no crash or sanitizer report.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "text/dates.h"
#include "text/picture.h"
#include "text/strings.h"
#include "text/words.h"

namespace text {
namespace {

std::vector<std::string> Samples() {
  std::vector<std::string> out;
  for (int b = 0; b < 256; ++b) out.emplace_back(1, static_cast<char>(b));
  out.emplace_back();
  // Texts from alphabets that reach the interesting paths of the parsers.
  const std::string alphabets[] = {
      std::string("#@,.:+- 0123456789", 18),
      std::string("0123456789\0 ", 12),
      std::string("&#;<>0123456789", 15),
      std::string(" ;a\0", 4),
      "0123456789eE.,:+-",
  };
  std::mt19937 rng(852);
  for (int i = 0; i < 3000; ++i) {
    const std::size_t len = rng() % 300;
    std::string s(len, '\0');
    const std::string& alpha = alphabets[i % 6 == 5 ? 0 : i % 5];
    for (char& c : s) c = i % 6 == 5 ? static_cast<char>(rng() & 0xFF) : alpha[rng() % alpha.size()];
    out.push_back(std::move(s));
  }
  return out;
}

TEST(TextAnyBytes, ConversionsKeepTheLength) {
  for (const std::string& s : Samples()) {
    for (const std::string& r :
         {OldTo852(s), Cp852ToOld(s), OldTo437(s), FoldBoxChars(s), AnsiTo852(s), Cp852ToAnsi(s),
          OldToAnsi(s), AnsiToOld(s), MixedToOld(s), Cp852LettersToOld(s), OldLettersTo852(s),
          UpCaseTextFor(s, "1"), UpCaseTextFor(s, "2"), UpperOem(s), LowerOem(s), UpperAnsi(s),
          LowerAnsi(s), OemFromAnsi(s), AnsiFromOem(s), FileNameChars(s)}) {
      ASSERT_EQ(r.size(), s.size());
    }
  }
}

TEST(TextAnyBytes, CountedResultsStayWithinTheCapacity) {
  for (const std::string& s : Samples()) {
    const int n = static_cast<int>(s.size());
    for (const std::string& r :
         {HtmlText(s), Centred(s, n), CentreFill(s, '*', n + 3), PadRight(s, n, '.'),
          PadLeft(s, n + 1, '0'), Trim(s), TrimRight(s), TrimByKind(s, 'C'), TrimByKind(s, 'N'),
          TrimByKind(s, 'S'), FieldOf(s, ';', 2), WordOf(s, 2), Quoted(s), HungarianToUtf8(s),
          FromZeroTerminated(std::string_view(s)), FormatNumber(s, -1234.5L), FormatText(s, s),
          DigitsOnly(s), MonthEnd(s)}) {
      ASSERT_LE(r.size(), 258u);  // MonthEnd adds 2 to an unchanged counted string
    }
    ASSERT_LE(HtmlText(s).size(), 255u);
    ASSERT_LE(FormatNumber(s, 1e30L).size(), 255u);
  }
}

TEST(TextAnyBytes, ParsersAndDatesAnswerForAnyText) {
  for (const std::string& s : Samples()) {
    int32_t n = 0;
    if (!IntValue(s, n)) {
      ASSERT_GE(n, 1);
      ASSERT_LE(n, static_cast<int32_t>(s.size()) + 1);
    }
    const long double x = TextToNumber(s);
    (void)TextToNumber64(s);
    ASSERT_FALSE(NumberInWords(x).empty());
    ASSERT_FALSE(AmountInWords(x).empty());
    ASSERT_FALSE(NumberText(x).empty());
    ASSERT_GE(FieldCount(s, ';'), 0);
    ASSERT_GE(WordCount(s), 0);
    ASSERT_GE(DayNumber(s), 0);
    const int dow = DayOfWeek(s);
    ASSERT_TRUE(dow >= 0 && dow <= 7);
    if (!IsValidDate(s)) {
      ASSERT_EQ(dow, 7);
    }
    const std::string later = AddDays(s, 400);
    ASSERT_EQ(later.size(), s.size());
    (void)DaysBetween(s, s);
    (void)DaysInMonth(s);
    const int c = CompareNames(s, s);
    ASSERT_EQ(c, 0);
    ASSERT_EQ(CompareNamesNoCase(s, "x"), -CompareNamesNoCase("x", s));
  }
}

}  // namespace
}  // namespace text
