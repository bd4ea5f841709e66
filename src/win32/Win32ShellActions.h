#pragma once

#include "platform/Pointer.h"
#include "platform/ShellActions.h"

namespace quenby {

// Web addresses through ShellExecuteW (the user's browser); a file shown selected in Explorer with
// SHOpenFolderAndSelectItems, or its folder opened where that fails. COM must be initialised on
// the calling thread (the UI thread is).
class CWin32ShellActions final : public IShellActions {
public:
    void OpenWebAddress(std::string_view address) override;
    bool ShowFileInFolder(const std::filesystem::path& file) override;
};

// The mouse pointer through GetCursorPos.
class CCursorPointer final : public IPointer {
public:
    std::optional<ScreenPoint> GetCursorPos() override;
};

}  // namespace quenby
