#include "platform/cp1250.h"

#include "platform/cp852.h"

namespace platform {

std::string Cp1250ToUtf8(std::string_view cp1250) {
  return SingleByteToUtf8(cp1250, kCp1250ToUnicode);
}

std::string Utf8ToCp1250(std::string_view utf8) {
  return Utf8ToSingleByte(utf8, [](char32_t c) { return UnicodeToCp1250(c); });
}

}  // namespace platform
