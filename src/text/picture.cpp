#include "text/picture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <cstdio>
#include <system_error>

#include "text/strings.h"

namespace text {
namespace {

bool IsSeparator(char c) { return c == ',' || c == '.' || c == ':'; }
bool IsDigitPlace(char c) { return c == '#' || c == '@'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The whole number n (>= 0, integral) in decimal digits.
std::string IntegerDigits(long double n) {
  char buf[5000];
  std::snprintf(buf, sizeof buf, "%.0Lf", n);
  return buf;
}

// The absolute value a rounded to e decimals, written without the decimal
// point and right-aligned with blanks: e + 1 digits at least (a "0" before
// the point), i + e characters at least.
std::string DigitsText(long double a, int i, int e) {
  const long double scaled = ScaleByTen(a, e);
  // A value too large to scale is a whole number: its digits and e zeros.
  std::string digits = std::isfinite(scaled) || !std::isfinite(a)
                           ? IntegerDigits(std::floor(scaled + 0.5L))
                           : IntegerDigits(a) + std::string(static_cast<std::size_t>(e), '0');
  if (e > 0 && digits.size() < static_cast<std::size_t>(e) + 1)
    digits.insert(0, static_cast<std::size_t>(e) + 1 - digits.size(), '0');
  const std::size_t width = static_cast<std::size_t>(i + e);
  if (digits.size() < width) digits.insert(0, width - digits.size(), ' ');
  return digits;
}

// The longest decimal number at the start of s: [sign] digits [. digits]
// [e [sign] digits]. Returns 0 when s does not start with one.
template <typename Real>
Real LeadingNumber(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::size_t start = i;
  // Decimal magnitude of the mantissa: integer digits after leading zeros,
  // or minus the zeros after the point before the first other digit.
  long long magnitude = 0;
  bool nonZeroSeen = false;
  std::size_t mantissaDigits = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i, ++mantissaDigits) {
    nonZeroSeen = nonZeroSeen || s[i] != '0';
    if (nonZeroSeen) ++magnitude;
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && IsDigit(s[i]); ++i, ++mantissaDigits) {
      if (!nonZeroSeen && s[i] == '0') --magnitude;
      nonZeroSeen = nonZeroSeen || s[i] != '0';
    }
  }
  if (mantissaDigits == 0) return 0;
  std::size_t end = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    bool negativeExponent = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) negativeExponent = s[j++] == '-';
    if (j < s.size() && IsDigit(s[j])) {
      long long exponent = 0;
      for (; j < s.size() && IsDigit(s[j]); ++j)
        exponent = std::min(exponent * 10 + (s[j] - '0'), 1000000000LL);
      magnitude += negativeExponent ? -exponent : exponent;
      end = j;
    }
  }
  Real value = 0;
  const auto result = std::from_chars(s.data() + start, s.data() + end, value);
  if (result.ec == std::errc::result_out_of_range)
    value = magnitude > 0 ? std::numeric_limits<Real>::infinity() : Real{0};
  return negative ? -value : value;
}

template <typename Real>
Real ReadNumber(std::string_view in, bool colonIsPoint) {
  if (in.empty()) return 0;
  std::string t(in);
  if (std::size_t p = t.find(','); p != std::string::npos) t[p] = '.';
  if (colonIsPoint)
    if (std::size_t p = t.find(':'); p != std::string::npos) t[p] = '.';
  std::size_t first = 0;
  while (first < t.size() && t[first] != '-' && t[first] != '.' && !IsDigit(t[first])) ++first;
  t.erase(0, first);
  bool positive = true;
  if (std::size_t p = t.find('+'); p != std::string::npos) {
    t.erase(p, 1);
  } else if (std::size_t m = t.find('-'); m != std::string::npos) {
    t.erase(m, 1);
    positive = false;
  }
  const Real value = LeadingNumber<Real>(t);
  return positive ? value : -value;
}

}  // namespace

long double ScaleByTen(long double x, int n) {
  // Once the value is 0, infinite or not a number, further steps change
  // nothing: stop there so that a huge n costs no time.
  for (; n > 0 && std::isfinite(x) && x != 0; --n) x *= 10;
  for (; n < 0 && std::isfinite(x) && x != 0; ++n) x /= 10;
  return x;
}

long double RoundTo(long double x, int decimals) {
  if (x == 0) return 0;
  long double y = ScaleByTen(x, decimals);
  // Scaling past the range means x has no digits at that place: it is
  // already rounded.
  if (!std::isfinite(y) && std::isfinite(x)) return x;
  y = y > 0 ? std::trunc(y + 0.5L) : std::trunc(y - 0.5L);
  const long double r = ScaleByTen(y, -decimals);
  return r == 0 ? 0 : r;  // no negative zero
}

double RoundTo64(double x, int decimals) {
  return static_cast<double>(RoundTo(static_cast<long double>(x), decimals));
}

std::string FixedText(long double x, int decimals) {
  const long double r = RoundTo(x, decimals);
  const int shown = decimals < 0 ? 0 : decimals > static_cast<int>(kMaxText)
                                           ? static_cast<int>(kMaxText)
                                           : decimals;
  char buf[6000];
  std::snprintf(buf, sizeof buf, "%.*Lf", shown, r);
  return CutToCapacity(buf);
}

std::string NumberText(long double x) {
  x = RoundTo(x, 5);
  long double f = x - std::trunc(x);
  int n = 0;
  while (n < 15 && std::fabs(f - std::trunc(f)) > 0.000001L) {
    ++n;
    f *= 10;
  }
  std::string t = FixedText(x, n);
  if (t.find('.') != std::string::npos) {
    while (!t.empty() && t.back() == '0') t.pop_back();
    if (!t.empty() && t.back() == '.') t.pop_back();
  }
  return t;
}

std::string FormatNumber(std::string_view picture, long double x) {
  const std::string p(picture.substr(0, kMaxText));
  const bool negative = x < 0;
  std::string w = p;

  // Sign position q (1-based, 0 = none) and the character that stood there.
  std::size_t q = 0;
  if (std::size_t at = w.find('+'); at != std::string::npos) {
    q = at + 1;
  } else if (std::size_t minus = w.find('-'); minus != std::string::npos) {
    q = minus + 1;
  }
  if (negative && q == 0 && !w.empty()) q = 1;
  char signChar = 0;
  if (q > 0) {
    signChar = w[q - 1];
    w[q - 1] = ' ';
  }

  // Digit places, the last separator s (1-based) and the decimals after it.
  int digitPlaces = 0;
  std::size_t s = 0;
  int decimals = 0;
  for (std::size_t i = 0; i < w.size(); ++i) {
    if (IsDigitPlace(w[i])) {
      ++digitPlaces;
      ++decimals;
    } else if (IsSeparator(w[i])) {
      s = i + 1;
      decimals = 0;
    }
  }
  if (s == 0) decimals = 0;
  const int integerPlaces = digitPlaces - decimals;

  // Without decimals the last separator goes; the sign position shifts with
  // the characters after it.
  const bool dropSeparator = decimals == 0 && s > 0;
  if (dropSeparator) {
    w.erase(s - 1, 1);
    if (s < q) --q;
  }

  const std::string t = DigitsText(std::fabs(x), integerPlaces, decimals);

  std::size_t k = 0;
  for (std::size_t i = 0; i < w.size() && k < t.size(); ++i) {
    const std::size_t pos = i + 1;
    const char c = w[i];
    if (c == '#') {
      w[i] = t[k++];
      if (w[i] == ' ' && q > 0 && pos > q) q = pos;
    } else if (c == '@') {
      const char d = t[k++];
      w[i] = IsDigit(d) ? d : '0';
    } else if (IsSeparator(c)) {
      if (pos == q + 1) q = pos;
      if (i > 0 && w[i - 1] == ' ') w[i] = ' ';
    }
  }
  if (k < t.size()) {  // the number did not fit
    w = p;
    if (dropSeparator) w.erase(s - 1, 1);
  }

  const char sign = negative ? '-' : signChar == '+' ? '+' : ' ';
  if (q > 0 && q <= w.size()) w[q - 1] = sign;

  if (w.find_first_of("#@") != std::string::npos) {
    std::string whole = NumberText(RoundTo(x, 0));
    std::size_t width = p.size();
    if (!p.empty() && IsSeparator(p.back())) --width;
    if (whole.size() < width) whole.insert(0, width - whole.size(), ' ');
    w = whole;
  }
  return CutToCapacity(std::move(w));
}

std::string FormatText(std::string_view picture, std::string_view s) {
  std::string out(picture.substr(0, kMaxText));
  std::size_t k = 0;
  for (char& c : out) {
    if (!IsDigitPlace(c)) continue;
    c = k < s.size() ? s[k] : ' ';
    ++k;
  }
  return out;
}

long double TextToNumber(std::string_view s) { return ReadNumber<long double>(s, true); }
double TextToNumber64(std::string_view s) { return ReadNumber<double>(s, false); }

std::string MakePicture(bool groups, int width, int decimals, bool sign) {
  if (width < 1) return decimals == 0 ? "." : "";
  const int w = std::min(width, static_cast<int>(kMaxText) - 1);
  std::string p(static_cast<std::size_t>(w), '#');
  int integerPlaces = w;
  if (decimals > 0 && decimals < w) {
    p[static_cast<std::size_t>(w - decimals - 1)] = ',';
    integerPlaces = w - decimals - 1;
  }
  if (sign) {
    p[0] = '-';
    --integerPlaces;
  }
  if (groups) {
    const int marks = (integerPlaces - 1) / 3 - 1;
    // 1-based position of the "," or one past the end.
    int pos = (decimals > 0 && decimals < w) ? w - decimals : w + 1;
    // A mark needs a digit place before it: never on the first place or the
    // sign, and never outside the picture.
    const int lowest = sign ? 3 : 2;
    for (int m = 0; m < marks; ++m) {
      pos -= 4;
      if (pos < lowest) break;
      p[static_cast<std::size_t>(pos - 1)] = '.';
    }
  }
  if (decimals == 0) p += '.';
  return p;
}

}  // namespace text
