#pragma once

#include <chrono>

#include "linux/atspi/AtspiElements.h"

namespace quenby::atspi {

// The field with the keyboard focus, where it takes text: in the active window of another
// application (never ours, whose own fields must not receive its texts), the element that is
// focused, enabled, editable and not read-only. For systems that give no pointer position
// (Wayland), where "the field under the mouse" cannot be found. Looks no longer than `budget`
// beyond the one call that is under way, so a large or slow application cannot stall a run.
Settable FindFocusedSettable(std::chrono::milliseconds budget);

}  // namespace quenby::atspi
