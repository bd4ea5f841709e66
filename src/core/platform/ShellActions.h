#pragma once

#include <filesystem>
#include <string_view>

namespace quenby {

// What the desktop does for the program.
class IShellActions {
public:
    virtual ~IShellActions() = default;
    // Opens a web address in the user's browser; failures are not reported.
    virtual void OpenWebAddress(std::string_view address) = 0;
    // Shows the file selected in its folder in the file manager (or just the folder); false when
    // the file does not exist.
    virtual bool ShowFileInFolder(const std::filesystem::path& file) = 0;
};

}  // namespace quenby
