#pragma once

#include <memory>

#include "linux/x11/X11GlobalShortcut.h"
#include "platform/StopKey.h"

namespace quenby {

// Esc grabbed on the root window for a run, with its Num Lock and Caps Lock variants, on a
// connection of its own: a passive grab takes the key whatever layout group is active.
class CX11StopKey final : public IStopKey {
public:
    static constexpr std::uint16_t kEscape = 0x1B;  // its Windows virtual-key code

    // `onPressed` runs on the grab's own thread: the caller hands it on to the UI thread.
    explicit CX11StopKey(std::unique_ptr<CX11GlobalShortcut> grab) : m_grab(std::move(grab)) {}

    bool Take() override { return m_grab->RegisterHotKey(kEscape, 0); }
    void Release() override { m_grab->UnregisterHotKey(); }

private:
    std::unique_ptr<CX11GlobalShortcut> m_grab;
};

}  // namespace quenby
