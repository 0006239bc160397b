// The small boxes the engine shows while it waits for another station: the
// record-busy box of a record lock, and the box of a transaction or shared
// use wait. Each is drawn once per wait and removed when the wait ends; the
// cells under it come back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console/screen.h"

namespace engine {

class WaitBox {
 public:
  // The record-busy box: columns 30..60, rows 11..16.
  void ShowRecordBusy(std::string_view fileName, int32_t record);
  // The transaction / shared-use box: columns 30..60, rows 12..16, three
  // lines: firstLine, "Várjon,vagy Esc-el vissza", the name cut to 24.
  void ShowFileBusy(std::string_view firstLine, std::string_view name);
  // Puts the cells back; flushKeys: drop waiting keys afterwards.
  void Remove(bool flushKeys);
  bool Shown() const { return shown_; }

 private:
  void Open(int left, int top, int right, int bottom);
  bool shown_ = false;
  int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
  console::CellBuffer saved_;
};

// The first lines of the file-busy box.
std::string TransactionRunningLine();  // "   Tranzakció folyik!    "
std::string FileTakenLine();           // "   A file-t foglalják!   "

}  // namespace engine
