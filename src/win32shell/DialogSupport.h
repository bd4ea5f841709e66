#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace quenby {

// The object behind a dialog, handed to DialogBoxParam and kept in the window from
// WM_INITDIALOG on; null before that.
template <class T>
T* DialogObject(HWND dialog, UINT message, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    }
    return reinterpret_cast<T*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

// The dialog procedure of an object that handles its own dialog's messages: the object comes with
// WM_INITDIALOG, which sets its window member, and every message goes to its Handle. Classes
// befriend it: DialogProc<CThis, &CThis::m_dialog>.
template <class T, HWND T::*kWindow>
INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    T* self = DialogObject<T>(dialog, message, lParam);
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_INITDIALOG) {
        self->*kWindow = dialog;
    }
    return self->Handle(message, wParam, lParam);
}

// An icon of the program at the size Windows draws it for the window's DPI: big (title bar
// switcher) or small (caption, notification area). Shared, never destroyed.
HICON LoadProgramIcon(HWND window, int resource, bool small);
// Gives the window the program's icon, big and small.
void SetWindowIcons(HWND window, int resource);
// The text of a dialog's control, and setting it.
std::u16string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, std::u16string_view text);
bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);

}  // namespace quenby
