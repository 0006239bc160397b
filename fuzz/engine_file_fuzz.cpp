// Data files of any content: opening one and using it must end either
// normally or in the engine's stop (a fatal report, the record-length
// message), never in a crash, a sanitizer report or a hang.
//
// Input: the first byte chooses the record length (19..58), the rest is the
// file. The engine's stop is turned into an exception here so that the run
// goes on with the next input.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/data_file.h"
#include "engine/errors.h"
#include "engine_harness.h"
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
  fuzzharness::StartEngineHarness("vantor-engine-fuzz");
  engine::StartEngine();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (Setup(), true);
  (void)ready;
  if (size < 1) return 0;
  const int32_t recLen = 19 + data[0] % 40;
  {
    std::ofstream out(folder + "/F.DAT", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  unlink((folder + "/DAVADAR.ERR").c_str());
  engine::ResetOpenMode();
  engine::SetLocking(true);
  {
    engine::DataFile f;
    try {
      engine::OpenDataFile(f, "F.DAT", recLen);
      if (engine::OpOk) {
        std::vector<uint8_t> buf(static_cast<size_t>(recLen), 7);
        const int32_t slots = engine::FileLength(f);
        engine::UsedRecords(f);
        for (int32_t r = 0; r < slots && r < 64; ++r) engine::ReadRecord(f, r, buf.data());
        int32_t n = 0;
        engine::AddRecord(f, n, buf.data());
        engine::AddRecord(f, n, buf.data());
        engine::DeleteRecord(f, n);
        engine::AddRecord(f, n, buf.data());
        f.Handle.Seek(0);
        for (int i = 0; i < 4; ++i) engine::ReadNextRecord(f, buf.data());
        engine::CloseDataFile(f);
      }
    } catch (const Stopped&) {
    }
    engine::ClearOpenFileTable();
  }
  return 0;
}
