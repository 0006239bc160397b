#include "platform/cp1250.h"

#include "platform/cp852.h"

namespace platform {

std::string Cp1250ToUtf8(std::string_view cp1250) {
  std::string out;
  out.reserve(cp1250.size() * 2);
  for (char ch : cp1250) AppendUtf8(out, kCp1250ToUnicode[static_cast<unsigned char>(ch)]);
  return out;
}

std::string Utf8ToCp1250(std::string_view utf8) {
  std::string out;
  size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c = 0;
    int n = DecodeUtf8(utf8, pos, c);
    if (n <= 0) {  // invalid or truncated: drop one byte
      ++pos;
      continue;
    }
    pos += static_cast<size_t>(n);
    if (int b = UnicodeToCp1250(c); b >= 0) out += static_cast<char>(b);
  }
  return out;
}

}  // namespace platform
