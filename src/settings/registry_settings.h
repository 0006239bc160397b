// The suite's values in the registry: the per-user console font, the
// installation folders of a product, the machine-wide list of folders from
// which help files may be opened, and the console's default font size.
//
// Every operation opens its key, does one thing and closes it again. Registry
// failures never leave an operation: reads fall back to their defaults and
// writes answer false.
//
// Keys and values (per-user store unless said otherwise):
//   Software\Vantor\Console   prefix + "FontSize21"  number  height x 65536
//                             prefix + "FaceName"    text    font face name
//                             "FontSize"             number  read only, fallback height
//   Software\<product>        "SetupPath"            text    folders separated by ";"
//   per-machine: SOFTWARE\Microsoft\HTMLHelp\1.x\HHRestrictions and
//                SOFTWARE\Microsoft\HTMLHelp\1.x\ItssRestrictions
//                             "UrlAllowList"         text    folders separated by ";"
//   Console                   "FontSize"             number  read only
// The prefix is StationId followed by "_", or nothing when StationId is empty,
// so that every workstation id keeps its own console font.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace settings {

// The workstation id: at most 4 characters (code page 852), empty at start-up.
const std::string& StationId();
// Sets it, cut to 4 characters.
void SetStationId(std::string_view id);

// Start of the registry module: StationId becomes empty.
void StartRegistrySettings();

// The console font of this workstation: returns the height (0 when none is
// stored) and sets faceName ("Lucida Console" when the key exists but holds
// no face name; empty when the key does not exist). The height is the high
// half of prefix + "FontSize21", or of "FontSize" when that cannot be read.
int16_t ReadConsoleFont(std::string& faceName);

// Stores the height (as height x 65536) and, when not empty, the face name.
// True when the key could be opened or created and every write succeeded.
bool WriteConsoleFont(int16_t height, std::string_view faceName);

// The "SetupPath" list of a product; empty when it is missing or unreadable.
std::string ReadSetupPath(std::string_view product);

// Adds a folder to the product's "SetupPath" list unless it is in it already
// (the key is created when missing). False only when a registry error
// occurred.
bool AddSetupPath(std::string_view product, std::string_view folder);

// Lets the help viewer open help files from a folder: adds it to both
// machine-wide allow lists (a new list is folder + ";file://;"). A folder on
// drive C: needs no permission and changes nothing. False when the lists
// could not be read or written (the per-machine store needs administrator
// rights).
bool AllowHelpFolder(std::string_view folder);

// The console's default font height ("Console", "FontSize" / 65536 rounded to
// the nearest whole number); 0 when it is not stored.
int ConsoleDefaultFontSize();

// True when one of the ";"-separated entries of list equals name (exactly,
// case included).
bool IsInList(std::string_view name, std::string_view list);

}  // namespace settings
