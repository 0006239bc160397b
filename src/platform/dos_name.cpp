#include "platform/dos_name.h"

#include <algorithm>
#include <vector>

#include "platform/cp1250.h"
#include "platform/cp852.h"

namespace platform {
namespace {

struct FoldPair {
  char32_t capital, small;
};
constexpr FoldPair kFoldPairs[] = {
#include "platform/name_fold.inc"
};

// UTF-8 to a sequence of characters; an invalid byte stands for itself in the
// private-use range so that it can only equal the same byte.
std::u32string Decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  size_t pos = 0;
  while (pos < s.size()) {
    char32_t c = 0;
    int n = DecodeUtf8(s, pos, c);
    if (n <= 0) {
      out += static_cast<char32_t>(0xF700 + static_cast<unsigned char>(s[pos]));
      ++pos;
    } else {
      out += c;
      pos += static_cast<size_t>(n);
    }
  }
  return out;
}


// The pattern and name are short (one name component); the table of what
// pattern suffix matches what name suffix keeps the work at their product,
// whatever the stars.
bool Wild(const std::u32string& p, const std::u32string& n) {
  const size_t m = p.size(), k = n.size();
  // match[i][j]: p[i..] matches n[j..]
  std::vector<uint8_t> match((m + 1) * (k + 1), 0);
  auto at = [&](size_t i, size_t j) -> uint8_t& { return match[i * (k + 1) + j]; };
  at(m, k) = 1;
  for (size_t i = m; i-- > 0;) {
    // End of the run of "?" that starts at i (used when a "?" matches nothing).
    size_t runEnd = i;
    if (p[i] == U'?')
      while (runEnd < m && p[runEnd] == U'?') ++runEnd;
    for (size_t j = k + 1; j-- > 0;) {
      bool ok;
      if (p[i] == U'*') {
        ok = at(i + 1, j) || (j < k && at(i, j + 1));
      } else if (p[i] == U'?') {
        if (j == k || n[j] == U'.')
          ok = at(runEnd, j);
        else
          ok = at(i + 1, j + 1);
      } else {
        ok = j < k && p[i] == n[j] && at(i + 1, j + 1);
      }
      at(i, j) = ok ? 1 : 0;
    }
  }
  return at(0, 0) != 0;
}

}  // namespace

char32_t NameByteToUnicode(unsigned char b, NameCode code) {
  return code == NameCode::Cp1250 ? kCp1250ToUnicode[b] : kCp852ToUnicode[b];
}

std::string NameToUtf8(std::string_view bytes, NameCode code) {
  return code == NameCode::Cp1250 ? Cp1250ToUtf8(bytes) : Cp852ToUtf8(bytes);
}

std::string Utf8ToName(std::string_view utf8, NameCode code, bool* exact) {
  // Reverse tables, built once.
  struct Reverse {
    std::vector<std::pair<char32_t, unsigned char>> map[2];
    Reverse() {
      for (int cp = 0; cp < 2; ++cp) {
        for (int b = 255; b >= 128; --b)  // the lowest byte wins a duplicate
          map[cp].emplace_back(cp ? kCp1250ToUnicode[b] : kCp852ToUnicode[b],
                               static_cast<unsigned char>(b));
        std::stable_sort(map[cp].begin(), map[cp].end(),
                         [](auto& a, auto& b) { return a.first < b.first; });
      }
    }
  };
  static const Reverse reverse;
  const auto& map = reverse.map[code == NameCode::Cp1250 ? 1 : 0];

  if (exact) *exact = true;
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c = 0;
    int n = DecodeUtf8(utf8, pos, c);
    if (n <= 0) {
      out += '?';
      if (exact) *exact = false;
      ++pos;
      continue;
    }
    pos += static_cast<size_t>(n);
    if (c < 128) {
      out += static_cast<char>(c);
      continue;
    }
    auto it = std::lower_bound(map.begin(), map.end(), c,
                               [](auto& e, char32_t v) { return e.first < v; });
    if (it != map.end() && it->first == c) {
      out += static_cast<char>(it->second);
    } else {
      out += '?';
      if (exact) *exact = false;
    }
  }
  return out;
}

bool ValidNameChar(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
  switch (c) {
    case U'\\': case U'/': case U':': case U'*': case U'?':
    case U'"': case U'<': case U'>': case U'|':
      return false;
    default:
      return true;
  }
}

char32_t FoldNameChar(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 32;
  if (c < 0xC0) return c;
  const FoldPair* end = kFoldPairs + std::size(kFoldPairs);
  const FoldPair* it = std::lower_bound(
      kFoldPairs, end, c, [](const FoldPair& p, char32_t v) { return p.capital < v; });
  return (it != end && it->capital == c) ? it->small : c;
}

std::u32string FoldedName(std::string_view s) {
  std::u32string out = Decode(s);
  for (char32_t& c : out) c = FoldNameChar(c);
  return out;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a == b) return true;
  return FoldedName(a) == FoldedName(b);
}

bool MatchesDosPattern(std::string_view name, std::string_view pattern) {
  if (pattern == "." || pattern == "..") return name == pattern;
  if (name == "." || name == "..") return pattern == "*" || pattern == "*.*";
  // One component of at most 255 characters is all a name can be; anything
  // longer cannot name an entry.
  if (name.size() > 1024 || pattern.size() > 1024) return false;
  std::u32string p = FoldedName(pattern), n = FoldedName(name);
  if (p.empty()) return false;
  if (p.back() == U'.') {
    while (!p.empty() && p.back() == U'.') p.pop_back();
    if (n.find(U'.') != std::u32string::npos) return false;
    return Wild(p, n);
  }
  if (Wild(p, n)) return true;
  if (p.size() >= 2 && p[p.size() - 2] == U'.' && p.back() == U'*') {
    p.resize(p.size() - 2);
    return n.find(U'.') == std::u32string::npos && Wild(p, n);
  }
  return false;
}

}  // namespace platform
