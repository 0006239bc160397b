// A line of text centred on the top row of the current text window.
#pragma once

#include <string_view>

namespace lists {

// Writes text (its first 80 characters, cut further to the window's width)
// centred on the first row of the current text window, in the current
// attribute.
void ShowTopLine(std::string_view text);

}  // namespace lists
