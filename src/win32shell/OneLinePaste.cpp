#include "win32shell/OneLinePaste.h"

#include <commctrl.h>

#include <optional>
#include <string>

#include "app/MessageEditorPresenter.h"
#include "win32/Win32Text.h"

namespace quenby {
namespace {

constexpr UINT_PTR kSubclassId = 1;

// The clipboard's text, or nothing when it holds none (or another program holds it open).
std::optional<std::wstring> ClipboardText(HWND owner) {
    if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !::OpenClipboard(owner)) {
        return std::nullopt;
    }
    std::optional<std::wstring> text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
            // Up to its terminating null, but never past the memory block.
            const std::size_t limit = ::GlobalSize(data) / sizeof(wchar_t);
            std::size_t length = 0;
            while (length < limit && chars[length] != L'\0') {
                ++length;
            }
            text.emplace(chars, length);
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

LRESULT CALLBACK PasteProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                           DWORD_PTR) {
    if (message == WM_PASTE) {
        if ((::GetWindowLongPtrW(edit, GWL_STYLE) & ES_READONLY) == 0) {
            if (const std::optional<std::wstring> text = ClipboardText(edit)) {
                // Everything pasted is new text: each of its line breaks becomes a space.
                const std::wstring oneLine =
                    WideFromUtf16(CMessageEditorPresenter::OnTextEdited(u"", Utf16FromWide(*text)));
                ::SendMessageW(edit, EM_REPLACESEL, TRUE,
                               reinterpret_cast<LPARAM>(oneLine.c_str()));
            }
        }
        return 0;
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(edit, &PasteProc, kSubclassId);
    }
    return ::DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

void PasteAsOneLine(HWND edit) {
    ::SetWindowSubclass(edit, &PasteProc, kSubclassId, 0);
}

}  // namespace quenby
