#pragma once

#include "platform/ShellActions.h"

namespace quenby {

// Web addresses through the desktop's opener (xdg-open); a file shown in its folder through the
// file manager's org.freedesktop.FileManager1 ShowItems, or by opening the folder where no file
// manager answers that call.
class CDesktopShellActions final : public IShellActions {
public:
    void OpenWebAddress(std::string_view address) override;
    bool ShowFileInFolder(const std::filesystem::path& file) override;
};

}  // namespace quenby
