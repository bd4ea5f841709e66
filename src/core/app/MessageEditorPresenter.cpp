#include "app/MessageEditorPresenter.h"

#include "app/AppSettings.h"
#include "app/DataExchange.h"
#include "app/Texts.h"
#include "engine/WideText.h"

namespace quenby {

MessageEditorFields CMessageEditorPresenter::OnInitDialog() {
    if (!m_bEditMode) {
        const NewMessageDefaults defaults =
            m_settings.GetNewMessageDefaults(EDefaultsFor::MessageEditor);
        m_item.m_iSeconds = defaults.m_iSeconds;
        m_item.m_iMilliSeconds = defaults.m_iMilliSeconds;
        m_item.m_bEnterBefore = defaults.m_bEnterBefore;
        m_item.m_bEnterAfter = defaults.m_bEnterAfter;
    }
    MessageEditorFields fields;
    fields.m_strText = m_item.m_strText;
    fields.m_strSeconds = FormatSigned(m_item.m_iSeconds);
    fields.m_strMilliSeconds = FormatSigned(m_item.m_iMilliSeconds);
    fields.m_strCharDelayMin = FormatUnsigned(m_item.m_uCharDelayMin);
    fields.m_strCharDelayMax = FormatUnsigned(m_item.m_uCharDelayMax);
    fields.m_bEnterBefore = m_item.m_bEnterBefore;
    fields.m_bEnterAfter = m_item.m_bEnterAfter;
    return fields;
}

std::u16string CMessageEditorPresenter::Caption() const {
    std::u16string caption(m_bEditMode ? text::kEditMessageCaption : text::kAddMessageCaption);
    caption += kAppTitle;
    return caption;
}

std::optional<std::vector<std::uint8_t>> CMessageEditorPresenter::PlacementToRestore() const {
    if (m_settings.GetRememberLastPositionAndSize() == 0) {
        return std::nullopt;
    }
    return m_settings.GetPlacement(profile::Location1);
}

EditorOkResult CMessageEditorPresenter::OnOK(const MessageEditorFields& fields) {
    // Numbers are taken in the dialog's field order; the first one that cannot be read keeps the
    // dialog open with the focus in it, and nothing is stored. The fields take digits only, and
    // what came in otherwise (a paste, a drop) is held to the same: a negative delay would wait
    // for weeks.
    const std::optional<std::int32_t> seconds = ParseFieldDigitsInt(fields.m_strSeconds);
    if (!seconds) {
        return {false, std::u16string(text::kEnterInteger), EEditorField::Seconds};
    }
    const std::optional<std::int32_t> milliSeconds = ParseFieldDigitsInt(fields.m_strMilliSeconds);
    if (!milliSeconds) {
        return {false, std::u16string(text::kEnterInteger), EEditorField::MilliSeconds};
    }
    const std::optional<std::uint32_t> charDelayMin = ParseFieldUnsigned(fields.m_strCharDelayMin);
    if (!charDelayMin) {
        return {false, std::u16string(text::kEnterUnsigned), EEditorField::CharDelayMin};
    }
    const std::optional<std::uint32_t> charDelayMax = ParseFieldUnsigned(fields.m_strCharDelayMax);
    if (!charDelayMax) {
        return {false, std::u16string(text::kEnterUnsigned), EEditorField::CharDelayMax};
    }
    m_item = MessageItem{fields.m_strText,     *seconds,      *milliSeconds, fields.m_bEnterBefore,
                         fields.m_bEnterAfter, *charDelayMin, *charDelayMax};
    if (!m_bEditMode) {
        m_settings.SetNewMessageDefaults({m_item.m_iSeconds, m_item.m_iMilliSeconds,
                                          m_item.m_bEnterBefore, m_item.m_bEnterAfter});
    }
    if (m_item.m_strText.empty()) {
        return {false, std::u16string(text::kEnterText), EEditorField::Text};
    }
    return {true, {}, std::nullopt};
}

void CMessageEditorPresenter::OnDestroy(const std::vector<std::uint8_t>& placement) {
    if (m_settings.GetRememberLastPositionAndSize() != 0) {
        m_settings.SetPlacement(profile::Location1, placement);
    }
}

std::u16string CMessageEditorPresenter::OnTextEdited(std::u16string_view before,
                                                     std::u16string_view after) {
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    std::u16string text(after.substr(0, prefix));
    const std::u16string_view inserted = after.substr(prefix, after.size() - prefix - suffix);
    for (std::size_t i = 0; i < inserted.size(); ++i) {
        if (inserted[i] == u'\r' || inserted[i] == u'\n') {
            if (inserted[i] == u'\r' && i + 1 < inserted.size() && inserted[i + 1] == u'\n') {
                ++i;
            }
            text.push_back(u' ');
        } else {
            text.push_back(inserted[i]);
        }
    }
    text.append(after.substr(after.size() - suffix));
    return text;
}

}  // namespace quenby
