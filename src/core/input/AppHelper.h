#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/Outcome.h"
#include "input/TextSetter.h"

namespace quenby {

class IKeyboard;
class ISleeper;

// What typing one message needs from the platform.
struct KeystrokeServices {
    IKeyboard& m_keyboard;
    ITextSetterFactory& m_textSetters;
    ISleeper& m_sleeper;
    const std::atomic<bool>& m_runActive;
};

// Types or sets one message: Enter before, the text (set into the control at the run's point
// when that is on and possible, typed otherwise), Enter after, the last also when typing was
// stopped. Built for one message; the owner fills the members first.
class CAppHelper {
public:
    explicit CAppHelper(const KeystrokeServices& services)
        : m_services(services), m_textSetter(services.m_textSetters) {}
    virtual ~CAppHelper() = default;

    // Fails only when no key can be sent at all (the display cannot be reached).
    Status TypeMessage(const std::u16string& text, bool enterBefore, bool enterAfter);

    std::uint32_t m_uCharDelayMin = 20;
    std::uint32_t m_uCharDelayMax = 60;
    std::int32_t m_iKeyInputMethod =
        1;  // "m_iKeyInputMethod" as it stood when the message fell due
    bool m_bSetTextAtCursor = false;
    ScreenPoint m_ptRunCursor;

private:
    const KeystrokeServices& m_services;
    CTextSetter m_textSetter;
};

}  // namespace quenby
