#include "settings/settings_files.h"

#include <string>
#include <vector>

#include "platform/dos_dir.h"
#include "platform/dos_file.h"
#include "platform/lifecycle.h"
#include "settings/registry_settings.h"
#include "text/strings.h"

namespace settings {

UpdateSettingsRecord UpdateSettings;

namespace {

constexpr int kStoreCount = 4;
constexpr std::string_view kDefaultFace = "Lucida Console";
// The smallest console font height the console window module offers; the
// height saved when the console store holds no size.
constexpr int kMinFontSize = 14;

struct StoreState {
  std::vector<std::string> lines;
  bool loaded = false;
};

StoreState stores[kStoreCount + 1];
std::string fileNames[kStoreCount + 1];
std::string programFile;
std::string programFolder;
std::string dataSearchPath;
std::optional<std::string> programFileList;
ConsoleFontSource consoleFontSource = nullptr;

bool ValidStore(int store) { return store >= 1 && store <= kStoreCount; }

StoreState* LoadedStore(int store) {
  if (!ValidStore(store) || !stores[store].loaded) return nullptr;
  return &stores[store];
}

// A run-time I/O error: the program ends with the code.
[[noreturn]] void StopWithIoError(platform::IoCode code) {
  const std::string report = "Runtime error " + std::to_string(code);
  platform::SetExitReport(report.c_str());
  platform::StopProgram(code);
}

// --- Files ------------------------------------------------------------------------

platform::IoCode ReadWholeFile(const std::string& name, std::string& bytes) {
  platform::DosFile file;
  platform::IoCode rc = platform::OpenFile(name, platform::Access::Read, platform::Share::DenyNone,
                                           platform::Disposition::OpenExisting, file);
  if (rc != platform::io::kOk) return rc;
  int64_t size = 0;
  rc = file.Size(size);
  if (rc != platform::io::kOk) return rc;
  bytes.assign(static_cast<size_t>(size), '\0');
  size_t done = 0;
  rc = file.Read(bytes.data(), bytes.size(), &done);
  bytes.resize(done);
  file.Close();
  return rc;
}

platform::IoCode WriteWholeFile(const std::string& name, std::string_view bytes) {
  platform::DosFile file;
  platform::IoCode rc = platform::OpenFile(name, platform::Access::Write, platform::Share::DenyNone,
                                           platform::Disposition::CreateAlways, file);
  if (rc != platform::io::kOk) return rc;
  rc = file.Write(bytes.data(), bytes.size());
  const platform::IoCode closed = file.Close();
  return rc != platform::io::kOk ? rc : closed;
}

// Lines end at LF or CR LF; the last line needs no end. A CR that is not
// followed by LF belongs to its line, so that every line written comes back
// exactly as it was.
}  // namespace

std::vector<std::string> SplitSettingsLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    size_t stop = end;
    if (stop > start && end < bytes.size() && bytes[stop - 1] == '\r') --stop;
    lines.emplace_back(bytes.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

std::string JoinSettingsLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) {
    out += l;
    out += "\r\n";
  }
  return out;
}

namespace {

// --- Sections -------------------------------------------------------------------

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool IsSectionLine(const std::string& line) { return !line.empty() && line[0] == '*'; }

// The whole line equals "*" + section, ignoring the case of A..Z.
bool IsLineOfSection(const std::string& line, std::string_view section) {
  if (line.size() != section.size() + 1 || line[0] != '*') return false;
  for (size_t i = 0; i < section.size(); ++i)
    if (UpperAscii(line[i + 1]) != UpperAscii(section[i])) return false;
  return true;
}

int FindSectionIn(const StoreState& s, std::string_view section) {
  for (size_t i = 0; i < s.lines.size(); ++i)
    if (IsLineOfSection(s.lines[i], section)) return static_cast<int>(i);
  return -1;
}

// The index of the line that ends the section starting at sectionLine: the
// next section line, or the number of lines.
size_t SectionEnd(const StoreState& s, size_t sectionLine) {
  size_t i = sectionLine + 1;
  while (i < s.lines.size() && !IsSectionLine(s.lines[i])) ++i;
  return i;
}

// The index of key's line in the section, -1 when absent.
int FindKeyIn(const StoreState& s, int sectionLine, std::string_view key) {
  if (sectionLine < 0) return -1;
  const size_t end = SectionEnd(s, static_cast<size_t>(sectionLine));
  for (size_t i = static_cast<size_t>(sectionLine) + 1; i < end; ++i) {
    const std::string& line = s.lines[i];
    const size_t eq = line.find('=');
    if (eq != std::string::npos && std::string_view(line).substr(0, eq) == key)
      return static_cast<int>(i);
  }
  return -1;
}

// A text put into a line: a CR or LF would end the line when the file is
// read again, so it becomes a blank.
std::string OneLine(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

int ParseHeight(const std::string& text) {
  // A decimal number (sign allowed, trailing blanks ignored); anything else,
  // or a number beyond 16 bits, is 0.
  size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  size_t i = 0;
  bool negative = false;
  if (i < end && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == end) return 0;
  long value = 0;
  for (; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    value = value * 10 + (text[i] - '0');
    if (value > 32768) return 0;
  }
  if (negative) value = -value;
  return (value < -32768 || value > 32767) ? 0 : static_cast<int>(value);
}

// --- Search lists -------------------------------------------------------------

std::vector<std::string_view> ListFolders(std::string_view list) {
  std::vector<std::string_view> out;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string_view::npos) end = list.size();
    if (end > start) out.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

std::string InFolder(std::string_view folder, std::string_view name) {
  return std::string(folder) + "\\" + std::string(name);
}

template <size_t N>
void CopyToField(std::array<char, N>& field, std::string_view value) {
  field.fill(' ');
  for (size_t i = 0; i < N && i < value.size(); ++i) field[i] = value[i];
}

template <size_t N>
std::string FieldText(const std::array<char, N>& field) {
  std::string out(field.begin(), field.end());
  for (char& c : out)
    if (c == '\0') c = ' ';
  return out;
}

}  // namespace

// --- Program folder and search lists ----------------------------------------------

std::string FolderOf(std::string_view path) {
  const size_t last = path.find_last_of("\\/:");
  if (last == std::string_view::npos) return std::string();
  std::string folder(path.substr(0, last + 1));
  const size_t n = folder.size();
  if ((folder[n - 1] == '\\' || folder[n - 1] == '/') && n > 1 && folder[n - 2] != '\\' &&
      folder[n - 2] != '/' && folder[n - 2] != ':')
    folder.pop_back();
  return folder;
}

void SetProgramFile(std::string_view dosPath) { programFile = std::string(dosPath); }
const std::string& ProgramFile() { return programFile; }

const std::string& ProgramFolder() { return programFolder; }
void SetProgramFolder(std::string_view folder) { programFolder = std::string(folder); }

const std::string& DataSearchPath() { return dataSearchPath; }
void SetDataSearchPath(std::string_view path) { dataSearchPath = std::string(path); }
void AddDataSearchFolder(std::string_view folder) {
  dataSearchPath += ";";
  dataSearchPath += folder;
}

void SetProgramFileList(std::optional<std::string> list) { programFileList = std::move(list); }
const std::optional<std::string>& ProgramFileList() { return programFileList; }

// --- Stores ---------------------------------------------------------------------

void SetSettingsFileNames() {
  // The folder of the program's own file; before the start-up has named the
  // file, the first folder of ProgramFolder.
  std::string folder;
  if (!programFile.empty()) {
    folder = FolderOf(programFile);
  } else {
    const auto folders = ListFolders(programFolder);
    if (!folders.empty()) folder = std::string(folders.front());
  }
  auto inProgramFolder = [&](const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    return (last == '\\' || last == '/' || last == ':') ? folder + name : folder + "\\" + name;
  };
  fileNames[ProgramSettings] = inProgramFolder("prog.res");
  fileNames[UserSettings] = inProgramFolder("user" + StationId() + ".res");
  fileNames[DataSettings] = "adat.res";
}

const std::string& SettingsFileName(int store) {
  static const std::string kNone;
  return (store >= 1 && store <= 3) ? fileNames[store] : kNone;
}

void LoadSettings(int store) {
  if (!ValidStore(store) || stores[store].loaded) return;
  StoreState& s = stores[store];
  s.lines.clear();
  if (store == ConsoleSettings) {
    std::string face;
    const int16_t height = ReadConsoleFont(face);
    if (face.empty()) face = std::string(kDefaultFace);
    s.lines = {"*cmdwindow", "font=" + face, "fontsize=" + std::to_string(height)};
    s.loaded = true;
    return;
  }
  const std::string& name = fileNames[store];
  if (!platform::FileExists(name)) {
    const platform::IoCode rc = WriteWholeFile(name, "User" + StationId() + "\r\n");
    if (rc != platform::io::kOk) StopWithIoError(rc);
  }
  std::string bytes;
  if (ReadWholeFile(name, bytes) != platform::io::kOk) return;  // stays not loaded
  s.lines = SplitSettingsLines(bytes);
  s.loaded = true;
}

void LoadSettingsFromBytes(int store, std::string_view bytes) {
  if (!ValidStore(store)) return;
  stores[store].lines = SplitSettingsLines(bytes);
  stores[store].loaded = true;
}

void SaveSettings(int store) {
  StoreState* s = LoadedStore(store);
  if (!s) return;
  if (store == ConsoleSettings) {
    if (consoleFontSource) {
      std::string face;
      int size = 0;
      consoleFontSource(face, size);
      WriteSetting(ConsoleSettings, "cmdwindow", "font", face);
      WriteSetting(ConsoleSettings, "cmdwindow", "fontsize", std::to_string(size));
    }
    int line = -1;
    const std::string sizeText = ReadSetting(ConsoleSettings, "cmdwindow", "fontsize", &line);
    const int height = line < 0 ? kMinFontSize : ParseHeight(sizeText);
    const std::string face = ReadSetting(ConsoleSettings, "cmdwindow", "font");
    WriteConsoleFont(static_cast<int16_t>(height), face);
    return;
  }
  const platform::IoCode rc = WriteWholeFile(fileNames[store], JoinSettingsLines(s->lines));
  if (rc != platform::io::kOk) StopWithIoError(rc);
}

void UnloadSettings(int store) {
  if (!ValidStore(store)) return;
  stores[store].lines.clear();
  stores[store].lines.shrink_to_fit();
  stores[store].loaded = false;
}

bool SettingsLoaded(int store) { return LoadedStore(store) != nullptr; }

std::string ReadSetting(int store, std::string_view section, std::string_view key,
                        int* lineIndex) {
  if (lineIndex) *lineIndex = -1;
  const StoreState* s = LoadedStore(store);
  if (!s) return std::string();
  const int at = FindKeyIn(*s, FindSectionIn(*s, section), key);
  if (at < 0) return std::string();
  if (lineIndex) *lineIndex = at;
  const std::string& line = s->lines[static_cast<size_t>(at)];
  return text::CutToCapacity(line.substr(line.find('=') + 1));
}

void WriteSetting(int store, std::string_view section, std::string_view key,
                  std::string_view value) {
  StoreState* s = LoadedStore(store);
  if (!s) return;
  const std::string sectionText = OneLine(section);
  const std::string keyText = OneLine(key);
  std::string line = keyText + "=" + OneLine(value);
  const int sectionLine = FindSectionIn(*s, sectionText);
  const int keyLine = FindKeyIn(*s, sectionLine, keyText);
  if (keyLine >= 0) {
    s->lines[static_cast<size_t>(keyLine)] = std::move(line);
  } else if (sectionLine < 0) {
    s->lines.push_back("*" + sectionText);
    s->lines.push_back(std::move(line));
  } else {
    const size_t end = SectionEnd(*s, static_cast<size_t>(sectionLine));
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(end), std::move(line));
  }
}

int FindSection(int store, std::string_view section) {
  const StoreState* s = LoadedStore(store);
  return s ? FindSectionIn(*s, section) : -1;
}

bool NextSetting(int store, int& index, std::string& key, std::string& value) {
  ++index;
  const StoreState* s = LoadedStore(store);
  if (!s || index < 0 || static_cast<size_t>(index) >= s->lines.size()) return false;
  const std::string& line = s->lines[static_cast<size_t>(index)];
  if (line.empty() || IsSectionLine(line)) return false;
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = text::CutToCapacity(line.substr(0, eq));
  value = text::CutToCapacity(line.substr(eq + 1));
  return true;
}

int SettingLineCount(int store) {
  const StoreState* s = LoadedStore(store);
  return s ? static_cast<int>(s->lines.size()) : 0;
}

std::string SettingLine(int store, int index) {
  const StoreState* s = LoadedStore(store);
  if (!s || index < 0 || static_cast<size_t>(index) >= s->lines.size()) return std::string();
  return s->lines[static_cast<size_t>(index)];
}

void SetConsoleFontSource(ConsoleFontSource source) { consoleFontSource = source; }

// --- Update settings -----------------------------------------------------------------

void LoadUpdateSettings() {
  if (!platform::FileExists(fileNames[UserSettings])) return;
  LoadSettings(UserSettings);
  UnloadSettings(UserSettings);
  if (!platform::FileExists(fileNames[ProgramSettings])) return;
  LoadSettings(ProgramSettings);
  UpdateSettingsRecord& u = UpdateSettings;
  u.lastUpdate.fill(' ');
  u.lastCheck.fill(' ');
  u.source.fill(' ');
  u.version.fill(' ');
  u.message.fill(' ');
  auto take = [](std::string_view key, auto& field) {
    int line = -1;
    const std::string value = ReadSetting(ProgramSettings, "FRISSIT", key, &line);
    if (line >= 0 && !value.empty()) CopyToField(field, value);
  };
  take("frissdatum", u.lastUpdate);
  take("frissnezdatum", u.lastCheck);
  take("frisshely", u.source);
  take("netver", u.version);
  take("uzenet", u.message);
  UnloadSettings(ProgramSettings);
}

void SaveUpdateSettings() {
  LoadSettings(UserSettings);
  SaveSettings(UserSettings);
  UnloadSettings(UserSettings);
  LoadSettings(ProgramSettings);
  const UpdateSettingsRecord& u = UpdateSettings;
  WriteSetting(ProgramSettings, "FRISSIT", "frissdatum", FieldText(u.lastUpdate));
  WriteSetting(ProgramSettings, "FRISSIT", "frissnezdatum", FieldText(u.lastCheck));
  WriteSetting(ProgramSettings, "FRISSIT", "netver", FieldText(u.version));
  WriteSetting(ProgramSettings, "FRISSIT", "frisshely", FieldText(u.source));
  WriteSetting(ProgramSettings, "FRISSIT", "uzenet", FieldText(u.message));
  SaveSettings(ProgramSettings);
  UnloadSettings(ProgramSettings);
}

// --- Suite files ---------------------------------------------------------------------

bool IsProgramFile(std::string_view name) {
  if (!programFileList) return false;
  std::string n = text::UpperOem(name);
  const size_t slash = n.rfind('\\');
  if (slash != std::string::npos) n.erase(0, slash + 1);
  for (const char* ext : {".DAT", ".IDX", ".PAR"}) {
    const size_t at = n.find(ext);
    if (at != std::string::npos) n.resize(at);
  }
  std::string list = *programFileList;
  for (char& c : list) c = UpperAscii(c);
  for (char& c : n) c = UpperAscii(c);
  return list.find(";" + n + ";") != std::string::npos;
}

std::string ProgramFilePath(std::string_view name) {
  if (name.find('\\') == std::string_view::npos && IsProgramFile(name))
    return "..\\PRG\\" + std::string(name);
  return std::string(name);
}

std::string LocateDataFile(std::string_view name) {
  const std::string given(name);
  if (name.find('\\') != std::string_view::npos) return given;
  if (platform::FileExists(given)) return given;
  if (!programFolder.empty()) {
    const std::string whole = InFolder(programFolder, name);
    if (platform::FileExists(whole)) return whole;
  }
  for (std::string_view list : {std::string_view(programFolder), std::string_view(dataSearchPath)}) {
    for (std::string_view folder : ListFolders(list)) {
      std::string path = InFolder(folder, name);
      if (platform::FileExists(path)) return path;
    }
  }
  return given;
}

void StartSettingsFiles() { SetSettingsFileNames(); }

void ResetSettingsFiles() {
  for (int i = 1; i <= kStoreCount; ++i) UnloadSettings(i);
  for (std::string& n : fileNames) n.clear();
  programFile.clear();
  programFolder.clear();
  dataSearchPath.clear();
  programFileList.reset();
  consoleFontSource = nullptr;
  UpdateSettings = UpdateSettingsRecord{};
}

}  // namespace settings
