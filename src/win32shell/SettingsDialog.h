#pragma once

#include <windows.h>

#include "app/SettingsPresenter.h"
#include "win32shell/DialogAnchors.h"

namespace quenby {

// The settings dialog from its template, over the core's presenter, with the line that says once
// a second whether text can be set under the pointer.
class CSettingsDialog {
public:
    explicit CSettingsDialog(CSettingsPresenter& presenter) : m_presenter(presenter) {}

    // Runs the dialog modally.
    void Run(HWND owner);

private:
    template <class T, HWND T::*kWindow>
    friend INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnSetTextClicked();
    void OnOK();

    CSettingsPresenter& m_presenter;
    HWND m_dialog = nullptr;
    // The dialog does not resize: this only gives captions the room the font needs.
    CDialogAnchors m_anchors;
};

}  // namespace quenby
