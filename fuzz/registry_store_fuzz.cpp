// The registry store reader on arbitrary file contents: it must never crash,
// and a value set in any store must read back after writing the store out and
// reading it again, while the values it did not touch stay as they were.
//
// Input: the first bytes choose a key, a value name and a text (each a
// length byte and that many bytes); the rest is the store file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/registry.h"

using platform::RegistryDocument;
using platform::RegistryResult;
using platform::RegistryValue;

namespace {

std::string_view Take(std::string_view& in) {
  if (in.empty()) return {};
  const size_t n = static_cast<unsigned char>(in.front()) % 16;
  in.remove_prefix(1);
  const std::string_view out = in.substr(0, n);
  in.remove_prefix(out.size());
  return out;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

bool SameValue(const RegistryValue& a, const RegistryValue& b) {
  if (a.type != b.type) return false;
  if (a.type == RegistryValue::Type::Text) return a.text == b.text;
  if (a.type == RegistryValue::Type::Number) return a.number == b.number;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  std::string key = platform::NormaliseRegistryPath(Take(in));
  const std::string name(Take(in));
  const std::string text(Take(in));
  // Key names hold no control characters (the key handle refuses them).
  for (char& c : key)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  if (key.empty()) key = "K";

  RegistryDocument doc = RegistryDocument::Parse(in);
  RegistryValue before;
  const bool had = doc.Find("Other", "Kept", before) == RegistryResult::Ok;
  (void)doc.KeyExists(key);

  RegistryValue v;
  v.type = (text.size() % 2) ? RegistryValue::Type::Text : RegistryValue::Type::Number;
  v.text = text;
  v.number = static_cast<uint32_t>(text.size() * 2654435761u);
  doc.Set(key, name, v);

  RegistryDocument back = RegistryDocument::Parse(doc.Serialize());
  RegistryValue got;
  if (back.Find(key, name, got) != RegistryResult::Ok || !SameValue(got, v)) std::abort();
  if (!back.KeyExists(key)) std::abort();
  // Another value of another key is untouched (unless it is the one just set).
  if (had && !(SameIgnoringAsciiCase(key, "Other") && SameIgnoringAsciiCase(name, "Kept"))) {
    RegistryValue after;
    if (back.Find("Other", "Kept", after) != RegistryResult::Ok || !SameValue(after, before))
      std::abort();
  }
  return 0;
}
