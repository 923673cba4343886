#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits a text into items by the component library's comma-text rule: blanks and control
// characters (codes 1 to 32) around items are skipped; an item ends at a comma or at such a
// character; one comma with blanks around it separates two items, so two commas in a row enclose
// an empty item while a comma at the very end adds none; an item that begins with a double quote
// runs to its closing quote, a doubled quote inside standing for one. A zero byte ends the text.
std::vector<std::string> SplitCommaText(std::string_view text);
