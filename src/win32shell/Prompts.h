#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string_view>

#include "app/MainView.h"

namespace quenby {

// A message box owned by `owner`, captioned with the application title.
EMessageResult ShowMessageBox(HWND owner, std::u16string_view text, EMessageIcon icon,
                              EMessageButtons buttons);
// An information notice in a task dialog with a "do not show again" box; true when it was ticked.
// A task dialog rather than SHMessageBoxCheck, whose box Wine does not show reliably.
bool ShowSuppressibleNotice(HWND owner, std::u16string_view text);
// The open or save dialog of the kind; nothing when the user cancels.
std::optional<std::filesystem::path> ChooseFile(HWND owner, EFileDialog kind);

}  // namespace quenby
