#include "engine/open_files.h"

#include <array>

#include "engine/data_file.h"
#include "text/literal.h"
#include "ui/dialog.h"

namespace engine {

using namespace text::literals;

void (*IndexCloser)(void* owner) = nullptr;

namespace {

std::array<OpenFileEntry, kOpenFileTableSize + 1> entries;  // [0] unused
int highWater = 0;
int fileCount = 0;
OpenFileEntry dummy;

}  // namespace

OpenFileEntry& TableEntry(int n) {
  if (n < 1 || n > kOpenFileTableSize) {
    dummy = OpenFileEntry{};
    return dummy;
  }
  return entries[n];
}

int TableHighWater() { return highWater; }
int TableFileCount() { return fileCount; }

int TakeTableEntry() {
  int n = 0;
  for (int i = 1; i <= highWater; ++i) {
    if (entries[i].file == nullptr) {
      n = i;
      break;
    }
  }
  if (n == 0) n = ++highWater;
  if (n <= kOpenFileTableSize) {
    entries[n] = OpenFileEntry{};
    ++fileCount;
    return n;
  }
  highWater = kOpenFileTableSize;
  ui::Prompt("Túl sok file!"_cpv, "");
  return 0;
}

void RegisterFile(int n, DataFile* file, FileKind kind, void* owner) {
  if (n < 1 || n > kOpenFileTableSize) return;
  entries[n].file = file;
  entries[n].kind = kind;
  entries[n].owner = owner;
}

void FreeTableEntry(int n) {
  if (n < 1 || n > kOpenFileTableSize) return;
  if (fileCount > 0) --fileCount;
  entries[n] = OpenFileEntry{};
}

int OpenFileCount() {
  int count = 0;
  for (int i = 1; i <= highWater; ++i) count += entries[i].file != nullptr;
  return count;
}

void CloseAllFiles() {
  for (int i = 1; i <= highWater; ++i) {
    OpenFileEntry e = entries[i];
    if (e.file == nullptr) continue;
    if (e.kind == KindIndex && IndexCloser && e.owner) {
      IndexCloser(e.owner);
    } else {
      CloseDataFile(*e.file);
    }
  }
  ClearOpenFileTable();
}

void ClearOpenFileTable() {
  entries.fill(OpenFileEntry{});
  highWater = 0;
  fileCount = 0;
}

}  // namespace engine
