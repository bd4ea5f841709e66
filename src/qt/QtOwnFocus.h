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
// Given a watcher of the other windows (accessibility), their windows are told apart by it, and
// Qt still says when Quenby's own has the focus, whether or not that watcher sees it.
class CQtOwnFocus final : public IFocusWatcher {
public:
    // Made on the UI thread, where Qt reports the focus.
    explicit CQtOwnFocus(IFocusWatcher* others = nullptr);
    std::optional<FocusedWindow> GetFocusedWindow() override;
    void SetFocusChangeHandler(std::function<void()> onChange) override;

private:
    IFocusWatcher* m_others;
    QObject m_context;
    std::atomic<bool> m_bOwn{false};
    std::mutex m_handlerMutex;
    std::function<void()> m_onChange;
};

}  // namespace quenby
