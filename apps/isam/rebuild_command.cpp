// isam rebuild "Datafile Indexfile Rh D Kp Kh [Kp Kh]..."
//
// Rebuilds an index from its data file in the current folder (see
// engine/rebuild.h for the command text). The terminal's full screen is taken
// for the run: the progress window and, when a unique index refused records,
// the question whether to delete them. Afterwards the screen is given back
// and one line tells what was built. Exit code 0 when the index was built,
// 1 otherwise (usage, numbers out of range, no data file, a sort failure).
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "engine/rebuild.h"
#include "platform/cp852.h"
#include "platform/screen.h"
#include "platform/terminal.h"
#include "text/strings.h"
#include "ui/events.h"

int RebuildCommand(std::string_view commandUtf8) {
  const std::string command = platform::Utf8ToCp852(commandUtf8);
  if (text::WordCount(command) < 5) {
    std::fprintf(stderr, "usage: isam rebuild \"%s\"\n",
                 std::string(engine::kRebuildUsage).c_str());
    return 1;
  }
  // The screen for the progress and the question: the real terminal when
  // there is one; without one the run goes on unseen, and a question would
  // have nobody to answer it, so it stops there.
  auto real = platform::MakePosixTerminal();
  const bool onTerminal = real->Start();
  std::unique_ptr<platform::Terminal> previous;
  if (onTerminal) {
    previous = platform::SetTerminal(std::move(real));
    platform::InvalidateScreen();
    platform::RefreshScreen();
    ui::BeforeWaitHook = nullptr;  // the screen is ours already
  }
  engine::RebuildIndex(true, command);
  if (onTerminal) {
    platform::CurrentTerminal().Stop();
    platform::SetTerminal(std::move(previous));
  }
  const engine::RebuildState& s = engine::LastRebuild();
  if (!s.Built) {
    std::fprintf(stderr, "isam: no index built (numbers out of range, or %s.dat missing)\n",
                 platform::Cp852ToUtf8(s.DataName).c_str());
    return 1;
  }
  std::printf("%s.idx: %d keys, %d records refused", platform::Cp852ToUtf8(s.IndexName).c_str(),
              s.Added, s.Refused);
  if (s.Refused > 0)
    std::printf(" (listed in %s)", platform::Cp852ToUtf8(s.ErrorFileName).c_str());
  std::printf("\n");
  return 0;
}
