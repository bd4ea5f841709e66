#pragma once

#include "platform/Pointer.h"

namespace quenby {

// Wayland tells a client where the pointer is only over the client's own windows, so there is no
// screen position to record: set-text aims at the field with the keyboard focus instead.
class CWaylandPointer final : public IPointer {
public:
    std::optional<ScreenPoint> GetCursorPos() override { return kFocusedField; }
};

}  // namespace quenby
