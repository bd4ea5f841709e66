#pragma once

#include "platform/Keyboard.h"
#include "win32/InputBatch.h"
#include "win32/KeySequences.h"

namespace quenby {

// Key events through SendInput to the window with the keyboard focus, gathered in the keyboard's
// batch (see CInputBatch). Unicode units go out as KEYEVENTF_UNICODE events (a surrogate pair as
// two pairs of events); keys as scan codes with their virtual key filled in as well, which
// Windows ignores with KEYEVENTF_SCANCODE but Wine needs to type anything; a key that stands for
// a dead-key sequence types the whole sequence as it goes down. Enter goes out by virtual key with
// its scan code: programs that read scan codes (games among them) ignore a key with scan code 0.
class CSendInputOutput final : public IKeyboardOutput {
public:
    explicit CSendInputOutput(CInputBatch& batch)
        : m_batch(batch), m_sequences(std::make_shared<CKeySequences>()) {}
    // What is still kept goes out with the message's end.
    ~CSendInputOutput() override { m_batch.Flush(); }

    // Unicode events need no preparation: any character goes out as itself.
    void BeginUnicodeText(std::u16string_view) override {}
    void EndUnicodeText() override { m_batch.Flush(); }
    void SendKey(KeyCode key, bool down) override;
    void SendUnicodeUnit(char16_t unit, bool down) override;
    void PressEnter() override;
    void Beep() override;
    // The layout of the thread that owns the foreground window: the one the user types with.
    std::unique_ptr<IKeyboardLayout> LoadCurrentLayout() override;
    // Keys kept in the batch are not looked at yet: a refusal shows once they were sent.
    Status SendStatus() override;

private:
    void SendScanCode(KeyCode key, bool down);

    CInputBatch& m_batch;
    std::shared_ptr<CKeySequences> m_sequences;  // named by the layouts this output loaded
};

// SendInput needs no connection: every message gets a fresh output, over the one batch of the
// typing thread (one message is typed at a time).
class CSendInputKeyboard final : public IKeyboard {
public:
    explicit CSendInputKeyboard(CInputBatch::SendFunction send = &SendInputEvents)
        : m_batch(std::move(send)) {}

    Expected<std::unique_ptr<IKeyboardOutput>> OpenOutput() override;
    // Sends what the message's output still keeps: before a pause, on the typing thread.
    void Flush() { m_batch.Flush(); }
    // True when Windows refused keys of the last message (asked on the typing thread).
    bool Refused() const { return m_batch.Refused(); }

private:
    CInputBatch m_batch;
};

}  // namespace quenby
