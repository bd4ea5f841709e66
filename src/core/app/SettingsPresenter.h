#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "input/TextSetter.h"

namespace quenby {

class CAppSettings;
class IPointer;

// The settings dialog's state as its controls show it.
struct SettingsFields {
    std::int32_t m_nInputMethod = -1;  // checked radio button: 0, 1, or -1 for none
    bool m_bRememberPosition = false;
    bool m_bSetText = false;
    bool m_bStopOnFocusChange = true;
    friend bool operator==(const SettingsFields&, const SettingsFields&) = default;
};

// Period of the probe that says whether text can be set under the pointer.
inline constexpr std::uint32_t kSetTextProbeMilliseconds = 1000;
inline constexpr std::u16string_view kSetTextInfoInitial = u"Set Text Info";

// The logic of the settings dialog: shows the stored values, probes once a second while the
// set-text option is ticked, and writes the three values only on OK.
class CSettingsPresenter {
public:
    CSettingsPresenter(CAppSettings& settings, ITextSetterFactory& textSetters, IPointer& pointer)
        : m_settings(settings), m_textSetter(textSetters), m_pointer(pointer) {}

    // The values to show when the dialog opens; the probe runs from then on when set-text is on.
    SettingsFields OnInitDialog();
    std::u16string Caption() const;
    // The text of the focus box: it says so where the desktop does not tell where the focus is.
    std::u16string_view StopOnFocusChangeLabel() const;
    // The set-text box was clicked; true when the probe is to run (false: stop it and empty the
    // line).
    bool OnSetTextClicked(bool checked);
    bool IsProbing() const { return m_bProbing; }
    // A probe tick: the new text of the line, or nothing when the pointer cannot be read.
    std::optional<std::u16string> OnTimer();
    // OK pressed with these values.
    void OnOK(const SettingsFields& fields);

    // The desktop tells Quenby which window has the focus (the shell's session says).
    bool m_bFocusKnown = true;

private:
    CAppSettings& m_settings;
    CTextSetter m_textSetter;
    IPointer& m_pointer;
    bool m_bProbing = false;
};

}  // namespace quenby
