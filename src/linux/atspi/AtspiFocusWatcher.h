#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "linux/FocusRecord.h"
#include "platform/FocusWatcher.h"

namespace quenby {

class CAtspiWorker;

// The keyboard focus as applications announce it on the accessibility bus, for desktops that tell
// programs nothing of other windows (Wayland). Listens on the AT-SPI worker's thread for windows
// becoming active or inactive and for elements taking the focus, and keeps the top-level window
// that holds the focus: the application's child on the way up from the element, told by its
// application's bus name and object path, so the fields of one window are one window. A window
// that goes inactive with no other announcing itself leaves no window focused. Applications
// without accessibility announce nothing: their windows are not seen.
class CAtspiFocusWatcher final : public IFocusWatcher {
public:
    // Asks where the focus is now and starts listening; null without a worker.
    static std::unique_ptr<CAtspiFocusWatcher> Open(std::shared_ptr<CAtspiWorker> worker);
    ~CAtspiFocusWatcher() override;

    std::optional<FocusedWindow> GetFocusedWindow() override;
    void SetFocusChangeHandler(std::function<void()> onChange) override;

    // What the listeners and the tasks they queue share; lives while either needs it.
    using State = CFocusRecord;

private:
    explicit CAtspiFocusWatcher(std::shared_ptr<CAtspiWorker> worker);

    std::shared_ptr<CAtspiWorker> m_worker;
    std::shared_ptr<State> m_state = std::make_shared<State>();
    void* m_listener = nullptr;  // the AtspiEventListener, used on the worker's thread only
};

}  // namespace quenby
