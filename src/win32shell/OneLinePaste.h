#pragma once

#include <windows.h>

namespace quenby {

// Makes a one-line edit control take pasted text whole: the control itself would keep only the
// first line, so the paste is taken from the clipboard here and its line breaks become spaces,
// as the core turns them for every shell. Ctrl+V, Shift+Insert and the context menu all paste
// through WM_PASTE. The control keeps the handling until it is destroyed.
void PasteAsOneLine(HWND edit);

}  // namespace quenby
