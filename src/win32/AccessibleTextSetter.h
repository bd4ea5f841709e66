#pragma once

#include <windows.h>

#include <chrono>

#include "platform/TextSetter.h"

namespace quenby {

// How long the window at the point may take to answer before it counts as hung, as long as on
// Linux: a hung target must not stall a typing run.
inline constexpr std::chrono::milliseconds kTextSetterTimeout{250};

// True when the window under the point answers within the time limit. Accessibility calls are
// answered by the target's UI thread, and the accessibility APIs wait for it without limit.
bool WindowAtPointAnswers(POINT point);

// Set-text through Active Accessibility (MSAA): the object at the point must have a value
// (get_accValue) and be neither read-only nor unavailable; the value is set with put_accValue.
// Used where UI Automation is missing (Wine has none).
class CAccessibleTextSetter final : public ITextSetter {
public:
    bool CanSetTextAt(ScreenPoint point) override;
    bool SetTextAt(ScreenPoint point, const std::u16string& text) override;
};

}  // namespace quenby
