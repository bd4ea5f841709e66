#include "app/SettingsPresenter.h"

#include "app/AppSettings.h"
#include "app/Texts.h"
#include "engine/WideText.h"
#include "platform/Pointer.h"

namespace quenby {

SettingsFields CSettingsPresenter::OnInitDialog() {
    SettingsFields fields;
    const std::int32_t method = m_settings.GetKeyInputMethod();
    // A stored value that names neither button checks none.
    fields.m_nInputMethod =
        (method == KEY_INPUT_UNICODE || method == KEY_INPUT_LAYOUT) ? method : -1;
    fields.m_bRememberPosition = m_settings.GetRememberLastPositionAndSize() != 0;
    fields.m_bSetText = m_settings.GetTextSettingUp() != 0;
    fields.m_bStopOnFocusChange = m_settings.GetStopOnFocusChange() != 0;
    m_bProbing = fields.m_bSetText;
    return fields;
}

std::u16string CSettingsPresenter::Caption() const {
    return std::u16string(text::kSettingsCaption) + std::u16string(kAppTitle);
}

std::u16string_view CSettingsPresenter::StopOnFocusChangeLabel() const {
    return m_bFocusKnown ? text::kStopOnFocusChange : text::kStopOnFocusChangeUnknown;
}

bool CSettingsPresenter::OnSetTextClicked(bool checked) {
    m_bProbing = checked;
    return checked;
}

std::optional<std::u16string> CSettingsPresenter::OnTimer() {
    const std::optional<ScreenPoint> point = m_pointer.GetCursorPos();
    if (!point) {
        return std::nullopt;
    }
    if (point->m_bFocusedField) {
        return std::u16string(m_textSetter.CanSetTextAt(*point) ? text::kCanSetTextAtFocus
                                                                : text::kCannotSetTextAtFocus);
    }
    std::u16string line(m_textSetter.CanSetTextAt(*point) ? text::kCanSetText
                                                          : text::kCannotSetText);
    line += FormatSigned(point->m_x);
    line += u", ";
    line += FormatSigned(point->m_y);
    return line;
}

void CSettingsPresenter::OnOK(const SettingsFields& fields) {
    m_settings.SetKeyInputMethod(fields.m_nInputMethod);
    m_settings.SetRememberLastPositionAndSize(fields.m_bRememberPosition ? 1 : 0);
    m_settings.SetTextSettingUp(fields.m_bSetText ? 1 : 0);
    m_settings.SetStopOnFocusChange(fields.m_bStopOnFocusChange ? 1 : 0);
}

}  // namespace quenby
