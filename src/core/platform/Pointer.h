#pragma once

#include <optional>

#include "platform/TextSetter.h"

namespace quenby {

// The mouse pointer.
class IPointer {
public:
    virtual ~IPointer() = default;
    // The pointer's position on the screen, or nothing when it cannot be had; kFocusedField where
    // the system gives no position at all, so that set-text aims at the focused field instead.
    virtual std::optional<ScreenPoint> GetCursorPos() = 0;
};

}  // namespace quenby
