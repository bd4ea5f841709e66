#include "win32/SendInputKeyboard.h"

#include <windows.h>

#include "win32/ForegroundLayout.h"

namespace quenby {
namespace {

INPUT KeyboardEvent(WORD virtualKey, WORD scan, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    return input;
}

DWORD UpFlag(bool down) {
    return down ? 0u : static_cast<DWORD>(KEYEVENTF_KEYUP);
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
    m_batch.Add(
        KeyboardEvent(VirtualKeyOf(key), ScanCodeOf(key), KEYEVENTF_SCANCODE | UpFlag(down)));
}

void CSendInputOutput::SendUnicodeUnit(char16_t unit, bool down) {
    m_batch.Add(KeyboardEvent(0, static_cast<WORD>(unit), KEYEVENTF_UNICODE | UpFlag(down)));
}

void CSendInputOutput::PressEnter() {
    const auto scan = static_cast<WORD>(::MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC));
    m_batch.Add(KeyboardEvent(VK_RETURN, scan, 0));
    m_batch.Add(KeyboardEvent(VK_RETURN, scan, KEYEVENTF_KEYUP));
}

void CSendInputOutput::Beep() {
    m_batch.Flush();
    ::MessageBeep(MB_ICONHAND);
}

std::unique_ptr<IKeyboardLayout> CSendInputOutput::LoadCurrentLayout() {
    return CForegroundLayout::Load(m_sequences);
}

Status CSendInputOutput::SendStatus() {
    return m_batch.Refused() ? Status::Fail(KeysRefusedReason()) : Status::Ok();
}

Expected<std::unique_ptr<IKeyboardOutput>> CSendInputKeyboard::OpenOutput() {
    m_batch.BeginMessage();
    return std::unique_ptr<IKeyboardOutput>(std::make_unique<CSendInputOutput>(m_batch));
}

}  // namespace quenby
