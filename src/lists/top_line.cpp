#include "lists/top_line.h"

#include "console/screen.h"

namespace lists {

void ShowTopLine(std::string_view text) {
  console::PutTextCentred(text.substr(0, 80), 1, console::GetTextAttr());
}

}  // namespace lists
