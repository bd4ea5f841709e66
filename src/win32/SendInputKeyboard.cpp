#include "win32/SendInputKeyboard.h"

#include <windows.h>

#include "win32/ForegroundLayout.h"

namespace quenby {
namespace {

void SendKeyboardEvent(WORD virtualKey, WORD scan, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    // Not examined: a refused event (another desktop, a higher integrity window) has no remedy.
    ::SendInput(1, &input, sizeof input);
}

}  // namespace

void CSendInputOutput::SendKey(KeyCode key, bool down) {
    if (!CKeySequences::IsSequence(key)) {
        SendScanCode(key, down);
        return;
    }
    // The whole sequence goes out as the key goes down; its release has nothing left to do.
    if (!down) {
        return;
    }
    for (const KeyEvent& event : m_sequences->Events(key)) {
        SendScanCode(event.m_key, event.m_bDown);
    }
}

void CSendInputOutput::SendScanCode(KeyCode key, bool down) {
    SendKeyboardEvent(VirtualKeyOf(key), ScanCodeOf(key),
                      KEYEVENTF_SCANCODE | (down ? 0u : static_cast<DWORD>(KEYEVENTF_KEYUP)));
}

void CSendInputOutput::SendUnicodeUnit(char16_t unit, bool down) {
    SendKeyboardEvent(0, static_cast<WORD>(unit),
                      KEYEVENTF_UNICODE | (down ? 0u : static_cast<DWORD>(KEYEVENTF_KEYUP)));
}

void CSendInputOutput::PressEnter() {
    ::keybd_event(VK_RETURN, 0, 0, 0);
    ::keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
}

void CSendInputOutput::Beep() {
    ::MessageBeep(MB_ICONHAND);
}

std::unique_ptr<IKeyboardLayout> CSendInputOutput::LoadCurrentLayout() {
    return CForegroundLayout::Load(m_sequences);
}

Expected<std::unique_ptr<IKeyboardOutput>> CSendInputKeyboard::OpenOutput() {
    return std::unique_ptr<IKeyboardOutput>(std::make_unique<CSendInputOutput>());
}

}  // namespace quenby
