#include "win32shell/AboutBox.h"

#include <string>

#include "app/DialogTemplates.h"
#include "app/ProfileValues.h"
#include "app/Texts.h"
#include "win32/Win32Text.h"
#include "win32shell/DialogAnchors.h"
#include "win32shell/DialogSupport.h"
#include "win32shell/ResourceIds.h"

namespace quenby {
namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            // The box does not resize: this only gives captions the room the font needs.
            CDialogAnchors anchors;
            anchors.Capture(dialog, kAboutDialog);
            ::SetWindowTextW(dialog, WideFromUtf16(std::u16string(text::kAboutCaptionPrefix) +
                                                   std::u16string(kAppTitle))
                                         .c_str());
            SetWindowIcons(dialog, IDI_QUENBY_IDLE);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                ::EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void ShowAboutBox(HWND owner) {
    ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(QUENBY_ABOUT_DIALOG_ID), owner,
                      &AboutProc, 0);
}

}  // namespace quenby
