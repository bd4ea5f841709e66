#include "win32/Win32ShellActions.h"

// Shlobj.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include "win32/Win32Text.h"

namespace quenby {

void CWin32ShellActions::OpenWebAddress(std::string_view address) {
    const std::wstring wide = WideFromUtf8(address);
    ::ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool CWin32ShellActions::ShowFileInFolder(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return false;
    }
    const std::filesystem::path absolute = std::filesystem::absolute(file, error).make_preferred();
    if (PIDLIST_ABSOLUTE item = ::ILCreateFromPathW(absolute.c_str()); item != nullptr) {
        const HRESULT shown = ::SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
        ::ILFree(item);
        if (SUCCEEDED(shown)) {
            return true;
        }
    }
    ::ShellExecuteW(nullptr, L"open", absolute.parent_path().c_str(), nullptr, nullptr,
                    SW_SHOWNORMAL);
    return true;
}

std::optional<ScreenPoint> CCursorPointer::GetCursorPos() {
    POINT point{};
    if (!::GetCursorPos(&point)) {
        return std::nullopt;
    }
    return ScreenPoint{point.x, point.y};
}

}  // namespace quenby
