#include "win32shell/MessageEditorDialog.h"

#include <cstring>
#include <vector>

#include "win32/Win32Text.h"
#include "win32shell/DialogSupport.h"
#include "win32shell/OneLinePaste.h"
#include "win32shell/Prompts.h"
#include "win32shell/ResourceIds.h"

namespace quenby {
namespace {

enum : int {
    IDC_TEXT = 1002,
    IDC_SECONDS = 1003,
    IDC_MILLISECONDS = 1004,
    IDC_ENTER_BEFORE = 1011,
    IDC_ENTER_AFTER = 1012,
    IDC_CHAR_DELAY_MIN = 1022,
    IDC_CHAR_DELAY_MAX = 1023,
};

int FieldId(EEditorField field) {
    switch (field) {
        case EEditorField::Seconds:
            return IDC_SECONDS;
        case EEditorField::MilliSeconds:
            return IDC_MILLISECONDS;
        case EEditorField::CharDelayMin:
            return IDC_CHAR_DELAY_MIN;
        case EEditorField::CharDelayMax:
            return IDC_CHAR_DELAY_MAX;
        case EEditorField::Text:
            break;
    }
    return IDC_TEXT;
}

}  // namespace

bool CMessageEditorDialog::Run(HWND owner) {
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(QUENBY_EDITOR_DIALOG_ID),
                             owner,
                             &DialogProc<CMessageEditorDialog, &CMessageEditorDialog::m_dialog>,
                             reinterpret_cast<LPARAM>(this)) == IDOK;
}

INT_PTR CMessageEditorDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return FALSE;  // the focus was put into the text
        case WM_SIZE:
            m_anchors.Apply();
            return TRUE;
        case WM_GETMINMAXINFO:
            m_anchors.LimitTracking(*reinterpret_cast<MINMAXINFO*>(lParam));
            return TRUE;
        case WM_DPICHANGED:
            m_anchors.Rescale(HIWORD(wParam));
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    OnOK();
                    return TRUE;
                case IDCANCEL:
                    ::EndDialog(m_dialog, IDCANCEL);
                    return TRUE;
                case IDC_TEXT:
                    if (HIWORD(wParam) == EN_CHANGE) {
                        OnTextChanged();
                    }
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_DESTROY: {
            WINDOWPLACEMENT placement{};
            placement.length = sizeof placement;
            ::GetWindowPlacement(m_dialog, &placement);
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(&placement);
            m_presenter.OnDestroy(std::vector<std::uint8_t>(bytes, bytes + sizeof placement));
            return FALSE;
        }
        default:
            return FALSE;
    }
}

void CMessageEditorDialog::OnInitDialog() {
    m_anchors.Capture(m_dialog, kEditorDialog);
    SetWindowIcons(m_dialog, IDI_QUENBY_IDLE);
    const MessageEditorFields fields = m_presenter.OnInitDialog();
    HWND text = ::GetDlgItem(m_dialog, IDC_TEXT);
    // A message may be as long as the file format allows, not the control's 32,767 characters
    // (0: the most a one-line control takes), and a pasted one keeps its lines.
    ::SendMessageW(text, EM_SETLIMITTEXT, 0, 0);
    PasteAsOneLine(text);
    m_bSettingText = true;
    SetControlText(m_dialog, IDC_TEXT, fields.m_strText);
    m_bSettingText = false;
    m_strShownText = fields.m_strText;
    SetControlText(m_dialog, IDC_SECONDS, fields.m_strSeconds);
    SetControlText(m_dialog, IDC_MILLISECONDS, fields.m_strMilliSeconds);
    SetControlText(m_dialog, IDC_CHAR_DELAY_MIN, fields.m_strCharDelayMin);
    SetControlText(m_dialog, IDC_CHAR_DELAY_MAX, fields.m_strCharDelayMax);
    SetChecked(m_dialog, IDC_ENTER_BEFORE, fields.m_bEnterBefore);
    SetChecked(m_dialog, IDC_ENTER_AFTER, fields.m_bEnterAfter);
    ::SetWindowTextW(m_dialog, WideFromUtf16(m_presenter.Caption()).c_str());
    if (const auto placement = m_presenter.PlacementToRestore();
        placement && placement->size() == sizeof(WINDOWPLACEMENT)) {
        WINDOWPLACEMENT restored{};
        std::memcpy(&restored, placement->data(), sizeof restored);
        restored.showCmd = SW_SHOWNORMAL;
        ::SetWindowPlacement(m_dialog, &restored);
    }
    ::SetFocus(text);
}

void CMessageEditorDialog::OnTextChanged() {
    if (m_bSettingText) {
        return;
    }
    const std::u16string edited = ControlText(m_dialog, IDC_TEXT);
    const std::u16string text = CMessageEditorPresenter::OnTextEdited(m_strShownText, edited);
    if (text != edited) {
        // Line breaks pasted in became spaces: the caret stays where the paste ended.
        DWORD end = 0;
        ::SendDlgItemMessageW(m_dialog, IDC_TEXT, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
        const auto caret = static_cast<WPARAM>(end - (edited.size() - text.size()));
        m_bSettingText = true;
        SetControlText(m_dialog, IDC_TEXT, text);
        m_bSettingText = false;
        ::SendDlgItemMessageW(m_dialog, IDC_TEXT, EM_SETSEL, caret, static_cast<LPARAM>(caret));
    }
    m_strShownText = text;
}

MessageEditorFields CMessageEditorDialog::Fields() const {
    return {ControlText(m_dialog, IDC_TEXT),           ControlText(m_dialog, IDC_SECONDS),
            ControlText(m_dialog, IDC_MILLISECONDS),   ControlText(m_dialog, IDC_CHAR_DELAY_MIN),
            ControlText(m_dialog, IDC_CHAR_DELAY_MAX), IsChecked(m_dialog, IDC_ENTER_BEFORE),
            IsChecked(m_dialog, IDC_ENTER_AFTER)};
}

void CMessageEditorDialog::OnOK() {
    const EditorOkResult result = m_presenter.OnOK(Fields());
    if (result.m_bAccepted) {
        ::EndDialog(m_dialog, IDOK);
        return;
    }
    ShowMessageBox(m_dialog, result.m_strMessage, EMessageIcon::Information, EMessageButtons::Ok);
    if (result.m_focus) {
        HWND field = ::GetDlgItem(m_dialog, FieldId(*result.m_focus));
        ::SetFocus(field);
        ::SendMessageW(field, EM_SETSEL, 0, -1);
    }
}

}  // namespace quenby
