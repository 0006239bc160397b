// The settings files: small sectioned text files that are read whole into
// memory, looked up and changed there, and written back whole; the update
// settings kept in the program's settings; and the rules by which the data
// and parameter files of the suite are found.
//
// Stores:
//   1 ProgramSettings  <program's folder>\prog.res
//   2 UserSettings     <program's folder>\user<StationId>.res
//   3 DataSettings     adat.res in the current (data) folder
//   4 ConsoleSettings  no file: built from the registry's console font when
//                      loaded, written back to the registry when saved
//
// File layout: lines of code page 852 ended by CR LF when written (LF alone
// and a missing end of the last line are read as well). A line beginning with
// "*" starts a section named by the rest of the line; inside a section a line
// key=value holds one setting (key: the text before the first "=", value:
// everything after it, further "=" and trailing blanks included). Other lines
// are kept as they are and ignored by look-ups. Section names are compared
// ignoring the case of A..Z, keys exactly.
//
// A store is loaded at most once; look-ups, writes and counts on a store that
// is not loaded do nothing and answer as for an absent entry. Nothing reaches
// the disk before SaveSettings.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

enum Store : int {
  ProgramSettings = 1,
  UserSettings = 2,
  DataSettings = 3,
  ConsoleSettings = 4,
};

// --- File form ---------------------------------------------------------------

// The lines of a settings file: lines end at LF or CR LF, the last line needs
// no end, a CR not followed by LF stays in its line.
std::vector<std::string> SplitSettingsLines(std::string_view bytes);
// The file form of lines: each followed by CR LF.
std::string JoinSettingsLines(const std::vector<std::string>& lines);

// --- Program folder and search lists --------------------------------------

// The folder of a program file: the path up to its last "\", "/" or ":",
// without a final "\" or "/" unless that ends a drive's root ("C:\").
std::string FolderOf(std::string_view programFile);

// The running program's own file (a DOS path); its folder names the settings
// files of stores 1 and 2. Given by the start-up before the settings start.
void SetProgramFile(std::string_view dosPath);
const std::string& ProgramFile();

// ProgramFolder: the program's folder, and a search list (further folders
// appended after ";"). Set when the user-interface module starts.
const std::string& ProgramFolder();
void SetProgramFolder(std::string_view folder);

// DataSearchPath: the ";"-separated folders searched for data and parameter
// files (a copy of ProgramFolder when the user-interface module starts).
const std::string& DataSearchPath();
void SetDataSearchPath(std::string_view path);
// DataSearchPath := DataSearchPath + ";" + folder.
void AddDataSearchFolder(std::string_view folder);

// ProgramFileList: each of the suite's own file names (upper case, no
// folder) enclosed in ";". Absent unless a program provides it.
void SetProgramFileList(std::optional<std::string> list);
const std::optional<std::string>& ProgramFileList();

// --- Stores ----------------------------------------------------------------

// Sets the file names of stores 1-3 from the program's folder and StationId.
void SetSettingsFileNames();
// The file name of store 1, 2 or 3 (empty for others).
const std::string& SettingsFileName(int store);

// Stores 1-3: a missing file is first created holding the line
// "User" + StationId (a failure to create it stops the program with the
// run-time I/O error); then all its lines are read. A read error leaves the
// store not loaded. Store 4: the lines "*cmdwindow", "font=" + face name and
// "fontsize=" + height, from the registry's console font.
void LoadSettings(int store);
// Stores 1-3: writes the lines back, each ended by CR LF (a failure stops the
// program with the run-time I/O error). Store 4: writes the console font in
// use into the store (see SetConsoleFontSource), then the store's font and
// size to the registry. A store that is not loaded is not written.
void SaveSettings(int store);
// Makes a store loaded with the lines of bytes as if read from its file (for
// tests and fuzzing; store 1, 2 or 3).
void LoadSettingsFromBytes(int store, std::string_view bytes);
// Forgets the lines; the next load reads the file again.
void UnloadSettings(int store);
bool SettingsLoaded(int store);

// The value of key in section (empty when absent); lineIndex receives its
// line's index, -1 when absent.
std::string ReadSetting(int store, std::string_view section, std::string_view key,
                        int* lineIndex = nullptr);
// Sets key=value in section: replaces the key's line, or inserts a new line
// just before the next section's line (at the end when the section is the
// last), or appends "*" + section and the setting when the section is
// missing. Line breaks inside the texts are written as blanks, so that a value
// can never start a line of its own.
void WriteSetting(int store, std::string_view section, std::string_view key,
                  std::string_view value);
// Index of the section's line, -1 when absent.
int FindSection(int store, std::string_view section);
// Advances index by one; true with key and value when that line is a setting
// (not empty, not a section line, holding "="). Started at a section's index,
// the calls walk that section until the first false.
bool NextSetting(int store, int& index, std::string& key, std::string& value);
int SettingLineCount(int store);
// The line at index, empty when out of range.
std::string SettingLine(int store, int index);

// The console font in use (face name, height in pixels), asked for by
// SaveSettings(ConsoleSettings); the console window module provides it.
// Without it the store's own "font" and "fontsize" are saved.
using ConsoleFontSource = void (*)(std::string& faceName, int& size);
void SetConsoleFontSource(ConsoleFontSource source);

// --- Update settings -----------------------------------------------------------

// Fixed-width fields, left-aligned and blank-padded, not counted; all zero
// bytes until first loaded.
struct UpdateSettingsRecord {
  std::array<char, 20> lastUpdate{};   // "frissdatum"
  std::array<char, 20> lastCheck{};    // "frissnezdatum"
  std::array<char, 200> source{};      // "frisshely"
  std::array<char, 20> version{};      // "netver"
  std::array<char, 80> message{};      // "uzenet"
};
extern UpdateSettingsRecord UpdateSettings;

// Reads the section "FRISSIT" of the program's settings into UpdateSettings
// (blanks first, then each non-empty value cut to its field). Does nothing
// when the user's or the program's settings file does not exist.
void LoadUpdateSettings();
// Writes every field at its full width into "FRISSIT" of the program's
// settings (and creates the user's settings file when it is missing). Zero
// bytes of a field are written as blanks.
void SaveUpdateSettings();

// --- Suite files ------------------------------------------------------------------

// True when ProgramFileList names the file (folder and the extensions .DAT,
// .IDX and .PAR dropped, case ignored).
bool IsProgramFile(std::string_view name);
// "..\PRG\" + name for one of the suite's own files given without a folder,
// otherwise the name unchanged.
std::string ProgramFilePath(std::string_view name);
// The path at which a data or parameter file exists: a name holding "\" is
// returned unchanged; otherwise the first that exists of the name itself (the
// current folder), ProgramFolder + "\" + name, the name in each folder of
// ProgramFolder, then in each folder of DataSearchPath. The name unchanged
// when none exists. Empty folders of the lists are skipped.
std::string LocateDataFile(std::string_view name);

// Start of the settings module: the settings file names.
void StartSettingsFiles();

// Everything of this module back to its start (for tests).
void ResetSettingsFiles();

}  // namespace settings
