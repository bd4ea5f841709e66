#include "win32shell/SettingsDialog.h"

#include "app/DialogTemplates.h"
#include "app/ProfileValues.h"
#include "app/Texts.h"
#include "win32/Win32Text.h"
#include "win32shell/DialogSupport.h"
#include "win32shell/Prompts.h"
#include "win32shell/ResourceIds.h"

namespace quenby {
namespace {

enum : int {
    IDC_REMEMBER_POSITION = 1013,
    IDC_SET_TEXT = 1018,
    IDC_SET_TEXT_INFO = 1019,
    IDC_HELP_SET_TEXT = 1020,
    IDC_ENCRYPTION_INFO = 1021,
    IDC_STOP_ON_FOCUS_CHANGE = 1024,
    IDC_METHOD_UNICODE = 1031,
    IDC_METHOD_LAYOUT = 1032,
};
constexpr UINT_PTR kProbeTimer = 1;

}  // namespace

void CSettingsDialog::Run(HWND owner) {
    ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(QUENBY_SETTINGS_DIALOG_ID),
                      owner, &DialogProc<CSettingsDialog, &CSettingsDialog::m_dialog>,
                      reinterpret_cast<LPARAM>(this));
}

INT_PTR CSettingsDialog::Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_TIMER:
            if (const std::optional<std::u16string> line = m_presenter.OnTimer()) {
                SetControlText(m_dialog, IDC_SET_TEXT_INFO, *line);
            }
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) {
                return FALSE;
            }
            switch (LOWORD(wParam)) {
                case IDOK:
                    OnOK();
                    return TRUE;
                case IDCANCEL:
                    ::EndDialog(m_dialog, IDCANCEL);
                    return TRUE;
                case IDC_SET_TEXT:
                    OnSetTextClicked();
                    return TRUE;
                case IDC_HELP_SET_TEXT:
                    ShowMessageBox(m_dialog, text::kSetTextHelp, EMessageIcon::Information,
                                   EMessageButtons::Ok);
                    return TRUE;
                case IDC_ENCRYPTION_INFO:
                    ShowMessageBox(m_dialog, text::kSettingsEncryptionInfo,
                                   EMessageIcon::Information, EMessageButtons::Ok);
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

void CSettingsDialog::OnInitDialog() {
    m_anchors.Capture(m_dialog, kSettingsDialog);
    const SettingsFields fields = m_presenter.OnInitDialog();
    // A stored method that names neither button checks none.
    SetChecked(m_dialog, IDC_METHOD_UNICODE, fields.m_nInputMethod == KEY_INPUT_UNICODE);
    SetChecked(m_dialog, IDC_METHOD_LAYOUT, fields.m_nInputMethod == KEY_INPUT_LAYOUT);
    SetChecked(m_dialog, IDC_REMEMBER_POSITION, fields.m_bRememberPosition);
    SetChecked(m_dialog, IDC_SET_TEXT, fields.m_bSetText);
    SetChecked(m_dialog, IDC_STOP_ON_FOCUS_CHANGE, fields.m_bStopOnFocusChange);
    SetControlText(m_dialog, IDC_STOP_ON_FOCUS_CHANGE, m_presenter.StopOnFocusChangeLabel());
    SetWindowIcons(m_dialog, IDI_QUENBY_IDLE);
    ::SetWindowTextW(m_dialog, WideFromUtf16(m_presenter.Caption()).c_str());
    if (m_presenter.IsProbing()) {
        ::SetTimer(m_dialog, kProbeTimer, kSetTextProbeMilliseconds, nullptr);
    }
}

void CSettingsDialog::OnSetTextClicked() {
    if (m_presenter.OnSetTextClicked(IsChecked(m_dialog, IDC_SET_TEXT))) {
        ::SetTimer(m_dialog, kProbeTimer, kSetTextProbeMilliseconds, nullptr);
    } else {
        SetControlText(m_dialog, IDC_SET_TEXT_INFO, u"");
        ::KillTimer(m_dialog, kProbeTimer);
    }
}

void CSettingsDialog::OnOK() {
    const int method = IsChecked(m_dialog, IDC_METHOD_UNICODE)  ? KEY_INPUT_UNICODE
                       : IsChecked(m_dialog, IDC_METHOD_LAYOUT) ? KEY_INPUT_LAYOUT
                                                                : -1;
    m_presenter.OnOK({method, IsChecked(m_dialog, IDC_REMEMBER_POSITION),
                      IsChecked(m_dialog, IDC_SET_TEXT),
                      IsChecked(m_dialog, IDC_STOP_ON_FOCUS_CHANGE)});
    ::KillTimer(m_dialog, kProbeTimer);
    ::EndDialog(m_dialog, IDOK);
}

}  // namespace quenby
