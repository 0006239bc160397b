#include "engine/checked_open.h"

#include <string>

#include "engine/errors.h"
#include "engine/status.h"
#include "settings/settings_files.h"
#include "ui/dialog.h"

namespace engine {

namespace {

constexpr std::string_view kTooManyData = "TUL SOK NYITOTT FILE, ERTESITSE A FEJLESZTOT";
constexpr std::string_view kTooManyIndex = "TUL SOK NYITOTT FILE, ERTESITSE A FEJLESZTO";
constexpr std::string_view kDenied = "ACCESS DENIED VAGY DISK FULL";
constexpr std::string_view kMystery = "REJTELMES HIBA";

[[noreturn]] void StopForMake(std::string_view tooMany) {
  switch (IoStatus) {
    case 4: StopWithMessage(tooMany);
    case 5: StopWithMessage(kDenied);
    default: StopWithMessage(kMystery);
  }
}

}  // namespace

void MakeDataFileChecked(DataFile& f, std::string_view name, int32_t recLen) {
  MakeDataFile(f, name, recLen);
  if (!OpOk) StopForMake(kTooManyData);
}

void MakeIndexChecked(IndexFile& index, std::string_view name, int keyLength, bool duplicates) {
  MakeIndex(index, name, keyLength, duplicates);
  if (!OpOk) StopForMake(kTooManyIndex);
}

void OpenDataFileChecked(DataFile& f, std::string_view name, int32_t recLen) {
  OpenDataFile(f, name, recLen);
  if (!OpOk) CheckedOpenFallback("NOT_DENY", &f, name, nullptr, "", recLen, false);
}

void OpenDataFileExclusiveChecked(DataFile& f, std::string_view name, int32_t recLen) {
  OpenDataFileExclusive(f, name, recLen);
  if (!OpOk) CheckedOpenFallback("DENY", &f, name, nullptr, "", recLen, false);
}

void OpenIndexChecked(IndexFile& index, std::string_view name, int keyLength, bool duplicates) {
  OpenIndex(index, name, keyLength, duplicates);
  if (!OpOk) CheckedOpenFallback("INDEX", nullptr, "", &index, name, keyLength, duplicates);
}

void CheckedOpenFallback(std::string_view kind, DataFile* data, std::string_view dataName,
                         IndexFile* index, std::string_view indexName, int32_t length,
                         bool duplicates) {
  const bool isIndex = kind == "INDEX";
  const std::string name = settings::ProgramFilePath(isIndex ? indexName : dataName);
  // A descriptor of the other sort was not handed in: nothing can be made.
  if (isIndex ? index == nullptr : data == nullptr) StopWithMessage(kMystery);
  switch (IoStatus) {
    case 2: {
      if (isIndex) {
        MakeIndex(*index, name, length, duplicates);
      } else {
        MakeDataFile(*data, name, length);
      }
      if (!OpOk) StopForMake(kTooManyData);
      if (isIndex) {
        CloseIndex(*index);
      } else {
        CloseDataFile(*data);
      }
      if (!OpOk) StopWithMessage("REJTELMES HIBA FILE LETR+CLOSE UTAN");
      if (isIndex) {
        OpenIndex(*index, name, length, duplicates);
      } else if (kind == "DENY") {
        OpenDataFileExclusive(*data, name, length);
      } else if (kind == "NOT_DENY") {
        OpenDataFile(*data, name, length);
      }
      if (!OpOk) StopWithMessage("REJTELMES HIBA FILE LETR+CLOSE+OPEN UTAN");
      return;
    }
    case 4: StopWithMessage(kTooManyData);
    case 5:
      ui::Prompt(std::string("FOGLALT A FILE, FELDOLGOZAS NEM VEGEZHETO") + '\0' + name, "");
      StopEngineProgram(0);
    default: StopWithMessage(kMystery);
  }
}

}  // namespace engine
