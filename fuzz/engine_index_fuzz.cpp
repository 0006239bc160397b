// Index files of any content: opening one, walking it both ways, searching,
// adding and deleting keys must end normally or in the engine's stop (the
// fatal report), never in a crash, a sanitizer report or a hang.
//
// Input: byte 0 chooses the key length (1..16), byte 1 the duplicates flag
// and the keys used (its bits), the rest is the file. The engine's stop is
// turned into an exception so that the run goes on with the next input.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "engine/errors.h"
#include "engine_harness.h"
#include "engine/index_check.h"
#include "engine/index_file.h"
#include "engine/locking.h"
#include "engine/open_files.h"
#include "engine/status.h"
#include "platform/dos_path.h"
#include "platform/screen.h"
#include "platform/terminal.h"
#include "ui/events.h"

namespace {

using fuzzharness::folder;
using fuzzharness::Stopped;

void Setup() {
  fuzzharness::StartEngineHarness("vantor-index-fuzz");
  // No other station changes the file: a retried search meets the same
  // damage, so one retry shows the path without slowing every input.
  engine::SearchRetries = 1;
  engine::StartEngine();
}

void Exercise(engine::IndexFile& ix, uint8_t flags) {
  engine::CheckIndex(ix);
  int32_t ref = 0;
  std::string key;
  // Walks are bounded: a sound file of this size has far fewer entries.
  engine::ClearKey(ix);
  for (int i = 0; i < 3000; ++i) {
    engine::NextKey(ix, ref, key);
    if (!engine::OpOk) break;
  }
  engine::ClearKey(ix);
  for (int i = 0; i < 3000; ++i) {
    engine::PrevKey(ix, ref, key);
    if (!engine::OpOk) break;
  }
  const char* keys[] = {"", "A", "M", "ZZZZ", "\xFF", "A0", "B", "K1"};
  for (int i = 0; i < 8; ++i) {
    key = keys[(i + flags) % 8];
    engine::FindKey(ix, ref, key);
    key = keys[(i * 3 + flags) % 8];
    engine::SearchKey(ix, ref, key);
    engine::PrevKey(ix, ref, key);
    key = keys[i];
    engine::FindLastKey(ix, ref, key);
  }
  for (int i = 0; i < 40; ++i) {
    key = keys[i % 8] + std::to_string(i * 7 % 13);
    if ((flags >> (i % 8)) & 1) {
      engine::AddKey(ix, i + 1, key);
    } else {
      ref = i + 1;
      engine::DeleteKey(ix, ref, key);
    }
  }
  engine::CheckIndex(ix);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (Setup(), true);
  (void)ready;
  if (size < 2) return 0;
  const int keyLength = 1 + data[0] % 16;
  const uint8_t flags = data[1];
  {
    std::ofstream out(folder + "/F.IDX", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 2), static_cast<std::streamsize>(size - 2));
  }
  unlink((folder + "/DAVADAR.ERR").c_str());
  engine::ResetOpenMode();
  engine::SetLocking(true);
  {
    engine::IndexFile ix;
    try {
      engine::OpenIndex(ix, "F.IDX", keyLength, flags & 1);
      if (engine::OpOk) {
        Exercise(ix, flags);
        engine::CloseIndex(ix);
      }
    } catch (const Stopped&) {
      engine::ForgetCachedPages();
    }
    engine::ClearOpenFileTable();
  }
  return 0;
}
