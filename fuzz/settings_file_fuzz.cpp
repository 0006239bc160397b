// The settings file reader on arbitrary file contents: it must never crash,
// writing the lines out and reading them again gives the same lines, and a
// setting written into the store reads back without disturbing the others.
//
// Input: the first bytes choose a section, a key and a value (each a length
// byte and that many bytes); the rest is the settings file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/settings_files.h"

using namespace settings;

namespace {

std::string Take(std::string_view& in) {
  if (in.empty()) return {};
  const size_t n = static_cast<unsigned char>(in.front()) % 32;
  in.remove_prefix(1);
  const std::string_view out = in.substr(0, n);
  in.remove_prefix(out.size());
  return std::string(out);
}

std::string NoLineBreaks(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

bool SameSection(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const std::string section = NoLineBreaks(Take(in));
  std::string key = NoLineBreaks(Take(in));
  const std::string value = NoLineBreaks(Take(in));
  // A key holding "=" or beginning with "*" cannot be read back by its name.
  for (char& c : key)
    if (c == '=') c = '_';
  if (!key.empty() && key[0] == '*') key[0] = '_';

  const auto lines = SplitSettingsLines(in);
  if (SplitSettingsLines(JoinSettingsLines(lines)) != lines) std::abort();

  LoadSettingsFromBytes(ProgramSettings, in);
  if (SettingLineCount(ProgramSettings) != static_cast<int>(lines.size())) std::abort();

  // Walk every section that the look-up finds; the walk ends.
  int index = FindSection(ProgramSettings, section);
  std::string k, v;
  int steps = 0;
  while (NextSetting(ProgramSettings, index, k, v))
    if (++steps > SettingLineCount(ProgramSettings)) std::abort();

  const std::string probeBefore = ReadSetting(ProgramSettings, "FRISSIT", "netver");
  WriteSetting(ProgramSettings, section, key, value);
  int line = -1;
  if (ReadSetting(ProgramSettings, section, key, &line) != value || line < 0) std::abort();
  if (FindSection(ProgramSettings, section) < 0) std::abort();
  if (!(SameSection(section, "FRISSIT") && key == "netver") &&
      ReadSetting(ProgramSettings, "FRISSIT", "netver") != probeBefore)
    std::abort();
  UnloadSettings(ProgramSettings);
  return 0;
}
