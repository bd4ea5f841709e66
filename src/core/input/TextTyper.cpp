#include "input/TextTyper.h"

#include <array>

#include "engine/RandomInRange.h"
#include "input/KeyGate.h"
#include "platform/Timers.h"

namespace quenby {
namespace {

// Pressed in this order and released in the reverse one.
constexpr std::array<EKeyModifier, 5> kModifierOrder{KEY_MODIFIER_SHIFT, KEY_MODIFIER_CONTROL,
                                                     KEY_MODIFIER_ALT, KEY_MODIFIER_LEVEL3,
                                                     KEY_MODIFIER_LEVEL5};

}  // namespace

ETypingEnd CTextTyper::TypeText(const std::u16string& text) {
    const bool unicode = m_iInputMethod == 0;
    if (unicode) {
        m_output.BeginUnicodeText(text);
    }
    ETypingEnd end = ETypingEnd::Completed;
    const auto stop = [this] {
        return !m_gate.RunActive() || m_gate.Check() != ETypingEnd::Completed;
    };
    for (char16_t unit : text) {
        if (!m_gate.RunActive()) {
            break;
        }
        end = m_gate.Check();
        if (end == ETypingEnd::Completed) {
            m_sleeper.Sleep(RandomInRange(m_uCharDelayMin, m_uCharDelayMax), stop);
            end = m_gate.Check();  // the pause may have been cut short by a stop
        }
        if (end != ETypingEnd::Completed || !m_gate.RunActive()) {
            break;
        }
        TypeChar(unit);
        end = SendResult();
        if (end != ETypingEnd::Completed) {
            break;
        }
    }
    // Keys bound or held for the text are let go however typing ended.
    if (unicode) {
        m_output.EndUnicodeText();
    }
    return end;
}

ETypingEnd CTextTyper::PressEnter() {
    const ETypingEnd end = m_gate.Check();
    if (end != ETypingEnd::Completed) {
        return end;
    }
    m_output.PressEnter();
    return SendResult();
}

ETypingEnd CTextTyper::SendResult() {
    return m_output.SendStatus().ok() ? ETypingEnd::Completed : ETypingEnd::Failed;
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
