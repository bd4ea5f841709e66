#pragma once

#include <windows.h>

#include <string>

#include "app/MessageEditorPresenter.h"
#include "win32shell/DialogAnchors.h"

namespace quenby {

// The message editor from its template, over the core's presenter.
class CMessageEditorDialog {
public:
    explicit CMessageEditorDialog(CMessageEditorPresenter& presenter) : m_presenter(presenter) {}

    // Runs the dialog modally; true when it closed with OK.
    bool Run(HWND owner);

private:
    template <class T, HWND T::*kWindow>
    friend INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnTextChanged();
    void OnOK();
    MessageEditorFields Fields() const;

    CMessageEditorPresenter& m_presenter;
    HWND m_dialog = nullptr;
    CDialogAnchors m_anchors;
    // The text as last shown, to tell what an edit changed.
    std::u16string m_strShownText;
    bool m_bSettingText = false;
};

}  // namespace quenby
