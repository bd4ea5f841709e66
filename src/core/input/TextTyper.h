#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/KeyboardOutput.h"
#include "platform/MessageTypist.h"

namespace quenby {

class CKeyGate;
class ISleeper;

// Types a text one UTF-16 code unit at a time, with a random pause before each, by one of two
// methods: Unicode character events (any script, whatever the layout) or the keys of the current
// layout (a character the layout lacks beeps and is skipped). Lives for one message; the layout it
// loads is released with it. The gate is asked before and after every pause, so a stop or a change
// of focus ends typing between two characters, never inside one.
class CTextTyper {
public:
    CTextTyper(IKeyboardOutput& output, ISleeper& sleeper, const CKeyGate& gate)
        : m_output(output), m_sleeper(sleeper), m_gate(gate) {}
    virtual ~CTextTyper() = default;

    // 0: Unicode character events; any other value: the keys of the current layout.
    void SetKeyInputMethod(std::int32_t method) { m_iInputMethod = method; }
    // Types the text; drops the rest once the run flag is false (Completed), or ends early with
    // why the gate or the output stopped it.
    ETypingEnd TypeText(const std::u16string& text);
    void TypeChar(char16_t unit);
    void TypeCharWithLayout(char16_t unit);
    // One Enter, unless the gate says stop; Failed when the output can no longer send.
    ETypingEnd PressEnter();

    std::uint32_t m_uCharDelayMin = 20;
    std::uint32_t m_uCharDelayMax = 60;

private:
    // After a key event: Failed once the output can no longer send.
    ETypingEnd SendResult();

    IKeyboardOutput& m_output;
    ISleeper& m_sleeper;
    const CKeyGate& m_gate;
    std::int32_t m_iInputMethod = 1;
    std::unique_ptr<IKeyboardLayout> m_pLayout;  // loaded at the first character that needs it
};

}  // namespace quenby
