#pragma once

#include <optional>

#include "linux/x11/XcbConnection.h"
#include "platform/TextSetter.h"

namespace quenby {

// The process that owns the topmost window at a screen point, by the X stacking order and the
// window's _NET_WM_PID (looked up in the client window inside a window manager's frame).
std::optional<int> ProcessAtPoint(CXcbConnection& connection, ScreenPoint point);

}  // namespace quenby
