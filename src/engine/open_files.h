// The open-file table: every data and index file the program has open
// through the engine, so that all of them can be closed at once and taken
// into transactions together.
//
// 200 entries numbered 1..200. Each holds a reference to the caller's
// descriptor (empty = free), the kind of file and the member flag of
// BeginMemberTransactions. Beside them: the high-water mark (the highest
// entry handed out so far) and the count of registered files.
#pragma once

#include <cstdint>

namespace engine {

struct DataFile;

inline constexpr int kOpenFileTableSize = 200;

enum FileKind : uint8_t { KindData = 0, KindIndex = 1 };

struct OpenFileEntry {
  DataFile* file = nullptr;  // the descriptor (an index file's data part)
  uint8_t kind = KindData;
  int32_t member = 0;        // 1: takes part in BeginMemberTransactions
  void* owner = nullptr;     // an index file: its whole descriptor
};

// Entry n (1..200); entry 0 and numbers outside are a dummy, always empty.
OpenFileEntry& TableEntry(int n);
int TableHighWater();
int TableFileCount();

// Takes an entry: the first empty one up to the high-water mark, else the
// mark + 1. Returns its number, or 0 when all 200 are taken (then "Túl sok
// file!" is shown and the mark stays 200).
int TakeTableEntry();
// Stores the descriptor and its kind in entry n (0 is ignored).
void RegisterFile(int n, DataFile* file, FileKind kind, void* owner = nullptr);
// Clears entry n (1..200) and lowers the count.
void FreeTableEntry(int n);

// The number of non-empty entries 1..mark.
int OpenFileCount();
// Closes every registered file by its kind (data files with CloseDataFile,
// index files through IndexCloser), then empties the table.
void CloseAllFiles();

// How CloseAllFiles closes an index file (set by the index layer): it gets
// the entry's owner. An index opened through OpenDataFile registers its
// entry again with RegisterFile(slot, its data part, KindIndex, itself).
extern void (*IndexCloser)(void* owner);

// Empty table, mark 0 (start-up and tests).
void ClearOpenFileTable();

}  // namespace engine
