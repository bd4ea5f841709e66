#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/MessageItem.h"

namespace quenby {

class CAppSettings;

// The message editor's fields as the dialog shows them.
struct MessageEditorFields {
    std::u16string m_strText;
    std::u16string m_strSeconds;
    std::u16string m_strMilliSeconds;
    std::u16string m_strCharDelayMin;
    std::u16string m_strCharDelayMax;
    bool m_bEnterBefore = true;
    bool m_bEnterAfter = true;
    friend bool operator==(const MessageEditorFields&, const MessageEditorFields&) = default;
};

enum class EEditorField { Text, Seconds, MilliSeconds, CharDelayMin, CharDelayMax };

// What OK leads to: the dialog closes, or a message is shown and the dialog stays open.
struct EditorOkResult {
    bool m_bAccepted = false;
    std::u16string m_strMessage;          // shown when not accepted
    std::optional<EEditorField> m_focus;  // the field to put the focus in
};

// The logic of the message editor dialog: in add mode it proposes the delay and Enter flags last
// confirmed and stores them again on OK (before the text is checked, never on Cancel); in edit
// mode it shows the row's values and stores nothing.
class CMessageEditorPresenter {
public:
    explicit CMessageEditorPresenter(CAppSettings& settings) : m_settings(settings) {}

    void SetEditMode(bool editMode) { m_bEditMode = editMode; }
    bool IsEditMode() const { return m_bEditMode; }

    // The fields to show when the dialog opens.
    MessageEditorFields OnInitDialog();
    std::u16string Caption() const;
    // The placement to restore, when placements are remembered and one is stored.
    std::optional<std::vector<std::uint8_t>> PlacementToRestore() const;
    // OK pressed with these fields.
    EditorOkResult OnOK(const MessageEditorFields& fields);
    // The dialog closes (OK or Cancel) with this placement.
    void OnDestroy(const std::vector<std::uint8_t>& placement);
    // The text field changed by the user from `before` to `after`: the text it should hold. The
    // field is one line, so each line break that came in with the edit (a paste) becomes a space
    // (CR LF as one); the text around the edit is left as it was.
    static std::u16string OnTextEdited(std::u16string_view before, std::u16string_view after);

    // The message: the row's values in edit mode before the dialog runs, the result after OK.
    MessageItem m_item{u"", 0, 0, true, true, 20, 60};

private:
    CAppSettings& m_settings;
    bool m_bEditMode = false;
};

}  // namespace quenby
