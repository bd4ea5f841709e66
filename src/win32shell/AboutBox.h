#pragma once

#include <windows.h>

namespace quenby {

// The About box, from the system menu: modal, owned by `owner`.
void ShowAboutBox(HWND owner);

}  // namespace quenby
