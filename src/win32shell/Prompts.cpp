#include "win32shell/Prompts.h"

#include <commctrl.h>
#include <commdlg.h>

#include <string>

#include "app/ProfileValues.h"
#include "win32/Win32Text.h"

namespace quenby {
namespace {

const std::wstring& Title() {
    static const std::wstring title = WideFromUtf16(kAppTitle);
    return title;
}

}  // namespace

EMessageResult ShowMessageBox(HWND owner, std::u16string_view text, EMessageIcon icon,
                              EMessageButtons buttons) {
    UINT flags = 0;
    switch (icon) {
        case EMessageIcon::Information:
            flags |= MB_ICONINFORMATION;
            break;
        case EMessageIcon::Question:
            flags |= MB_ICONQUESTION;
            break;
        case EMessageIcon::Warning:
            flags |= MB_ICONWARNING;
            break;
        case EMessageIcon::Error:
            flags |= MB_ICONERROR;
            break;
    }
    switch (buttons) {
        case EMessageButtons::Ok:
            flags |= MB_OK;
            break;
        case EMessageButtons::YesNo:
            flags |= MB_YESNO;
            break;
        case EMessageButtons::YesNoCancel:
            flags |= MB_YESNOCANCEL;
            break;
    }
    // Owned by a hidden window, a box would be hidden as well: then it stands on its own.
    HWND shownOwner = (owner != nullptr && ::IsWindowVisible(owner)) ? owner : nullptr;
    const std::wstring wide = WideFromUtf16(text);
    switch (::MessageBoxW(shownOwner, wide.c_str(), Title().c_str(),
                          flags | (shownOwner == nullptr ? MB_SETFOREGROUND : 0u))) {
        case IDYES:
            return EMessageResult::Yes;
        case IDNO:
            return EMessageResult::No;
        case IDCANCEL:
            return EMessageResult::Cancel;
        default:
            return EMessageResult::Ok;
    }
}

bool ShowSuppressibleNotice(HWND owner, std::u16string_view text) {
    const std::wstring wide = WideFromUtf16(text);
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszWindowTitle = Title().c_str();
    config.pszMainIcon = TD_INFORMATION_ICON;
    config.pszContent = wide.c_str();
    config.pszVerificationText = L"Do not show this message again";
    BOOL checked = FALSE;
    if (FAILED(::TaskDialogIndirect(&config, nullptr, nullptr, &checked))) {
        // Without task dialogs the notice is still shown, and shown again next time.
        ShowMessageBox(owner, text, EMessageIcon::Information, EMessageButtons::Ok);
        return false;
    }
    return checked != FALSE;
}

std::optional<std::filesystem::path> ChooseFile(HWND owner, EFileDialog kind) {
    // Each filter is a name and a pattern, the list ends with an empty name.
    static constexpr wchar_t kDataFilter[] =
        L"Quenby Unencrypted Data Files (*.quenbydata)\0*.quenbydata\0";
    static constexpr wchar_t kTextFilter[] = L"Simple Text Files (*.txt)\0*.txt\0";
    std::wstring buffer(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrFilter = kind == EFileDialog::AppendTextFile ? kTextFilter : kDataFilter;
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    BOOL chosen = FALSE;
    if (kind == EFileDialog::SaveDataFile) {
        // No default extension and no overwrite prompt: the controller adds the extension and
        // asks about the file that would really be written.
        dialog.Flags |= OFN_PATHMUSTEXIST;
        chosen = ::GetSaveFileNameW(&dialog);
    } else {
        dialog.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
        chosen = ::GetOpenFileNameW(&dialog);
    }
    if (!chosen) {
        return std::nullopt;
    }
    return std::filesystem::path(buffer.c_str());
}

}  // namespace quenby
