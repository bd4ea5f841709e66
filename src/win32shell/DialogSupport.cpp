#include "win32shell/DialogSupport.h"

#include "win32/Win32Text.h"

namespace quenby {

HICON LoadProgramIcon(HWND window, int resource, bool small) {
    const UINT dpi = window != nullptr ? ::GetDpiForWindow(window) : 96;
    const int size = ::GetSystemMetricsForDpi(small ? SM_CXSMICON : SM_CXICON, dpi);
    // LR_SHARED: loaded once per size and owned by the system, so callers never free it.
    return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource),
                                           IMAGE_ICON, size, size, LR_SHARED));
}

void SetWindowIcons(HWND window, int resource) {
    ::SendMessageW(window, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(LoadProgramIcon(window, resource, false)));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(LoadProgramIcon(window, resource, true)));
}

std::u16string ControlText(HWND dialog, int id) {
    HWND control = ::GetDlgItem(dialog, id);
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), length + 1)));
    return Utf16FromWide(text);
}

void SetControlText(HWND dialog, int id, std::u16string_view text) {
    ::SetDlgItemTextW(dialog, id, WideFromUtf16(text).c_str());
}

bool IsChecked(HWND dialog, int id) {
    return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void SetChecked(HWND dialog, int id, bool checked) {
    ::CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

}  // namespace quenby
