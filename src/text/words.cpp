#include "text/words.h"

#include <cmath>
#include <string_view>

#include "text/literal.h"
#include "text/picture.h"

namespace text {
namespace {

using namespace text::literals;

constexpr std::string_view kUnits[10] = {
    "",        "egy"_cpv,  "kettö"_cpv, "három"_cpv, "négy"_cpv,
    "öt"_cpv,  "hat"_cpv,  "hét"_cpv,   "nyolc"_cpv, "kilenc"_cpv,
};
constexpr std::string_view kTens[10] = {
    "",          "tíz"_cpv,    "húsz"_cpv,     "harminc"_cpv, "negyven"_cpv,
    "ötven"_cpv, "hatvan"_cpv, "hetven"_cpv,   "nyolcvan"_cpv, "kilencven"_cpv,
};
// Word of the group before the current one: index 1 thousands, 2 millions,
// 3 thousand millions.
constexpr std::string_view kGroupWords[4] = {"", "ezer"_cpv, "millió"_cpv, "milliárd"_cpv};

// A digit character's value; anything else counts as 0.
int DigitAt(std::string_view d, std::size_t i) {
  const char c = d[i];
  return c >= '0' && c <= '9' ? c - '0' : 0;
}

bool AllZero(std::string_view d) {
  for (std::size_t i = 0; i < d.size(); ++i)
    if (DigitAt(d, i) != 0) return false;
  return true;
}

// The digit text d in words; x is the whole value (for the hyphen rule).
std::string DigitsInWords(std::string_view d, long double x) {
  std::string out;
  bool started = false;
  const std::size_t len = d.size();
  for (std::size_t p = 0; p < len; ++p) {
    const int digit = DigitAt(d, p);
    if (digit > 0) started = true;
    if (!started) continue;
    const std::size_t r = len - p;  // digits from here to the end
    const std::size_t group = (r - 1) / 3 + 1;
    switch (r % 3) {
      case 0: {  // hundreds digit
        const std::size_t from = p >= 3 ? p - 3 : 0;
        if (!out.empty() && !AllZero(d.substr(from, p - from)) && group < 4)
          out += kGroupWords[group];
        if (!out.empty() && group == 1 && std::fabs(x) > 2000 && !AllZero(d.substr(len - 3)))
          out += '-';
        if (digit == 1) {
          out += "száz"_cpv;
        } else if (digit > 1) {
          out += kUnits[digit];
          out += "száz"_cpv;
        }
        break;
      }
      case 2: {  // tens digit
        const int next = p + 1 < len ? DigitAt(d, p + 1) : 0;
        if (next == 0 || digit > 2) {
          out += kTens[digit];
        } else if (digit == 1) {
          out += "tizen";
        } else if (digit == 2) {
          out += "huszon";
        }
        break;
      }
      default:  // units digit
        out += kUnits[digit];
        break;
    }
  }
  if (out.empty()) out = "nulla";
  return out;
}

std::string Finish(std::string w, long double x) {
  if (!w.empty() && w[0] >= 'a' && w[0] <= 'z') w[0] = static_cast<char>(w[0] - 'a' + 'A');
  if (x < 0) w.insert(0, "MINUSZ ");
  return w;
}

std::string TwelveDigits(long double x) {
  return FormatNumber("@@@@@@@@@@@@", std::trunc(std::fabs(x)));
}

}  // namespace

std::string NumberInWords(long double x) {
  return Finish(DigitsInWords(TwelveDigits(x), x), x);
}

std::string AmountInWords(long double x) {
  std::string w = DigitsInWords(TwelveDigits(x), x) + " Ft";
  const long double a = std::fabs(x);
  const long double fraction = a - std::trunc(a);
  if (fraction > 0) {
    w += DigitsInWords(FormatNumber("@@", 100 * fraction), x);
    w += " Fillér"_cpv;
  }
  return Finish(std::move(w), x);
}

}  // namespace text
