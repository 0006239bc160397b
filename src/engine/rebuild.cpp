#include "engine/rebuild.h"

#include <cstring>
#include <vector>

#include "console/screen.h"
#include "engine/data_file.h"
#include "engine/errors.h"
#include "engine/index_file.h"
#include "engine/le32.h"
#include "engine/locking.h"
#include "engine/status.h"
#include "lists/external_sort.h"
#include "lists/top_line.h"
#include "platform/dos_fs.h"
#include "text/literal.h"
#include "text/picture.h"
#include "text/strings.h"
#include "ui/colours.h"
#include "ui/dialog.h"
#include "ui/window.h"

namespace engine {

using namespace text::literals;

namespace {

constexpr int kMaxKey = 246;
constexpr int32_t kMaxNumber = 2147483647;
// Sort record: the key (counted, 247 bytes), the record number, the sort
// text (counted, 256 bytes).
constexpr int kKeyAt = 0;
constexpr int kRecordAt = 247;
constexpr int kSortTextAt = 251;
constexpr uint8_t kWindowAttr = 7;

RebuildState state;
int refreshEvery = 1024;

// The run's working set.
struct Run {
  platform::DosFile data;
  IndexFile index;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(kScratchSize, 0);
  int counterX = 0, counterY = 0;  // where the progress count is written
};
Run* run = nullptr;

// A failed operation on the plain data file ends the program as a run-time
// I/O error does.
void Check(platform::IoCode rc, int32_t record) {
  if (rc == platform::io::kOk) return;
  IoStatus = rc;
  CheckIoStatus(state.DataName + ".dat", record);
}

// The progress label and where its count goes.
void StartCounter(std::string_view what) {
  ui::WriteFlow(text::PadRight(NameWithoutFolder(state.IndexName) + std::string(what), 25, '.') +
                ": ");
  run->counterX = console::CursorColumn();
  run->counterY = console::CursorRow();
}

void ShowCount(int32_t n, bool last) {
  // Drawn into the screen every time; sent to the terminal every n-th time
  // and at the end, so that a million records do not mean a million
  // terminal updates.
  const bool send = last || refreshEvery <= 1 || n % refreshEvery == 0;
  if (!send) console::LockUpdates();
  ui::WriteAt(run->counterX, run->counterY, text::FormatNumber("######", n),
              console::GetTextAttr());
  if (!send) console::UnlockUpdates();
}

// The record's key: its parts one after another. Bytes outside the record
// buffer (a part before position 1 or past 10000) count as 0.
std::string KeyOf(const std::vector<uint8_t>& buf) {
  std::string key;
  for (int i = 0; i < state.Parts; ++i) {
    const int64_t from = int64_t{state.Kp[i]} - 1;
    for (int64_t p = from; p < from + state.Kh[i] && key.size() < kMaxKey; ++p)
      key += p >= 0 && p < kScratchSize ? static_cast<char>(buf[static_cast<size_t>(p)]) : '\0';
  }
  return key;
}

void Input() {
  Run& r = *run;
  const int32_t rh = state.Rh;
  int32_t record = 0, freeHead = -1, freeCount = 0, fed = 0;
  StartCounter(" beolvasott");
  int64_t bytes = 0;
  Check(r.data.Size(bytes), 0);
  const int64_t size = bytes / rh;
  uint8_t sortRecord[kSortRecordSize];
  while (record < size - 1) {
    const int64_t at = int64_t{record + 1} * rh;
    Check(r.data.ReadAt(at, r.buffer.data(), static_cast<size_t>(rh)), record + 1);
    ++record;
    if (r.buffer[4] != 0) {
      const std::string key = KeyOf(r.buffer);
      const std::string sortText = RebuildSortText(key, record);
      std::memset(sortRecord, 0, sizeof sortRecord);
      sortRecord[kKeyAt] = static_cast<uint8_t>(key.size());
      std::memcpy(sortRecord + kKeyAt + 1, key.data(), key.size());
      Put32(sortRecord + kRecordAt, record);
      sortRecord[kSortTextAt] = static_cast<uint8_t>(sortText.size());
      std::memcpy(sortRecord + kSortTextAt + 1, sortText.data(), sortText.size());
      lists::SortPut(sortRecord);
      ++fed;
      ShowCount(fed, false);
    } else {
      Put32(r.buffer.data(), freeHead);
      freeHead = record;
      ++freeCount;
      Check(r.data.WriteAt(at, r.buffer.data(), static_cast<size_t>(rh)), record);
    }
  }
  ShowCount(fed, true);
  // The header anew: the free chain just built, the slot count, nothing else.
  std::fill(r.buffer.begin(), r.buffer.end(), 0);
  Put32(r.buffer.data() + 0, freeHead);
  Put32(r.buffer.data() + 4, freeCount);
  Put32(r.buffer.data() + 12, static_cast<int32_t>(size));
  Check(r.data.WriteAt(0, r.buffer.data(), static_cast<size_t>(rh)), 0);
}

bool Compare(const uint8_t* a, const uint8_t* b) {
  const uint8_t la = a[kSortTextAt], lb = b[kSortTextAt];
  const int c = std::memcmp(a + kSortTextAt + 1, b + kSortTextAt + 1, la < lb ? la : lb);
  return c < 0 || (c == 0 && la < lb);
}

std::string Line(std::string_view s) { return std::string(s) + "\r\n"; }

void Output() {
  Run& r = *run;
  platform::DosFile errors;
  Check(platform::CreateFile(state.ErrorFileName, errors), 0);
  Check(errors.Write(Line(state.IndexName).data(), state.IndexName.size() + 2), 0);
  ui::WriteFlowLine("");
  StartCounter(" indexelt");
  uint8_t sortRecord[kSortRecordSize];
  while (!lists::SortDone()) {
    lists::SortGet(sortRecord);
    std::string key(reinterpret_cast<const char*>(sortRecord + kKeyAt + 1), sortRecord[kKeyAt]);
    const int32_t record = Get32(sortRecord + kRecordAt);
    AddKey(r.index, record, key);
    if (OpOk) {
      ++state.Added;
      ShowCount(state.Added, false);
    } else {
      ++state.Refused;
      const std::string line = Line(text::FormatNumber("@@@@@@@@@@", record) + "  kulcs:" + key);
      Check(errors.Write(line.data(), line.size()), 0);
    }
  }
  ShowCount(state.Added, true);
  ui::WriteFlowLine("");
  Check(errors.Close(), 0);
  Check(r.data.Close(), 0);

  if (state.Refused > 0) {
    const std::string question = "Kimaradt rekordok száma: "_cp +
                                 text::FormatNumber("######", state.Refused) + '\0' +
                                 "Töröljem?  I/N"_cp;
    if (ui::Prompt(question, "IN") == 1) {
      platform::DosFile in;
      if (platform::OpenFile(state.ErrorFileName, platform::Access::Read,
                             platform::Share::DenyNone, platform::Disposition::OpenExisting,
                             in) == platform::io::kOk) {
        std::string all, chunk(4096, '\0');
        size_t got = 0;
        while (in.Read(chunk.data(), chunk.size(), &got) == platform::io::kOk && got > 0)
          all.append(chunk, 0, got);
        in.Close();
        DataFile f;
        OpenDataFile(f, state.DataName + ".dat", state.Rh);
        if (OpOk) {
          size_t pos = all.find('\n');  // the first line is the index name
          while (pos != std::string::npos && pos + 1 < all.size()) {
            const size_t end = all.find('\n', pos + 1);
            const std::string line = all.substr(pos + 1, end == std::string::npos
                                                             ? std::string::npos
                                                             : end - pos - 1);
            int32_t n = 0;
            if (text::IntValue(line.substr(0, 10), n) && n > 0) DeleteRecord(f, n);
            pos = end;
          }
          CloseDataFile(f);
        }
      }
    }
  } else {
    platform::DeleteFile(state.ErrorFileName);
  }
}

// Takes the command into the state; false when it is not to be run.
bool TakeCommand(std::string_view command) {
  const int words = text::WordCount(command);
  if (words < 5) return false;
  RebuildState s;
  s.Parts = (words - 4) / 2;
  s.DataName = text::WordOf(command, 1);
  s.IndexName = text::WordOf(command, 2);
  s.ErrorFileName = s.IndexName + "_hiba.txt";
  s.Rh = text::IntOrZero(text::WordOf(command, 3));
  s.D = text::IntOrZero(text::WordOf(command, 4));
  if (s.Parts > kMaxKeyParts) {
    state.ErrorFileName = s.ErrorFileName;
    return false;
  }
  for (int i = 0; i < s.Parts; ++i) {
    s.Kp[i] = text::IntOrZero(text::WordOf(command, 2 * (i + 1) + 3));
    s.Kh[i] = text::IntOrZero(text::WordOf(command, 2 * (i + 1) + 4));
    if (s.Kh[i] > 0) s.KeyLength += s.Kh[i];
  }
  state = s;
  // Record lengths below a header's 19 bytes and key lengths the index
  // cannot take would damage the data file or leave no index to fill.
  return s.Rh >= kMinRecLen && s.Rh <= kMaxRecLen && (s.D == 0 || s.D == 1) && s.Parts >= 1 &&
         s.KeyLength >= 1 && s.KeyLength <= kMaxKey;
}

}  // namespace

const RebuildState& LastRebuild() { return state; }

void SetRebuildRefreshEvery(int n) { refreshEvery = n; }

std::string RebuildSortText(std::string_view key, int32_t record) {
  std::string s(key.substr(0, kMaxKey));
  s += text::FormatNumber("@@@@@@@@@@", static_cast<long double>(kMaxNumber) - record);
  if (s.size() > text::kMaxText) s.resize(text::kMaxText);
  return s;
}

void RebuildIndex(bool withWindow, std::string_view command) {
  if (text::WordCount(command) == 1) {
    ui::WriteFlowLine(kRebuildUsage);
    return;
  }
  state.Added = state.Refused = 0;
  state.Built = false;
  if (!TakeCommand(command)) return;

  const std::string title = " " + state.DataName + " ";
  ui::ScreenState saved;
  console::CellBuffer under;
  if (withWindow) {
    ui::SaveScreenState(saved);
    console::SetTextWindow(10, 6, 70, 19);
    ui::SaveWindowCells(under);
    console::SetTextAttr(kWindowAttr);
    ui::FillWindow(' ', kWindowAttr);
    ui::DrawWindowFrame(title, ui::FrameSetOf(ui::kSingleFrame), kWindowAttr, kWindowAttr);
  } else {
    lists::ShowTopLine(title);
  }
  auto removeWindow = [&] {
    if (!withWindow) return;
    console::SetTextWindow(10, 6, 70, 19);
    ui::RestoreWindowCells(under);
    ui::RestoreScreenState(saved);
  };

  Run r;
  const std::string dataFile = state.DataName + ".dat";
  if (!platform::FileExists(dataFile) ||
      platform::OpenFile(dataFile, platform::Access::ReadWrite, platform::Share::DenyNone,
                         platform::Disposition::OpenExisting, r.data) != platform::io::kOk) {
    removeWindow();
    return;
  }
  run = &r;
  SuspendLocking();
  MakeIndex(r.index, state.IndexName + ".idx", state.KeyLength, state.D == 1);
  if (OpOk) {
    const int code = lists::ExternalSort(kSortRecordSize, Input, Compare, Output);
    state.Built = code == 0;
    CloseIndex(r.index);
  }
  ResumeLocking();
  if (r.data.IsOpen()) r.data.Close();
  run = nullptr;
  removeWindow();
}

}  // namespace engine
