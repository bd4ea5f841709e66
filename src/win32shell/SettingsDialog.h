#pragma once

#include <windows.h>

#include "app/SettingsPresenter.h"

namespace quenby {

// The settings dialog from its template, over the core's presenter, with the line that says once
// a second whether text can be set under the pointer.
class CSettingsDialog {
public:
    explicit CSettingsDialog(CSettingsPresenter& presenter) : m_presenter(presenter) {}

    // Runs the dialog modally.
    void Run(HWND owner);

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam);
    void OnInitDialog();
    void OnSetTextClicked();
    void OnOK();

    CSettingsPresenter& m_presenter;
    HWND m_dialog = nullptr;
};

}  // namespace quenby
