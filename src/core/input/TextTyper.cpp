#include "input/TextTyper.h"

#include <array>

#include "engine/RandomInRange.h"
#include "platform/Timers.h"

namespace quenby {
namespace {

// Pressed in this order and released in the reverse one.
constexpr std::array<EKeyModifier, 5> kModifierOrder{KEY_MODIFIER_SHIFT, KEY_MODIFIER_CONTROL,
                                                     KEY_MODIFIER_ALT, KEY_MODIFIER_LEVEL3,
                                                     KEY_MODIFIER_LEVEL5};

}  // namespace

int CTextTyper::TypeText(const std::u16string& text) {
    const bool unicode = m_iInputMethod == 0;
    if (unicode) {
        m_output.BeginUnicodeText(text);
    }
    for (char16_t unit : text) {
        if (!m_runActive.load()) {
            break;
        }
        m_sleeper.Sleep(RandomInRange(m_uCharDelayMin, m_uCharDelayMax));
        TypeChar(unit);
    }
    if (unicode) {
        m_output.EndUnicodeText();
    }
    return 1;
}

void CTextTyper::TypeChar(char16_t unit) {
    if (m_iInputMethod != 0) {
        TypeCharWithLayout(unit);
        return;
    }
    m_output.SendUnicodeUnit(unit, true);
    m_output.SendUnicodeUnit(unit, false);
}

void CTextTyper::TypeCharWithLayout(char16_t unit) {
    if (!m_pLayout) {
        m_pLayout = m_output.LoadCurrentLayout();
    }
    // Without a layout nothing can be looked up; the next character tries to load it again.
    const std::optional<KeyForCharacter> key =
        m_pLayout ? m_pLayout->FindKey(unit) : std::optional<KeyForCharacter>{};
    if (!key) {
        m_output.Beep();
        return;
    }
    // Every modifier the character's level needs is held, AltGr included: the bare key would
    // type a different character.
    for (EKeyModifier modifier : kModifierOrder) {
        if ((key->m_modifiers & modifier) != 0) {
            m_output.SendKey(m_pLayout->ModifierKey(modifier), true);
        }
    }
    m_output.SendKey(key->m_key, true);
    m_output.SendKey(key->m_key, false);
    for (auto it = kModifierOrder.rbegin(); it != kModifierOrder.rend(); ++it) {
        if ((key->m_modifiers & *it) != 0) {
            m_output.SendKey(m_pLayout->ModifierKey(*it), false);
        }
    }
}

}  // namespace quenby
