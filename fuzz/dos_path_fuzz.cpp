// Fuzzes the DOS path parser and resolver, the DOS pattern matcher and the
// Windows command line splitter with arbitrary bytes. The drives are mapped to
// a fresh empty folder, so that no lookup wanders through the real host tree;
// a resolved path must always stay inside its drive's folder.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dos_fs.h"
#include "platform/process.h"

namespace {
std::string gRoot;

void RemoveRoot() {
  rmdir((gRoot + "/Sub").c_str());
  rmdir(gRoot.c_str());
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char tmpl[] = "/tmp/dos_path_fuzz_XXXXXX";
  if (!mkdtemp(tmpl)) abort();
  gRoot = tmpl;
  std::string sub = gRoot + "/Sub";
  if (mkdir(sub.c_str(), 0700) != 0) abort();
  atexit(RemoveRoot);
  unsetenv("DRIVES");
  if (!platform::SetDriveTable({{'C', gRoot}, {'D', sub}})) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  for (auto code : {platform::NameCode::Cp852, platform::NameCode::Cp1250}) {
    platform::HostPath hp;
    if (platform::ResolvePath(platform::DosName(in, code), hp) == platform::io::kOk) {
      const std::string& root = hp.drive == 'D' ? gRoot + "/Sub" : gRoot;
      if (hp.path.compare(0, root.size(), root) != 0) abort();
      if (hp.path.size() > root.size() && hp.path[root.size()] != '/') abort();
    }
  }
  platform::DirSearch s;
  platform::DirEntry e;
  if (platform::FindFirst(in, platform::attr::kAny, s, e) == platform::io::kOk)
    while (platform::FindNext(s, e) == platform::io::kOk) {
    }
  const size_t half = size / 2;
  platform::MatchesDosPattern(in.substr(0, half), in.substr(half));
  platform::SplitCommandLine(in);
  std::vector<platform::DriveMapping> drives;
  platform::ParseDriveList(in, drives);
  return 0;
}
