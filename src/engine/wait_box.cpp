#include "engine/wait_box.h"

#include "engine/data_file.h"
#include "platform/screen.h"
#include "text/literal.h"
#include "text/picture.h"
#include "text/strings.h"
#include "ui/events.h"
#include "ui/window.h"

namespace engine {

using namespace text::literals;

std::string TransactionRunningLine() { return "   Tranzakció folyik!    "_cp; }
std::string FileTakenLine() { return "   A file-t foglalják!   "_cp; }

// Keys waiting are dropped, the cells under the box saved, and the box drawn
// in the inverse of the current colour with a double frame. The console
// state is left as it was found.
void WaitBox::Open(int left, int top, int right, int bottom) {
  ui::FlushKeys();
  ui::ScreenState state;
  ui::SaveScreenState(state);
  left_ = left;
  top_ = top;
  right_ = right;
  bottom_ = bottom;
  console::SetTextWindow(left, top, right, bottom);
  ui::SaveWindowCells(saved_);
  const uint8_t a = console::SwapColours(console::GetTextAttr());
  console::SetTextAttr(a);
  console::ClearWindow();
  ui::DrawWindowFrame("", ui::FrameSetOf(ui::kDoubleFrame), a, a);
  shown_ = true;
  ui::RestoreScreenState(state);
}

void WaitBox::ShowRecordBusy(std::string_view fileName, int32_t record) {
  if (shown_) return;
  Open(30, 11, 60, 16);
  ui::ScreenState state;
  ui::SaveScreenState(state);
  console::SetTextWindow(left_ + 1, top_ + 1, right_ - 1, bottom_ - 1);
  const uint8_t a = console::SwapColours(state.attr);
  const std::string file = ("File: " + NameWithoutFolder(fileName)).substr(0, 24);
  const std::string number = text::Trim(text::FormatNumber("########", record));
  ui::WriteAt(1, 1, text::Centred("Egy kis türelmet kérek"_cpv, 30), a);
  ui::WriteAt(1, 2, text::Centred("a rekord foglalt !", 30), a);
  ui::WriteAt(1, 3, text::Centred(file, 30), a);
  ui::WriteAt(1, 4, text::Centred("Rec.no: " + number, 30), a);
  ui::RestoreScreenState(state);
  platform::RefreshScreen();
}

void WaitBox::ShowFileBusy(std::string_view firstLine, std::string_view name) {
  if (shown_) return;
  Open(30, 12, 60, 16);
  ui::ScreenState state;
  ui::SaveScreenState(state);
  console::SetTextWindow(left_ + 1, top_ + 1, right_ - 1, bottom_ - 1);
  const uint8_t a = console::SwapColours(state.attr);
  ui::WriteAt(1, 1, firstLine, a);
  ui::WriteAt(1, 2, "Várjon,vagy Esc-el vissza"_cpv, a);
  ui::WriteAt(2, 3, name.substr(0, 24), a);
  ui::RestoreScreenState(state);
  platform::RefreshScreen();
}

void WaitBox::Remove(bool flushKeys) {
  if (!shown_) return;
  ui::ScreenState state;
  ui::SaveScreenState(state);
  console::SetTextWindow(left_, top_, right_, bottom_);
  ui::RestoreWindowCells(saved_);
  ui::RestoreScreenState(state);
  platform::RefreshScreen();
  shown_ = false;
  if (flushKeys) ui::FlushKeys();
}

}  // namespace engine
