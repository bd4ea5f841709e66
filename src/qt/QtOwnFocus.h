#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <mutex>

#include "platform/FocusWatcher.h"

namespace quenby {

// Where the desktop does not say which window has the keyboard focus (Wayland), Qt still knows
// when one of Quenby's own windows has it: the focus is then reported as Quenby's, and otherwise
// as one unknown window, so a run never types into Quenby but cannot tell other windows apart.
class CQtOwnFocus final : public IFocusWatcher {
public:
    // Made on the UI thread, where Qt reports the focus.
    CQtOwnFocus();
    std::optional<FocusedWindow> GetFocusedWindow() override;
    void SetFocusChangeHandler(std::function<void()> onChange) override;

private:
    QObject m_context;
    std::atomic<bool> m_bOwn{false};
    std::mutex m_handlerMutex;
    std::function<void()> m_onChange;
};

}  // namespace quenby
