#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/KeyboardOutput.h"

namespace quenby {

class ISleeper;

// Types a text one UTF-16 code unit at a time, with a random pause before each, by one of two
// methods: Unicode character events (any script, whatever the layout) or the keys of the current
// layout (a character the layout lacks beeps and is skipped). Lives for one message; the layout it
// loads is released with it.
class CTextTyper {
public:
    CTextTyper(IKeyboardOutput& output, ISleeper& sleeper, const std::atomic<bool>& runActive)
        : m_output(output), m_sleeper(sleeper), m_runActive(runActive) {}
    virtual ~CTextTyper() = default;

    // 0: Unicode character events; any other value: the keys of the current layout.
    void SetKeyInputMethod(std::int32_t method) { m_iInputMethod = method; }
    // Types the text; stops early, dropping the rest, once the run flag is false.
    int TypeText(const std::u16string& text);
    void TypeChar(char16_t unit);
    void TypeCharWithLayout(char16_t unit);
    void PressEnter() { m_output.PressEnter(); }

    std::uint32_t m_uCharDelayMin = 20;
    std::uint32_t m_uCharDelayMax = 60;

private:
    IKeyboardOutput& m_output;
    ISleeper& m_sleeper;
    const std::atomic<bool>& m_runActive;
    std::int32_t m_iInputMethod = 1;
    std::unique_ptr<IKeyboardLayout> m_pLayout;  // loaded at the first character that needs it
};

}  // namespace quenby
