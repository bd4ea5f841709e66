#include "linux/atspi/AtspiFocusWatcher.h"

#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

#include "linux/atspi/AtspiElements.h"
#include "linux/atspi/AtspiTextSetter.h"

namespace quenby {
namespace {

using atspi::Accessible;
using atspi::DropListener;
using atspi::Failed;
using Clock = std::chrono::steady_clock;
using SharedAccessible = std::shared_ptr<AtspiAccessible>;

// Windows that become active (or say so by their state) and elements that take the focus.
constexpr const char* kEvents[] = {"window:activate", "window:deactivate",
                                   "object:state-changed:active", "object:state-changed:focused"};

// How long the search for the active window may take (at each inactive window, not per key).
constexpr std::chrono::milliseconds kSearchBudget{1000};

// A window's identity: its application's bus name and its object path, hashed (FNV-1a).
std::uint64_t IdentityOf(AtspiAccessible* window) {
    const AtspiObject& object = window->parent;
    std::uint64_t hash = 14695981039346656037ull;
    const auto add = [&hash](std::string_view text) {
        for (const char c : text) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        hash = (hash ^ 0xFFu) * 1099511628211ull;  // no two splits of one string hash alike
    };
    add(object.app != nullptr && object.app->bus_name != nullptr ? object.app->bus_name : "");
    add(object.path != nullptr ? object.path : "");
    return hash != 0 ? hash : 1;  // 0 means no window
}

// The top-level window that holds `element`: the child of its application on the way up.
Accessible TopWindow(AtspiAccessible* element) {
    GError* error = nullptr;
    Accessible current(static_cast<AtspiAccessible*>(g_object_ref(element)));
    // Deeper than any real interface; a loop in a broken tree ends here.
    for (int depth = 0; depth < 256; ++depth) {
        Accessible parent(atspi_accessible_get_parent(current.get(), &error));
        if (Failed(error)) {
            return nullptr;  // gone, or not answering
        }
        if (!parent) {
            return current;
        }
        const AtspiRole role = atspi_accessible_get_role(parent.get(), &error);
        if (Failed(error)) {
            return nullptr;
        }
        if (role == ATSPI_ROLE_APPLICATION || role == ATSPI_ROLE_DESKTOP_FRAME) {
            return current;
        }
        current = std::move(parent);
    }
    return nullptr;
}

// The window that holds `element`; no window when that cannot be told.
FocusedWindow WindowOf(AtspiAccessible* element) {
    const Accessible window = TopWindow(element);
    if (!window) {
        return {};
    }
    GError* error = nullptr;
    const guint pid = atspi_accessible_get_process_id(window.get(), &error);
    const bool own = !Failed(error) && pid == static_cast<guint>(::getpid());
    return {IdentityOf(window.get()), own};
}

// The window every application is asked for afresh: the one that says it is active.
FocusedWindow ActiveWindowNow() {
    const Clock::time_point deadline = Clock::now() + kSearchBudget;
    GError* error = nullptr;
    Accessible desktop(atspi_get_desktop(0));
    if (!desktop) {
        return {};
    }
    const gint applications = atspi_accessible_get_child_count(desktop.get(), &error);
    if (Failed(error)) {
        return {};
    }
    for (gint i = 0; i < applications && Clock::now() < deadline; ++i) {
        Accessible application(atspi_accessible_get_child_at_index(desktop.get(), i, &error));
        if (Failed(error) || !application) {
            continue;
        }
        // States are cached, and may be older than the event that brought us here.
        atspi_accessible_clear_cache(application.get());
        const gint windows = atspi_accessible_get_child_count(application.get(), &error);
        if (Failed(error)) {
            continue;
        }
        for (gint w = 0; w < windows && Clock::now() < deadline; ++w) {
            Accessible window(atspi_accessible_get_child_at_index(application.get(), w, &error));
            if (!Failed(error) && window && atspi::HasState(window.get(), ATSPI_STATE_ACTIVE)) {
                return WindowOf(window.get());
            }
        }
    }
    return {};
}

// One event, taken at the worker's outer level: the window it names takes the focus, or the
// focused window lets it go.
void Handle(CAtspiFocusWatcher::State& state, std::string_view type, int detail,
            AtspiAccessible* source) {
    const bool activeState = type.starts_with("object:state-changed:active");
    const bool gained =
        type.starts_with("window:activate") ||
        (detail == 1 && (activeState || type.starts_with("object:state-changed:focused")));
    const bool lost = type.starts_with("window:deactivate") || (activeState && detail == 0);
    if (gained) {
        const FocusedWindow now = WindowOf(source);
        if (now.m_id != 0) {
            state.Set(now);
        }
    } else if (lost) {
        const FocusedWindow focused = state.Get();
        // Another window's activation may have come first: only the focused window's counts,
        // and the one that took its place may have said so before this arrived.
        if (focused.m_id != 0 && WindowOf(source).m_id == focused.m_id) {
            state.Set(ActiveWindowNow());
        }
    }
}

struct Listening {
    std::shared_ptr<CAtspiFocusWatcher::State> m_state;
    CAtspiWorker* m_worker;
};

// Runs on the worker's thread, possibly inside a call that waits for an answer: the event is
// looked into later, by a task of its own.
void OnEvent(AtspiEvent* event, void* data) {
    const auto* listening = static_cast<const Listening*>(data);
    std::string type = event->type != nullptr ? event->type : "";
    const int detail = event->detail1;
    SharedAccessible source;
    if (event->source != nullptr) {
        source.reset(static_cast<AtspiAccessible*>(g_object_ref(event->source)), g_object_unref);
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
    if (!source) {
        return;
    }
    listening->m_worker->Post(
        [state = listening->m_state, type = std::move(type), detail, source = std::move(source)] {
            Handle(*state, type, detail, source.get());
        });
}

}  // namespace

CAtspiFocusWatcher::CAtspiFocusWatcher(std::shared_ptr<CAtspiWorker> worker)
    : m_worker(std::move(worker)) {}

std::unique_ptr<CAtspiFocusWatcher> CAtspiFocusWatcher::Open(std::shared_ptr<CAtspiWorker> worker) {
    if (!worker) {
        return nullptr;
    }
    std::unique_ptr<CAtspiFocusWatcher> watcher(new CAtspiFocusWatcher(std::move(worker)));
    bool listening = true;
    watcher->m_worker->Run([&] {
        AtspiEventListener* listener = atspi_event_listener_new(
            OnEvent, new Listening{watcher->m_state, watcher->m_worker.get()},
            [](gpointer data) { delete static_cast<Listening*>(data); });
        watcher->m_listener = listener;
        for (const char* type : kEvents) {
            GError* error = nullptr;
            listening = atspi_event_listener_register(listener, type, &error) && !Failed(error) &&
                        listening;
        }
        // Asked once listening, so nothing that happens meanwhile is missed.
        watcher->m_state->Set(ActiveWindowNow());
    });
    if (!listening) {
        return nullptr;  // the destructor lets go of what was registered
    }
    return watcher;
}

CAtspiFocusWatcher::~CAtspiFocusWatcher() {
    SetFocusChangeHandler({});
    m_worker->Run([this] { DropListener(static_cast<AtspiEventListener*>(m_listener), kEvents); });
}

std::optional<FocusedWindow> CAtspiFocusWatcher::GetFocusedWindow() {
    return m_state->Get();
}

void CAtspiFocusWatcher::SetFocusChangeHandler(std::function<void()> onChange) {
    m_state->SetHandler(std::move(onChange));
}

}  // namespace quenby
