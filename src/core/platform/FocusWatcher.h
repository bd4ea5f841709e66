#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace quenby {

// The top-level window that has the keyboard focus.
struct FocusedWindow {
    // The platform's identity of the top-level window: the same while the focus moves between
    // the fields of one window. 0: no window has the focus.
    std::uint64_t m_id = 0;
    // One of Quenby's own windows (the main window, a dialog, a message box).
    bool m_bOwnWindow = false;
    friend bool operator==(const FocusedWindow&, const FocusedWindow&) = default;
};

// Tells where the keyboard focus is, from what the system reported last (events, not polling).
class IFocusWatcher {
public:
    virtual ~IFocusWatcher() = default;
    // The focused top-level window; nothing when this desktop does not tell. Any thread, and
    // cheap: it is asked before every key event.
    virtual std::optional<FocusedWindow> GetFocusedWindow() = 0;
    // `onChange` runs on any thread each time the focused top-level window may have changed;
    // an empty function ends the calls (none runs once this returns).
    virtual void SetFocusChangeHandler(std::function<void()> onChange) = 0;
};

// Where nothing tells Quenby about the focus.
class CUnknownFocus final : public IFocusWatcher {
public:
    std::optional<FocusedWindow> GetFocusedWindow() override { return std::nullopt; }
    void SetFocusChangeHandler(std::function<void()>) override {}
};

}  // namespace quenby
