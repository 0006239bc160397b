// Bytes sent to the terminal by a refresh: a full repaint, a one-cell change,
// a refresh with nothing changed, and a typical dialog opening; with the time
// each refresh takes. Figures are relative to the full repaint of the same run.
#include <chrono>
#include <cstdio>
#include <memory>

#include "console/screen.h"
#include "platform/screen.h"
#include "platform/terminal.h"

namespace {

platform::HeadlessTerminal* term;

struct Figure {
  uint64_t bytes, writes;
  double micros;
};

template <typename F>
Figure Measure(F change, int repeat = 200) {
  Figure f{0, 0, 0};
  double total = 0;
  for (int i = 0; i < repeat; ++i) {
    change(i);
    term->output.clear();
    const uint64_t w0 = term->writeCalls;
    const auto t0 = std::chrono::steady_clock::now();
    platform::RefreshScreen();
    total += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    f.bytes = term->output.size();
    f.writes = term->writeCalls - w0;
  }
  f.micros = total / repeat;
  return f;
}

void FillDesktop(int seed) {
  platform::LockUpdates();
  console::FillRect(1, 1, 80, 25, 0xB0, 0x17);
  console::DrawFrame(10, 5, 70, 20, 0x1F, 0x1E, "Vantor");
  for (int r = 6; r < 20; ++r)
    console::PutText("Sor " + std::to_string(r + seed) + ": sz\xA0mla \x82s k\x94nyvel\x82s", r, 12,
                     static_cast<uint8_t>(0x1F + (r & 1)));
  platform::UnlockUpdates();
}

void Print(const char* name, const Figure& f, const Figure& full) {
  std::printf("%-34s %8llu bytes %3llu write(s) %8.1f us   %6.3f x full repaint bytes\n", name,
              static_cast<unsigned long long>(f.bytes), static_cast<unsigned long long>(f.writes),
              f.micros, full.bytes ? double(f.bytes) / double(full.bytes) : 0.0);
}

}  // namespace

int main() {
  auto t = std::make_unique<platform::HeadlessTerminal>();
  term = t.get();
  platform::SetTerminal(std::move(t));
  platform::ResetScreen();
  term->Start();

  const Figure full = Measure([](int i) {
    FillDesktop(i);
    platform::InvalidateScreen();
  });
  const Figure worst = Measure([](int i) {
    for (int k = 0; k < platform::kScreenCells; ++k)
      platform::ScreenBuffer[k] = platform::MakeCell(static_cast<uint8_t>(0x80 + (k + i) % 128),
                                                     static_cast<uint8_t>((k + i) & 0xFF));
    platform::InvalidateScreen();
  });
  FillDesktop(0);
  platform::RefreshScreen();
  const Figure one = Measure([](int i) {
    platform::CellAt(12, 40) = platform::MakeCell(static_cast<uint8_t>('a' + i % 26), 0x1F);
  });
  const Figure none = Measure([](int) {});
  const Figure dialog = Measure([](int i) {
    FillDesktop(0);
    platform::RefreshScreen();
    platform::LockUpdates();
    console::FillRect(25, 10, 55, 14, ' ', 0x4F);
    console::DrawFrame(25, 10, 55, 14, 0x4F, 0x4E, "K\x82rd\x82s");
    console::PutText("Folytatja? " + std::to_string(i), 12, 30, 0x4F);
    platform::UnlockUpdates();
  });

  std::printf("Terminal bytes per refresh (80 x 25 screen)\n");
  Print("full repaint, typical screen", full, full);
  Print("full repaint, every cell differs", worst, full);
  Print("one cell changed", one, full);
  Print("nothing changed", none, full);
  Print("a 31 x 5 dialog opened", dialog, full);
  return none.bytes == 0 ? 0 : 1;
}
