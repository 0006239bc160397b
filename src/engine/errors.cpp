#include "engine/errors.h"

#include <ctime>
#include <string>

#include "console/screen.h"
#include "engine/data_file.h"
#include "engine/status.h"
#include "platform/cp852.h"
#include "platform/dos_file.h"
#include "platform/keyboard.h"
#include "platform/lifecycle.h"
#include "platform/terminal.h"
#include "settings/registry_settings.h"
#include "text/literal.h"
#include "text/picture.h"
#include "text/strings.h"
#include "ui/dialog.h"
#include "ui/events.h"

namespace engine {

using namespace text::literals;

namespace {

struct CodeText {
  int code;
  std::string_view text;
};

constexpr CodeText kTexts[] = {
    {2, "A file nem létezik"_cpv},
    {3, "Az útvonal vagy könyvtár nem létezik"_cpv},
    {4, "Túl sok nyitott file"_cpv},
    {5, "A file nem hozzáférhetö"_cpv},
    {6, "Helytelen file-kezelés"_cpv},
    {12, "Helytelen file-hozzáférési mód"_cpv},
    {15, "Helytelen egység-szám"_cpv},
    {16, "A könyvtár nem törölhetö"_cpv},
    {17, "A file átnevezése nem megvalósítható"_cpv},
    {100, "Lemez olvasási hiba"_cpv},
    {101, "Lemez írási hiba"_cpv},
    {102, "File-hozzárendelés hiányzik"_cpv},
    {103, "A file nincs megnyitva"_cpv},
    {104, "A file nincs megnyitva olvasásra"_cpv},
    {105, "A file nincs megnyitva írásra"_cpv},
    {106, "Helytelen numerikus formátum"_cpv},
    {150, "írásvédett lemez"_cpv},
    {151, "Ismeretlen eszköz"_cpv},
    {152, "A drive nem üzemképes"_cpv},
    {153, "Az utasítás ismeretlen"_cpv},
    {154, "Adatbeli CRC hiba"_cpv},
    {155, "Invalid drive specified"_cpv},
    {156, "A file-mutató helytelen pozícionálása lemezen"_cpv},
    {157, "Az adathordozó típusa helytelen"_cpv},
    {158, "A szektor nem található"_cpv},
    {159, "A papír elfogyott a nyomtatóból"_cpv},
    {160, "írási hiba a periférián"_cpv},
    {161, "Olvasási hiba a periférián"_cpv},
    {162, "A hardware meghibásodott"_cpv},
    {200, "Osztás nullával"_cpv},
    {201, "Index vagy értelmezési tartomány túlcsordulás"_cpv},
    {204, "Helytelen pointeres müvelet"_cpv},
    {205, "Lebegöpontos túlcsordulás"_cpv},
    {206, "Lebegöpontos alulcsordulás"_cpv},
    {207, "Helytelen lebegöpontos müvelet"_cpv},
    {210, "Object not initialized"_cpv},
    {211, "Call to abstract method"_cpv},
    {212, "Stream registration error"_cpv},
    {213, "Collection index out of range"_cpv},
    {214, "Collection overflow error"_cpv},
    {215, "Arithmetic overflow error"_cpv},
    {216, "General Protection fault"_cpv},
};

std::string StoredName(const DataFile& f) { return f.Name; }

// Appends one line (CR LF ended) to the log in one write; a log that cannot
// be opened is skipped.
void AppendLog(const std::string& line) {
  platform::DosFile log;
  if (platform::OpenFile(kErrorLogName, platform::Access::Write, platform::Share::DenyNone,
                         platform::Disposition::OpenAlways, log) != platform::io::kOk) {
    return;
  }
  int64_t size = 0;
  if (log.Size(size) == platform::io::kOk && log.Seek(size) == platform::io::kOk) {
    const std::string bytes = line + "\r\n";
    log.Write(bytes.data(), bytes.size());
  }
  log.Close();
}

LogTime Now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  if (const std::tm* p = std::localtime(&t)) tm = *p;
  return LogTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// The report's lines on the screen, over the bottom rows, as a console
// program's output would appear there.
void ShowOnScreen(const std::string& lines) {
  int row = 21;
  console::FillRect(1, 21, 80, 25, ' ', 0x07);
  size_t start = 0;
  while (start < lines.size() && row <= 25) {
    const size_t end = lines.find('\n', start);
    const std::string line = lines.substr(start, end == std::string::npos ? end : end - start);
    if (!line.empty()) console::PutText(line, row, 1, 0x07);
    ++row;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  console::RefreshScreen();
}

[[noreturn]] void Report(const std::string& name, int32_t record, bool secondForm) {
  const uint16_t code = IoStatus;
  const std::string reportText = FatalReportText(code);
  AppendLog(ErrorLogLine(Now(), reportText, name, record));
  const std::string lines = FatalConsoleLines(code, name, record);
  // The terminal's text is UTF-8; the report keeps its readable form there
  // after the screen is put back.
  if (EngineStopHook) StopEngineProgram(secondForm ? 0 : code);
  platform::SetExitReport(platform::Cp852ToUtf8(lines).c_str());
  if (platform::CurrentTerminal().Started()) {
    ShowOnScreen(lines);
    if (secondForm) {
      while (!platform::KeyWaiting()) ui::WaitForInput(100);
    } else {
      ui::ReadKey();
    }
  }
  StopEngineProgram(secondForm ? 0 : code);
}

}  // namespace

std::string RuntimeErrorText(int code) {
  if (code == 0) return "";
  for (const CodeText& c : kTexts) {
    if (c.code == code) return std::string(c.text);
  }
  return "Hibaüzenet neve ismeretlen"_cp;
}

uint16_t RuntimeCodeOfOsError(int osError) {
  if (osError >= 19 && osError <= 31) return static_cast<uint16_t>(osError + 131);
  if (osError == 32) return 5;
  return static_cast<uint16_t>(osError);
}

std::string FatalReportText(uint16_t code) {
  return "Data access I/O error :" + text::FormatNumber("###", code) + ":" +
         RuntimeErrorText(code);
}

std::string ErrorLogLine(const LogTime& when, std::string_view reportText,
                         std::string_view fileName, int32_t record) {
  std::string line = "Data Access Error ";
  line += std::to_string(when.hour) + ":" + std::to_string(when.minute) + ":" +
          std::to_string(when.second) + " ";
  line += std::to_string(when.month) + "/" + std::to_string(when.day) + "/" +
          std::to_string(when.year);
  line += reportText;
  line += " File: " + text::TrimRight(fileName);
  line += " Record: " + std::to_string(record);
  line += " Station:" + settings::StationId();
  return line;
}

std::string FatalConsoleLines(uint16_t code, std::string_view fileName, int32_t record) {
  std::string s = "\n";
  s += "DATA-access I/O error " + std::to_string(code) + " \n";
  s += "File " + std::string(fileName) + " Record " + std::to_string(record) + "\n";
  s += "Program aborted\n";
  return s;
}

void CheckIoStatus(const DataFile& file, int32_t record) {
  if (IoStatus == 0) return;
  Report(StoredName(file), record, false);
}

void CheckIoStatus(std::string_view fileName, int32_t record) {
  if (IoStatus == 0) return;
  Report(std::string(fileName), record, false);
}

void CheckIoStatusWaitKey(const DataFile& file, int32_t record) {
  if (IoStatus == 0) return;
  Report(StoredName(file), record, true);
}

void StopWithMessage(std::string_view message) {
  ui::Prompt("Hiba:" + std::string(message), "");
  StopEngineProgram(0);
}

void (*EngineStopHook)(int code) = nullptr;

void StopEngineProgram(int code) {
  if (EngineStopHook) EngineStopHook(code);
  platform::StopProgram(code);
}

}  // namespace engine
