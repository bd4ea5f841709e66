#pragma once

#include "platform/Keyboard.h"
#include "win32/KeySequences.h"

namespace quenby {

// Key events through SendInput, one event per call, to the window with the keyboard focus.
// Unicode units go out as KEYEVENTF_UNICODE events (a surrogate pair as two pairs of events);
// keys as scan codes with their virtual key filled in as well, which Windows ignores with
// KEYEVENTF_SCANCODE but Wine needs to type anything; a key that stands for a dead-key sequence
// types the whole sequence as it goes down. Enter goes out by virtual key.
class CSendInputOutput final : public IKeyboardOutput {
public:
    CSendInputOutput() : m_sequences(std::make_shared<CKeySequences>()) {}

    // Unicode events need no preparation: any character goes out as itself.
    void BeginUnicodeText(std::u16string_view) override {}
    void EndUnicodeText() override {}
    void SendKey(KeyCode key, bool down) override;
    void SendUnicodeUnit(char16_t unit, bool down) override;
    void PressEnter() override;
    void Beep() override;
    // The layout of the thread that owns the foreground window: the one the user types with.
    std::unique_ptr<IKeyboardLayout> LoadCurrentLayout() override;

private:
    void SendScanCode(KeyCode key, bool down);

    std::shared_ptr<CKeySequences> m_sequences;  // named by the layouts this output loaded
};

// SendInput needs no connection: every message gets a fresh output.
class CSendInputKeyboard final : public IKeyboard {
public:
    Expected<std::unique_ptr<IKeyboardOutput>> OpenOutput() override;
};

}  // namespace quenby
