// Checked opens: opens and makes for programs that cannot go on without the
// file. A missing file is created empty and then opened the way asked for;
// any other failure stops the program with a short message in capitals.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/data_file.h"
#include "engine/index_file.h"

namespace engine {

// MakeDataFile / MakeIndex; a failure stops the program with the message of
// its IoStatus (4 too many files, 5 access denied or disk full, any other
// code "REJTELMES HIBA").
void MakeDataFileChecked(DataFile& f, std::string_view name, int32_t recLen);
void MakeIndexChecked(IndexFile& index, std::string_view name, int keyLength, bool duplicates);

// OpenDataFile (in CurrentOpenMode), OpenDataFileExclusive, OpenIndex; on
// failure the fallback below with the kind "NOT_DENY", "DENY" or "INDEX".
void OpenDataFileChecked(DataFile& f, std::string_view name, int32_t recLen);
void OpenDataFileExclusiveChecked(DataFile& f, std::string_view name, int32_t recLen);
void OpenIndexChecked(IndexFile& index, std::string_view name, int keyLength, bool duplicates);

// After a failed plain open, by its IoStatus: 2 creates the file (an index
// for kind "INDEX", a data file otherwise), closes it and opens it again the
// way the kind says; 4 stops with the too-many-files message; 5 shows that
// the file is held ("FOGLALT A FILE, ...") with its name and stops; any other
// code stops with "REJTELMES HIBA". The name is first completed by the
// program-file rule (settings::ProgramFilePath) and used from then on.
// Only the file of the kind's sort is used (data or index); the other may be
// null.
void CheckedOpenFallback(std::string_view kind, DataFile* data, std::string_view dataName,
                         IndexFile* index, std::string_view indexName, int32_t length,
                         bool duplicates);

}  // namespace engine
