// Every text utility on arbitrary bytes: the first byte picks a number for
// the width and day arguments, the rest is the text (raw code page 852).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/codepage.h"
#include "text/dates.h"
#include "text/picture.h"
#include "text/strings.h"
#include "text/words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int n = static_cast<int8_t>(data[0]) * 37;
  const std::string s(reinterpret_cast<const char*>(data + 1), size - 1);
  using namespace text;

  if (HtmlText(s).size() > 255) std::abort();
  if (UpperOem(s).size() != s.size() || LowerAnsi(s).size() != s.size()) std::abort();
  (void)MixedToOld(OldToAnsi(s));
  (void)UpCaseTextFor(s, s.substr(0, 1));
  (void)Centred(s, n);
  (void)CentreFill(s, s.empty() ? ' ' : s[0], n);
  (void)PadLeft(s, n, '0');
  (void)PadRight(s, n, ' ');
  (void)TrimByKind(s, s.empty() ? 'C' : s[0]);
  int32_t value = 0;
  (void)IntValue(s, value);
  (void)FieldOf(s, ';', n);
  (void)WordOf(s, n);
  (void)CompareNames(s, HungarianToUtf8(s));

  const long double x = TextToNumber(s);
  (void)TextToNumber64(s);
  if (FormatNumber(s, x).size() > 255) std::abort();
  (void)FormatNumber(MakePicture(n & 1, n, n / 100, n & 2), x);
  (void)FixedText(x, n);
  (void)NumberText(x);
  (void)RoundTo(x, n);
  (void)NumberInWords(x);
  (void)AmountInWords(x);

  (void)AddDays(s, n * 1000);
  (void)DayOfWeek(s);
  (void)DaysBetween(s, ExpandDate(s));
  (void)MonthEnd(s);
  (void)DaysInMonth(s);
  return 0;
}
