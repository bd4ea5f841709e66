#pragma once

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/TextSetter.h"

typedef struct _GMainContext GMainContext;

namespace quenby {

class CXcbConnection;

// Runs every AT-SPI call on one thread of its own, with a GLib main context of its own: libatspi
// is not thread-safe and, while it waits for an answer, runs the main context it was given, which
// must not be the UI thread's. Callers on any thread hand it work and wait for the result. Between
// tasks the thread runs that context, so the events of registered listeners arrive there too.
class CAtspiWorker {
public:
    // Connects to the accessibility bus (and to the X display, where there is one); nothing when
    // the bus cannot be reached.
    static std::shared_ptr<CAtspiWorker> Start();
    ~CAtspiWorker();

    // Runs `task` on the worker thread and returns when it is done.
    void Run(const std::function<void()>& task);
    // Queues `task` for the worker thread and returns at once. From an event listener: the task
    // runs after the current one, never inside an AT-SPI call that is waiting for an answer.
    void Post(std::function<void()> task);
    // The X display; null without one, and then only the focused field can be found.
    CXcbConnection* Display() { return m_display.get(); }

    // How long one AT-SPI call may wait for an application before it counts as not answering.
    static constexpr int kCallTimeoutMs = 250;

private:
    CAtspiWorker() = default;
    void Loop(std::promise<bool>* started);
    // Wakes the thread from its main context to take the queued tasks.
    void Wake();

    std::thread m_thread;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
    bool m_bStop = false;
    GMainContext* m_context = nullptr;  // the worker's; kept until the worker goes
    std::unique_ptr<CXcbConnection> m_display;
};

// Sets text through AT-SPI into the control under a point: the topmost X window there, matched to
// its application by process id, then down to the deepest element at the point (or its parent
// where an inner viewport has no text). For kFocusedField, the focused field of the active window
// instead (Wayland: no X window stacking, no global coordinates). Settable: editable text, or a
// value, that is enabled and not read-only; anything else is left alone.
class CAtspiTextSetter final : public ITextSetter {
public:
    explicit CAtspiTextSetter(std::shared_ptr<CAtspiWorker> worker) : m_worker(std::move(worker)) {}
    bool CanSetTextAt(ScreenPoint point) override;
    bool SetTextAt(ScreenPoint point, const std::u16string& text) override;

private:
    std::shared_ptr<CAtspiWorker> m_worker;
};

// Keeps one worker for every setter it makes, started at the first one.
class CAtspiTextSetterFactory final : public ITextSetterFactory {
public:
    std::unique_ptr<ITextSetter> CreateTextSetter() override;
    // The one worker, started at the first call; null when the accessibility bus is out of reach.
    std::shared_ptr<CAtspiWorker> Worker();

private:
    std::mutex m_mutex;
    std::shared_ptr<CAtspiWorker> m_worker;
};

}  // namespace quenby
