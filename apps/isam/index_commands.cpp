// isam commands for index files:
//
//   isam keys INDEX KEYLEN [--dup]
//       Every entry in key order, one a line: the data reference, a tab, the
//       key as UTF-8. The index is opened read-only and shared.
//   isam check INDEX KEYLEN [--dup] [--data FILE RECLEN]
//       Checks the tree (key order, duplicates by reference, 16..32 items in
//       every page but the root, leaves at one depth, page numbers inside the
//       file, no page reached twice, the free chain, RootPage) and with
//       --data that every reference names a live record of FILE. One line
//       per fault, exit code 1; a sound index gives one "ok:" line and 0.
//   isam load DATA RECLEN INDEX KEYLEN [--dup] POS LEN
//       Each line of UTF-8 text on standard input becomes a record of RECLEN
//       bytes of code page 852 (cut, or padded with blanks), stored with
//       AddRecord; its key, the LEN bytes from the 1-based position POS, is
//       added with AddKey. Shared mode, locking on; missing files are made.
//       A refused key's record is deleted again. Prints how many records were
//       added and how many keys refused.
//
// Paths are host paths (or DOS paths with a drive letter). Usage errors and
// files that cannot be opened give a message on standard error and exit 1.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data_file.h"
#include "engine/errors.h"
#include "engine/index_check.h"
#include "engine/index_file.h"
#include "engine/locking.h"
#include "engine/status.h"
#include "platform/cp852.h"
#include "platform/dos_dir.h"
#include "platform/dos_path.h"

namespace isam_index {

struct Streams {
  std::FILE* in;
  std::FILE* out;
  std::FILE* err;
};

namespace {

int Usage(const Streams& io) {
  std::fprintf(io.err,
               "usage: isam keys INDEX KEYLEN [--dup]\n"
               "       isam check INDEX KEYLEN [--dup] [--data FILE RECLEN]\n"
               "       isam load DATA RECLEN INDEX KEYLEN [--dup] POS LEN\n");
  return 1;
}

bool Number(std::string_view text, long low, long high, long& value) {
  const std::string s(text);
  char* end = nullptr;
  value = std::strtol(s.c_str(), &end, 10);
  return !s.empty() && *end == '\0' && value >= low && value <= high;
}

// A path of the command line (UTF-8, host or DOS form) as an absolute DOS
// path in code page 852, so that no search path is consulted.
bool DosPath(std::string_view arg, std::string& dos) {
  if (arg.size() >= 2 && arg[1] == ':') {
    dos = platform::Utf8ToCp852(arg);
    return true;
  }
  std::error_code ec;
  const std::filesystem::path host = std::filesystem::absolute(std::string(arg), ec);
  return !ec && platform::DosPathOfHost(host.lexically_normal().string(), dos);
}

std::string Utf8(std::string_view cp852) { return platform::Cp852ToUtf8(cp852); }

std::string OpenFailure(std::string_view arg) {
  return std::string(arg) + ": cannot open: " + Utf8(engine::RuntimeErrorText(engine::IoStatus)) +
         " (code " + std::to_string(engine::IoStatus) + ")";
}

// The size of the file must be whole slots of recLen, or the open would stop
// the program with the record-length message.
bool WholeSlots(const std::string& dos, long recLen, std::string& fault) {
  platform::DirEntry entry;
  if (platform::GetFileInfo(dos, entry) != platform::io::kOk) {
    fault = "no such file";
    return false;
  }
  if (entry.size < static_cast<uint64_t>(recLen) || entry.size % recLen != 0) {
    fault = "size " + std::to_string(entry.size) + " is not a whole number of slots of " +
            std::to_string(recLen) + " bytes (wrong length?)";
    return false;
  }
  return true;
}

// INDEX KEYLEN [--dup] at args[first..]: the index opened read-only.
bool OpenIndexArgs(const std::vector<std::string>& args, size_t first, bool duplicates,
                   engine::IndexFile& ix, const Streams& io) {
  long keyLength = 0;
  std::string dos;
  if (!Number(args[first + 1], 1, engine::kMaxKeyLength, keyLength)) {
    std::fprintf(io.err, "isam: key length must be a number from 1 to 246\n");
    return false;
  }
  std::string fault;
  if (!DosPath(args[first], dos) || !WholeSlots(dos, engine::IndexRecLen(keyLength), fault)) {
    std::fprintf(io.err, "isam: %s: %s\n", args[first].c_str(),
                 fault.empty() ? "no drive holds this path" : fault.c_str());
    return false;
  }
  engine::SetOpenMode(engine::ModeReadOnly, 0);
  engine::OpenIndex(ix, dos, static_cast<int>(keyLength), duplicates);
  engine::RestoreOpenMode();
  if (!engine::OpOk) {
    std::fprintf(io.err, "isam: %s\n", OpenFailure(args[first]).c_str());
    return false;
  }
  return true;
}

int Keys(const std::vector<std::string>& args, const Streams& io) {
  bool duplicates = false;
  if (args.size() == 4 && args[3] == "--dup") {
    duplicates = true;
  } else if (args.size() != 3) {
    return Usage(io);
  }
  engine::IndexFile ix;
  if (!OpenIndexArgs(args, 1, duplicates, ix, io)) return 1;
  engine::ClearKey(ix);
  int32_t ref = 0;
  std::string key;
  for (engine::NextKey(ix, ref, key); engine::OpOk; engine::NextKey(ix, ref, key)) {
    std::fprintf(io.out, "%d\t%s\n", ref, Utf8(key).c_str());
  }
  engine::CloseIndex(ix);
  return 0;
}

int Check(const std::vector<std::string>& args, const Streams& io) {
  bool duplicates = false;
  std::string dataArg;
  long recLen = 0;
  if (args.size() < 3) return Usage(io);
  for (size_t i = 3; i < args.size(); ++i) {
    if (args[i] == "--dup") {
      duplicates = true;
    } else if (args[i] == "--data" && i + 2 < args.size()) {
      dataArg = args[i + 1];
      if (!Number(args[i + 2], engine::kMinRecLen, engine::kMaxRecLen, recLen)) {
        std::fprintf(io.err, "isam: record length must be a number from 19 to 10000\n");
        return 1;
      }
      i += 2;
    } else {
      return Usage(io);
    }
  }
  long keyLength = 0;
  std::string dos;
  if (!Number(args[2], 1, engine::kMaxKeyLength, keyLength)) {
    std::fprintf(io.err, "isam: key length must be a number from 1 to 246\n");
    return 1;
  }
  if (!DosPath(args[1], dos)) {
    std::fprintf(io.err, "isam: %s: no drive holds this path\n", args[1].c_str());
    return 1;
  }
  std::string fault;
  if (!WholeSlots(dos, engine::IndexRecLen(keyLength), fault)) {
    std::fprintf(io.out, "%s\n", fault.c_str());
    return 1;
  }
  engine::IndexFile ix;
  if (!OpenIndexArgs(args, 1, duplicates, ix, io)) return 1;
  engine::DataFile data;
  bool withData = false;
  if (!dataArg.empty()) {
    std::string dataDos;
    if (!DosPath(dataArg, dataDos) || !WholeSlots(dataDos, recLen, fault)) {
      std::fprintf(io.err, "isam: %s: %s\n", dataArg.c_str(),
                   fault.empty() ? "no drive holds this path" : fault.c_str());
      engine::CloseIndex(ix);
      return 1;
    }
    engine::SetOpenMode(engine::ModeReadOnly, 0);
    engine::OpenDataFile(data, dataDos, static_cast<int32_t>(recLen));
    engine::RestoreOpenMode();
    if (!engine::OpOk) {
      std::fprintf(io.err, "isam: %s\n", OpenFailure(dataArg).c_str());
      engine::CloseIndex(ix);
      return 1;
    }
    withData = true;
  }
  const engine::IndexCheckResult r = engine::CheckIndex(ix, withData ? &data : nullptr);
  for (const std::string& f : r.Faults) std::fprintf(io.out, "%s\n", f.c_str());
  if (r.Faults.empty()) {
    std::fprintf(io.out, "ok: %zu keys, %d levels, %d pages, %d free pages\n", r.Entries.size(),
                 r.Depth, r.Pages, r.FreePages);
  }
  if (withData) engine::CloseDataFile(data);
  engine::CloseIndex(ix);
  return r.Faults.empty() ? 0 : 1;
}

int Load(const std::vector<std::string>& args, const Streams& io) {
  std::vector<std::string> a(args.begin() + 1, args.end());
  bool duplicates = false;
  if (a.size() == 7 && a[4] == "--dup") {
    duplicates = true;
    a.erase(a.begin() + 4);
  }
  if (a.size() != 6) return Usage(io);
  long recLen = 0, keyLength = 0, pos = 0, len = 0;
  if (!Number(a[1], engine::kMinRecLen, engine::kMaxRecLen, recLen) ||
      !Number(a[3], 1, engine::kMaxKeyLength, keyLength) || !Number(a[4], 1, recLen, pos) ||
      !Number(a[5], 1, recLen - pos + 1, len)) {
    std::fprintf(io.err,
                 "isam: RECLEN 19..10000, KEYLEN 1..246, POS and LEN inside the record\n");
    return 1;
  }
  std::string dataDos, indexDos;
  if (!DosPath(a[0], dataDos) || !DosPath(a[2], indexDos)) {
    std::fprintf(io.err, "isam: no drive holds the path\n");
    return 1;
  }
  engine::ResetOpenMode();
  engine::SetLocking(true);
  engine::DataFile data;
  engine::OpenOrMakeDataFile(data, dataDos, static_cast<int32_t>(recLen));
  if (!engine::OpOk) {
    std::fprintf(io.err, "isam: %s\n", OpenFailure(a[0]).c_str());
    return 1;
  }
  engine::IndexFile ix;
  engine::OpenOrMakeIndex(ix, indexDos, static_cast<int>(keyLength), duplicates);
  if (!engine::OpOk) {
    std::fprintf(io.err, "isam: %s\n", OpenFailure(a[2]).c_str());
    engine::CloseDataFile(data);
    return 1;
  }
  long added = 0, refused = 0;
  std::string line;
  int c;
  auto storeLine = [&] {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string record = platform::Utf8ToCp852(line);
    record.resize(static_cast<size_t>(recLen), ' ');
    // A live record never holds 0 at byte 4; blanks stand in for the byte 0.
    for (char& ch : record) {
      if (ch == '\0') ch = ' ';
    }
    int32_t r = 0;
    engine::AddRecord(data, r, record.data());
    std::string key = record.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(len));
    engine::AddKey(ix, r, key);
    if (engine::OpOk) {
      ++added;
    } else {
      engine::DeleteRecord(data, r);
      ++refused;
    }
    line.clear();
  };
  while ((c = std::fgetc(io.in)) != EOF) {
    if (c == '\n') {
      storeLine();
    } else {
      line += static_cast<char>(c);
    }
  }
  if (!line.empty()) storeLine();
  engine::CloseIndex(ix);
  engine::CloseDataFile(data);
  std::fprintf(io.out, "%ld records added, %ld keys refused\n", added, refused);
  return 0;
}

}  // namespace

// Runs args[0] ("keys", "check" or "load") with its arguments; -1 when
// args[0] is none of them.
int Run(const std::vector<std::string>& args, const Streams& io) {
  if (args.empty()) return -1;
  if (args[0] == "keys") return Keys(args, io);
  if (args[0] == "check") return Check(args, io);
  if (args[0] == "load") return Load(args, io);
  return -1;
}

}  // namespace isam_index

// The entry for isam's main: argv[1] is the command. Returns the exit code,
// or -1 when the command is not one of these.
int IndexCommand(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return isam_index::Run(args, {stdin, stdout, stderr});
}
