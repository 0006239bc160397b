#include "settings/registry_settings.h"

#include <cmath>

#include "platform/registry.h"

namespace settings {

namespace {

using platform::RegistryKey;
using platform::RegistryResult;
using platform::RegistryRoot;

constexpr std::string_view kConsoleKey = "\\Software\\Vantor\\Console\\";
constexpr std::string_view kDefaultFace = "Lucida Console";
constexpr std::string_view kHelpKeys[] = {
    "\\SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\HHRestrictions",
    "\\SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\ItssRestrictions",
};
constexpr std::string_view kNewAllowListTail = ";file://;";
constexpr size_t kStationIdCapacity = 4;

std::string stationId;

std::string FontPrefix() { return stationId.empty() ? std::string() : stationId + "_"; }

std::string ProductKey(std::string_view product) {
  return "\\Software\\" + std::string(product) + "\\";
}

}  // namespace

const std::string& StationId() { return stationId; }

void SetStationId(std::string_view id) {
  stationId = std::string(id.substr(0, kStationIdCapacity));
}

void StartRegistrySettings() { stationId.clear(); }

int16_t ReadConsoleFont(std::string& faceName) {
  faceName.clear();
  RegistryKey key;
  if (key.Open(RegistryRoot::CurrentUser, kConsoleKey, false) != RegistryResult::Ok) return 0;
  const std::string prefix = FontPrefix();
  uint32_t size = 0;
  int16_t height = 0;
  if (key.ReadNumber(prefix + "FontSize21", size) == RegistryResult::Ok ||
      key.ReadNumber("FontSize", size) == RegistryResult::Ok)
    height = static_cast<int16_t>(size >> 16);
  if (key.ReadText(prefix + "FaceName", faceName) != RegistryResult::Ok)
    faceName = std::string(kDefaultFace);
  return height;
}

bool WriteConsoleFont(int16_t height, std::string_view faceName) {
  RegistryKey key;
  if (key.Open(RegistryRoot::CurrentUser, kConsoleKey, true) != RegistryResult::Ok) return false;
  const std::string prefix = FontPrefix();
  const uint32_t size = static_cast<uint32_t>(static_cast<uint16_t>(height)) << 16;
  bool ok = key.WriteNumber(prefix + "FontSize21", size) == RegistryResult::Ok;
  if (ok && !faceName.empty())
    ok = key.WriteText(prefix + "FaceName", faceName) == RegistryResult::Ok;
  return ok;
}

std::string ReadSetupPath(std::string_view product) {
  RegistryKey key;
  std::string list;
  if (key.Open(RegistryRoot::CurrentUser, ProductKey(product), false) != RegistryResult::Ok)
    return list;
  if (key.ReadText("SetupPath", list) != RegistryResult::Ok) list.clear();
  return list;
}

bool AddSetupPath(std::string_view product, std::string_view folder) {
  RegistryKey key;
  const std::string path = ProductKey(product);
  const RegistryResult opened = key.Open(RegistryRoot::CurrentUser, path, false);
  if (opened == RegistryResult::NotFound) {
    if (key.Open(RegistryRoot::CurrentUser, path, true) != RegistryResult::Ok) return false;
    return key.WriteText("SetupPath", folder) == RegistryResult::Ok;
  }
  if (opened != RegistryResult::Ok) return false;
  std::string list;
  if (key.ValueExists("SetupPath") && key.ReadText("SetupPath", list) != RegistryResult::Ok)
    return false;
  if (!IsInList(folder, list)) {
    list += ";";
    list += folder;
    if (list.front() == ';') list.erase(0, 1);
  }
  return key.WriteText("SetupPath", list) == RegistryResult::Ok;
}

bool AllowHelpFolder(std::string_view folder) {
  if (folder.find("c:") != std::string_view::npos || folder.find("C:") != std::string_view::npos)
    return true;
  for (std::string_view path : kHelpKeys) {
    RegistryKey key;
    const RegistryResult opened = key.Open(RegistryRoot::LocalMachine, path, false);
    if (opened == RegistryResult::NotFound) {
      if (key.Open(RegistryRoot::LocalMachine, path, true) != RegistryResult::Ok) return false;
      if (key.WriteText("UrlAllowList", std::string(folder) + std::string(kNewAllowListTail)) !=
          RegistryResult::Ok)
        return false;
      continue;
    }
    if (opened != RegistryResult::Ok) return false;
    std::string list;
    const RegistryResult read = key.ReadText("UrlAllowList", list);
    if (read == RegistryResult::NotFound) list.clear();
    else if (read != RegistryResult::Ok) return false;
    if (IsInList(folder, list)) continue;
    const std::string updated = list.empty()
                                    ? std::string(folder) + std::string(kNewAllowListTail)
                                    : std::string(folder) + ";" + list;
    if (key.WriteText("UrlAllowList", updated) != RegistryResult::Ok) return false;
  }
  return true;
}

int ConsoleDefaultFontSize() {
  RegistryKey key;
  if (key.Open(RegistryRoot::CurrentUser, "\\Console\\", false) != RegistryResult::Ok) return 0;
  uint32_t size = 0;
  if (key.ReadNumber("FontSize", size) != RegistryResult::Ok) return 0;
  return static_cast<int>(std::lround(static_cast<double>(size) / 65536.0));
}

bool IsInList(std::string_view name, std::string_view list) {
  size_t start = 0;
  for (;;) {
    const size_t end = list.find(';', start);
    const std::string_view entry =
        list.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (entry == name) return true;
    if (end == std::string_view::npos) return false;
    start = end + 1;
  }
}

}  // namespace settings
