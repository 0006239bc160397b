#include "text/strings.h"

#include <algorithm>
#include <cstring>

#include "platform/cp852.h"
#include "text/picture.h"

namespace text {
namespace {

#include "text/oem_ansi_tables.inc"

using Table = unsigned char[256];

std::string MapAll(const Table& table, std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
  return out;
}

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

// The small letters UpCaseChar converts and the capitals LowCaseChar converts
// (0x93 and 0x96 are also ő and ű of the old code page, 0x8F its Á).
bool IsSmallLetter(char c) {
  if (c >= 'a' && c <= 'z') return true;
  switch (Byte(c)) {
    case 0x81: case 0x82: case 0x8B: case 0x93: case 0x94: case 0x96:
    case 0xA0: case 0xA1: case 0xA2: case 0xA3: case 0xF5: case 0xFB:
      return true;
    default:
      return false;
  }
}

bool IsCapitalLetter(char c) {
  if (c >= 'A' && c <= 'Z') return true;
  switch (Byte(c)) {
    case 0x8A: case 0x8F: case 0x90: case 0x99: case 0x9A:
    case 0xB5: case 0xD6: case 0xE0: case 0xE9: case 0xEB:
      return true;
    default:
      return false;
  }
}

std::string_view TrimRightView(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// Compares two code page 1250 texts level by level: letters, accents, case;
// identical weights fall back to the bytes so that only equal texts are equal.
int CollateAnsi(std::string_view a, std::string_view b) {
  for (const Table* level : {&kAnsiPrimary, &kAnsiSecondary, &kAnsiTertiary}) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
      const int d = (*level)[Byte(a[i])] - (*level)[Byte(b[i])];
      if (d != 0) return Sign(d);
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  }
  return Sign(a.compare(b));
}

}  // namespace

std::string UpperOem(std::string_view s) { return MapAll(kOemUpper, s); }
std::string LowerOem(std::string_view s) { return MapAll(kOemLower, s); }

char UpCaseChar(char c) {
  return IsSmallLetter(c) ? static_cast<char>(kOemUpper[Byte(c)]) : c;
}

char LowCaseChar(char c) {
  return IsCapitalLetter(c) ? static_cast<char>(kOemLower[Byte(c)]) : c;
}

std::string UpperAnsi(std::string_view s) { return MapAll(kAnsiUpper, s); }
std::string LowerAnsi(std::string_view s) { return MapAll(kAnsiLower, s); }
std::string OemFromAnsi(std::string_view s) { return MapAll(kOemFromAnsi, s); }
std::string AnsiFromOem(std::string_view s) { return MapAll(kAnsiFromOem, s); }

std::string Centred(std::string_view s, int width) {
  s = TrimRightView(s);
  const int len = static_cast<int>(std::min(s.size(), kMaxText));
  if (width <= len) return CutToCapacity(std::string(s));
  const int front = (width - len) / 2;
  std::string out(static_cast<std::size_t>(front), ' ');
  out += s;
  out.append(static_cast<std::size_t>(width - len - front), ' ');
  return CutToCapacity(std::move(out));
}

std::string CentreFill(std::string_view s, char fill, int width) {
  width = std::min(width, static_cast<int>(kMaxText));
  if (s.size() >= kMaxText || static_cast<int>(s.size()) >= width)
    return CutToCapacity(std::string(s));
  const int len = static_cast<int>(s.size());
  std::string out(static_cast<std::size_t>(width), fill);
  out.replace(static_cast<std::size_t>((width - len) / 2), s.size(), s);
  return out;
}

std::string Replicate(char c, int n) {
  if (n < 1) return {};
  return std::string(std::min(static_cast<std::size_t>(n), kMaxText), c);
}

std::string PadRight(std::string_view s, int width, char fill) {
  if (width < 1) return {};
  const std::size_t w = std::min(static_cast<std::size_t>(width), kMaxText);
  std::string out(s.substr(0, w));
  out.append(w - out.size(), fill);
  return out;
}

std::string PadLeft(std::string_view s, int width, char fill) {
  if (width < 1) return {};
  const std::size_t w = std::min(static_cast<std::size_t>(width), kMaxText);
  s = TrimRightView(s);
  if (s.size() >= w) return std::string(s.substr(0, w));
  std::string out(w - s.size(), fill);
  out += s;
  return out;
}

std::string Trim(std::string_view s) {
  s = TrimRightView(s);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return CutToCapacity(std::string(s));
}

std::string TrimRight(std::string_view s) { return CutToCapacity(std::string(TrimRightView(s))); }

std::string TrimByKind(std::string_view s, char kind) {
  auto dropTrailing = [&s](char pad) {
    while (!s.empty() && (s.back() == pad || s.back() == '\0')) s.remove_suffix(1);
  };
  switch (kind) {
    case 'C':
    case 'D':
      dropTrailing(' ');
      break;
    case 'N':
      dropTrailing('0');
      break;
    case 'S':
      if (TextToNumber(s) == 0) return {};
      break;
    default:
      break;
  }
  return CutToCapacity(std::string(s));
}

HeapString StringToHeap(std::string_view s) {
  return std::make_unique<std::string>(CutToCapacity(std::string(s)));
}

void DisposeString(HeapString& s) { s.reset(); }

bool IntValue(std::string_view s, int32_t& number) {
  s = TrimRightView(s);
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  // The magnitude may reach 2147483648 for a negative number.
  const int64_t limit = negative ? int64_t{2147483648} : int64_t{2147483647};
  int64_t value = 0;
  const std::size_t firstDigit = i;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > limit) break;
  }
  if (i == firstDigit || i < s.size()) {
    number = static_cast<int32_t>(i + 1);
    return false;
  }
  number = static_cast<int32_t>(negative ? -value : value);
  return true;
}

int32_t IntOrZero(std::string_view s) {
  int32_t n = 0;
  return IntValue(s, n) ? n : 0;
}

std::string IntText(long long n) { return std::to_string(n); }

std::string FromZeroTerminated(const char* chars) {
  if (chars == nullptr) return {};
  std::size_t n = 0;
  while (n < kMaxText && chars[n] != '\0') ++n;
  return std::string(chars, n);
}

std::string FromZeroTerminated(std::string_view chars) {
  const std::size_t end = chars.find('\0');
  return CutToCapacity(std::string(chars.substr(0, end)));
}

std::string FieldOf(std::string_view s, char sep, int n) {
  if (n < 1) return {};
  std::size_t start = 0;
  for (int field = 1; field < n; ++field) {
    const std::size_t p = s.find(sep, start);
    if (p == std::string_view::npos) return {};
    start = p + 1;
  }
  const std::size_t end = s.find(sep, start);
  return CutToCapacity(std::string(s.substr(start, end == std::string_view::npos ? end : end - start)));
}

int FieldCount(std::string_view s, char sep) {
  if (s.empty()) return 0;
  return static_cast<int>(std::count(s.begin(), s.end(), sep)) + 1;
}

std::string WordOf(std::string_view s, int n) {
  if (n < 1) return {};
  std::size_t pos = 0;
  for (int word = 1;; ++word) {
    while (pos < s.size() && s[pos] == ' ') ++pos;
    if (pos == s.size()) return {};
    std::size_t end = s.find(' ', pos);
    if (end == std::string_view::npos) end = s.size();
    if (word == n) return CutToCapacity(std::string(s.substr(pos, end - pos)));
    pos = end;
  }
}

int WordCount(std::string_view s) {
  int count = 0;
  bool inWord = false;
  for (char c : s) {
    if (c == ' ') {
      inWord = false;
    } else if (!inWord) {
      inWord = true;
      ++count;
    }
  }
  return count;
}

std::string Quoted(std::string_view s) {
  std::string out = "\"";
  out += s;
  out += '"';
  return CutToCapacity(std::move(out));
}

std::string FileNameChars(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    switch (Byte(c)) {
      case 0x8F: c = '\xB5'; break;
      case 0x93: c = '\x8B'; break;
      case 0x95: c = '\xFB'; break;
      case 0xB3: case 0xB4: case 0xC3: c = '|'; break;
      case 0xC1: case 0xC2: case 0xC4: c = '-'; break;
      case 0xC5: c = '+'; break;
      case 0xBF: case 0xC0: case 0xD9: case 0xDA: c = '\x9E'; break;
      default: break;
    }
  }
  return out;
}

int CompareNames(std::string_view a, std::string_view b) {
  return CollateAnsi(FileNameChars(a), FileNameChars(b));
}

int CompareNamesNoCase(std::string_view a, std::string_view b) {
  return CompareNames(UpperAnsi(a), UpperAnsi(b));
}

std::string HungarianToUtf8(std::string_view s) {
  std::string out;
  for (char c : s) {
    std::size_t before = out.size();
    switch (Byte(c)) {
      case 0xA0: case 0xB5: case 0x82: case 0x90: case 0xA1: case 0xD6:
      case 0xA2: case 0xE0: case 0x94: case 0x99: case 0x8B: case 0x8A:
      case 0xA3: case 0xE9: case 0x81: case 0x9A: case 0xFB: case 0xEB:
        platform::AppendUtf8(out, platform::kCp852ToUnicode[Byte(c)]);
        break;
      default:
        out += c;
        break;
    }
    if (out.size() > kMaxText) {  // never cut a letter in two
      out.resize(before);
      break;
    }
  }
  return out;
}

}  // namespace text
