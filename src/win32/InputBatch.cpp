#include "win32/InputBatch.h"

#include <thread>

namespace quenby {
namespace {

bool IsDown(const INPUT& event) {
    return (event.ki.dwFlags & KEYEVENTF_KEYUP) == 0;
}

// The same key (or the same Unicode unit), whether down or up.
bool SameKey(const INPUT& a, const INPUT& b) {
    return ((a.ki.dwFlags ^ b.ki.dwFlags) & KEYEVENTF_UNICODE) == 0 && a.ki.wVk == b.ki.wVk &&
           a.ki.wScan == b.ki.wScan;
}

// Keyboard keys only: the mouse buttons share the virtual-key numbers below 8, and VK_PACKET
// stands for the Unicode events of whoever sends them.
bool AnyKeyboardKeyDown() {
    for (int key = 0x08; key <= 0xFE; ++key) {
        if (key != VK_PACKET && (::GetAsyncKeyState(key) & 0x8000) != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

UINT SendInputEvents(std::span<INPUT> events) {
    return ::SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
}

std::u16string KeysRefusedReason() {
    return u"Windows refused the keys: the window with the focus runs as administrator. Start "
           u"Quenby as administrator to type into it.";
}

CInputBatch::CInputBatch(SendFunction send) : m_send(std::move(send)) {
    m_pending.reserve(kMostEventsKept + 16);
}

void CInputBatch::BeginMessage() {
    m_pending.clear();
    m_held.clear();
    m_iPendingHeld = 0;
    m_bRefused = false;
    m_bWaitedForKeys = false;
}

void CInputBatch::WaitForHeldKeys() {
    const auto deadline = std::chrono::steady_clock::now() + kLongestKeyWait;
    while (AnyKeyboardKeyDown() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void CInputBatch::Add(const INPUT& event) {
    if (m_bRefused) {
        return;
    }
    if (!m_bWaitedForKeys) {
        m_bWaitedForKeys = true;
        WaitForHeldKeys();
    }
    m_pending.push_back(event);
    if (IsDown(event)) {
        ++m_iPendingHeld;
    } else if (m_iPendingHeld > 0) {
        --m_iPendingHeld;
    }
    // Between characters only: a modifier and its key go out together.
    if (m_iPendingHeld == 0 && m_pending.size() >= kMostEventsKept) {
        Flush();
    }
}

void CInputBatch::NoteSent(const INPUT& event) {
    for (auto it = m_held.begin(); it != m_held.end(); ++it) {
        if (SameKey(*it, event)) {
            m_held.erase(it);
            break;
        }
    }
    if (IsDown(event)) {
        m_held.push_back(event);
    }
}

void CInputBatch::Flush() {
    if (m_pending.empty() || m_bRefused) {
        m_pending.clear();
        return;
    }
    const UINT taken = m_send(m_pending);
    for (std::size_t i = 0; i < taken && i < m_pending.size(); ++i) {
        NoteSent(m_pending[i]);
    }
    if (taken < m_pending.size()) {
        m_bRefused = true;
        ReleaseHeld();
    }
    m_pending.clear();
}

void CInputBatch::ReleaseHeld() {
    // Last pressed first, as a typist lets go; each on its own, so one refused release does not
    // keep the others back.
    for (auto it = m_held.rbegin(); it != m_held.rend(); ++it) {
        INPUT up = *it;
        up.ki.dwFlags |= KEYEVENTF_KEYUP;
        m_send(std::span<INPUT>(&up, 1));
    }
    m_held.clear();
    m_iPendingHeld = 0;
}

}  // namespace quenby
