#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/Outcome.h"
#include "input/TextSetter.h"
#include "platform/MessageTypist.h"

namespace quenby {

class CKeyGate;
class IFocusWatcher;
class IKeyboard;
class ISleeper;

// What typing one message needs from the platform.
struct KeystrokeServices {
    IKeyboard& m_keyboard;
    ITextSetterFactory& m_textSetters;
    ISleeper& m_sleeper;
    const std::atomic<bool>& m_runActive;
    IFocusWatcher* m_focus = nullptr;  // none: the focus is not looked at
};

// Types or sets one message: Enter before, the text (set into the control at the run's point
// when that is on and possible, typed otherwise), Enter after, the last also when the run flag
// dropped the rest of the text. A stop at once, a change of focus or the focus in Quenby's own
// window end it before the next key event, Enter after included. Built for one message; the
// owner fills the members first.
class CAppHelper {
public:
    explicit CAppHelper(const KeystrokeServices& services)
        : m_services(services), m_textSetter(services.m_textSetters) {}
    virtual ~CAppHelper() = default;

    // Failed only when keys cannot be sent (the display cannot be reached, or went away).
    TypingResult TypeMessage(const std::u16string& text, bool enterBefore, bool enterAfter);

    std::uint32_t m_uCharDelayMin = 20;
    std::uint32_t m_uCharDelayMax = 60;
    std::int32_t m_iKeyInputMethod =
        1;  // "m_iKeyInputMethod" as it stood when the message fell due
    bool m_bSetTextAtCursor = false;
    ScreenPoint m_ptRunCursor;
    bool m_bStopOnFocusChange = true;
    // Set (on any thread) to stop at once; none: only the run flag stops typing.
    const std::atomic<bool>* m_pStopNow = nullptr;

private:
    TypingResult TypeWithGate(CKeyGate& gate, const std::u16string& text, bool enterBefore,
                              bool enterAfter);

    const KeystrokeServices& m_services;
    CTextSetter m_textSetter;
};

}  // namespace quenby
