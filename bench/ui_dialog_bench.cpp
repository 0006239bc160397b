// Bytes sent to the terminal to open and to close a prompt over a busy
// screen (two framed windows on a patterned background), against a full
// repaint of the same screen; and to move a window one cell.
#include <cstdio>
#include <memory>
#include <string>

#include "console/screen.h"
#include "platform/screen.h"
#include "platform/terminal.h"
#include "text/literal.h"
#include "ui/console_setup.h"
#include "ui/dialog.h"
#include "ui/events.h"
#include "ui/window.h"

using namespace text::literals;

namespace {

platform::HeadlessTerminal* term;
uint64_t atWait = 0, writesAtWait = 0;

void Desktop() {
  console::LockUpdates();
  console::FillRect(1, 1, 80, 25, 0xB1, 0x13);
  for (int r = 2; r <= 24; r += 2)
    console::PutText("Könyvelési tétel " + std::to_string(r) + " ........ 12 345,00 Ft", r, 3, 0x1E);
  console::UnlockUpdates();
  console::RefreshScreen();
}

// Called when the prompt is drawn and about to wait: note the bytes and
// answer it.
void AnswerWhenDrawn() {
  atWait = term->bytesWritten;
  writesAtWait = term->writeCalls;
  term->ScriptBytes("\r");
}

struct Figures {
  uint64_t open, close, openWrites, closeWrites;
};

Figures MeasurePrompt(const std::string& text, const char* buttons) {
  const uint64_t b0 = term->bytesWritten, w0 = term->writeCalls;
  ui::BeforeWaitHook = AnswerWhenDrawn;
  const int answer = ui::Prompt(text, buttons);
  ui::BeforeWaitHook = nullptr;
  if (answer != 1) std::fprintf(stderr, "unexpected answer %d\n", answer);
  return {atWait - b0, term->bytesWritten - atWait, writesAtWait - w0, term->writeCalls - writesAtWait};
}

}  // namespace

int main() {
  auto t = std::make_unique<platform::HeadlessTerminal>();
  term = t.get();
  platform::SetTerminal(std::move(t));
  term->Start();
  platform::ScreenStart();
  ui::StartToolkitModule();

  Desktop();
  console::SetTextAttr(0x1F);
  ui::Window a(5, 3, 45, 12);
  a.SetTitle("Első ablak"_cp);
  a.Draw();
  console::SetTextAttr(0x2F);
  ui::Window b(30, 12, 70, 20);
  b.SetTitle("Második ablak"_cp);
  b.Draw();

  platform::InvalidateScreen();
  const uint64_t f0 = term->bytesWritten;
  platform::RefreshScreen();
  const uint64_t full = term->bytesWritten - f0;

  const Figures small = MeasurePrompt("Menti a változásokat?"_cp, "IN");
  std::string lines;
  for (int i = 0; i < 8; ++i) lines += std::string(i ? "\0" : "", i ? 1 : 0) + "Ez a kérdés " + std::to_string(i + 1) + ". sora, elég hosszú ahhoz, hogy széles legyen.";
  const Figures large = MeasurePrompt(lines, "INS");

  const uint64_t m0 = term->bytesWritten, mw0 = term->writeCalls;
  b.MoveTo(31, 12);
  const uint64_t move = term->bytesWritten - m0, moveWrites = term->writeCalls - mw0;

  std::printf("Full repaint of the screen:             %6llu bytes\n", (unsigned long long)full);
  auto row = [&](const char* name, uint64_t bytes, uint64_t writes) {
    std::printf("%-40s %6llu bytes %3llu write(s)  %6.3f x full repaint\n", name,
                (unsigned long long)bytes, (unsigned long long)writes, double(bytes) / double(full));
  };
  row("Prompt (1 line, Igen/Nem): open", small.open, small.openWrites);
  row("Prompt (1 line, Igen/Nem): close", small.close, small.closeWrites);
  row("Prompt (8 lines, 3 buttons): open", large.open, large.openWrites);
  row("Prompt (8 lines, 3 buttons): close", large.close, large.closeWrites);
  row("Window moved one column", move, moveWrites);
  return 0;
}
