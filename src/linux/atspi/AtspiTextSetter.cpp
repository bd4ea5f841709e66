#include "linux/atspi/AtspiTextSetter.h"

#include <atspi/atspi.h>
#include <gio/gio.h>

#include <cstdlib>
#include <future>

#include "engine/WideText.h"
#include "linux/atspi/AtspiElements.h"
#include "linux/atspi/AtspiFocusedField.h"
#include "linux/x11/X11WindowAtPoint.h"
#include "linux/x11/XcbConnection.h"

namespace quenby {
namespace {

using atspi::Accessible;
using atspi::EKind;
using atspi::Failed;
using atspi::HasState;
using atspi::Ref;
using atspi::Settable;
using atspi::SettableKind;

// The search for the focused field walks a window where the application cannot search itself;
// beyond this it gives up and the message is typed.
constexpr std::chrono::milliseconds kFocusSearchBudget{500};

// Asks toolkits to switch their accessibility on, as screen readers do; Qt applications otherwise
// keep it off. Nothing is lost when there is no accessibility bus.
void EnableAccessibility() {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        Failed(error);
        return;
    }
    GVariant* result = g_dbus_connection_call_sync(
        bus, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
        g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)),
        nullptr, G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, &error);
    if (result != nullptr) {
        g_variant_unref(result);
    }
    Failed(error);
    g_object_unref(bus);
}

// The AT_SPI_BUS property of the X root window; empty when it is not set.
std::string RootWindowBusAddress(CXcbConnection& display) {
    xcb_connection_t* conn = display.Get();
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        conn, xcb_intern_atom(conn, 1, sizeof "AT_SPI_BUS" - 1, "AT_SPI_BUS"), nullptr);
    std::string address;
    if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
        xcb_get_property_reply_t* property = xcb_get_property_reply(
            conn, xcb_get_property(conn, 0, display.Root(), atom->atom, XCB_ATOM_STRING, 0, 1024),
            nullptr);
        if (property != nullptr) {
            address.assign(static_cast<const char*>(xcb_get_property_value(property)),
                           static_cast<std::size_t>(xcb_get_property_value_length(property)));
            std::free(property);
        }
    }
    std::free(atom);
    return address;
}

// The accessibility bus's address, found as libatspi finds it: $AT_SPI_BUS_ADDRESS, the root
// window's AT_SPI_BUS property (where there is an X display), or the session bus's org.a11y.Bus.
std::string AccessibilityBusAddress(CXcbConnection* display) {
    if (const char* address = std::getenv("AT_SPI_BUS_ADDRESS"); address != nullptr) {
        return address;
    }
    if (display != nullptr) {
        if (std::string address = RootWindowBusAddress(*display); !address.empty()) {
            return address;
        }
    }
    GError* error = nullptr;
    GDBusConnection* session = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (session == nullptr) {
        Failed(error);
        return {};
    }
    std::string address;
    GVariant* reply = g_dbus_connection_call_sync(
        session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
        G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, &error);
    if (reply != nullptr) {
        const gchar* text = nullptr;
        g_variant_get(reply, "(&s)", &text);
        address = text != nullptr ? text : "";
        g_variant_unref(reply);
    }
    Failed(error);
    g_object_unref(session);
    return address;
}

// libatspi aborts the whole process when it cannot reach the accessibility bus, so it is only
// started once a connection of our own has shown the bus is there.
bool AccessibilityBusReachable(CXcbConnection* display) {
    const std::string address = AccessibilityBusAddress(display);
    if (address.empty()) {
        return false;
    }
    GError* error = nullptr;
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (bus == nullptr) {
        Failed(error);
        return false;
    }
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return true;
}

Accessible ApplicationOfProcess(int pid) {
    GError* error = nullptr;
    Accessible desktop(atspi_get_desktop(0));
    if (!desktop) {
        return nullptr;
    }
    const gint count = atspi_accessible_get_child_count(desktop.get(), &error);
    if (Failed(error)) {
        return nullptr;
    }
    for (gint i = 0; i < count; ++i) {
        Accessible application(atspi_accessible_get_child_at_index(desktop.get(), i, &error));
        if (Failed(error) || !application) {
            continue;
        }
        const guint owner = atspi_accessible_get_process_id(application.get(), &error);
        if (!Failed(error) && static_cast<int>(owner) == pid) {
            return application;
        }
    }
    return nullptr;
}

// The element that would take text at the point (or the focused field), and what it takes;
// nothing when there is none.
Settable FindSettable(CXcbConnection* display, ScreenPoint point) {
    if (point.m_bFocusedField) {
        return atspi::FindFocusedSettable(kFocusSearchBudget);
    }
    const std::optional<int> pid = display ? ProcessAtPoint(*display, point) : std::nullopt;
    if (!pid) {
        return {};
    }
    Accessible application = ApplicationOfProcess(*pid);
    if (!application) {
        return {};
    }
    GError* error = nullptr;
    const gint windows = atspi_accessible_get_child_count(application.get(), &error);
    if (Failed(error)) {
        return {};
    }
    Accessible found;
    for (gint i = 0; i < windows && !found; ++i) {
        Accessible window(atspi_accessible_get_child_at_index(application.get(), i, &error));
        if (Failed(error)) {
            return {};  // the application does not answer: leave it alone
        }
        Ref<AtspiComponent> component(window ? atspi_accessible_get_component_iface(window.get())
                                             : nullptr);
        if (component && HasState(window.get(), ATSPI_STATE_SHOWING) &&
            atspi_component_contains(component.get(), point.m_x, point.m_y, ATSPI_COORD_TYPE_SCREEN,
                                     &error)) {
            found = std::move(window);
        }
        if (Failed(error)) {
            return {};
        }
    }
    // Down to the deepest element at the point.
    for (int depth = 0; found && depth < 64; ++depth) {
        Ref<AtspiComponent> component(atspi_accessible_get_component_iface(found.get()));
        if (!component) {
            break;
        }
        Accessible child(atspi_component_get_accessible_at_point(
            component.get(), point.m_x, point.m_y, ATSPI_COORD_TYPE_SCREEN, &error));
        if (Failed(error) || !child || child.get() == found.get()) {
            break;
        }
        found = std::move(child);
    }
    // A text view's inner viewport has no text of its own: its parent does.
    for (int up = 0; found && up < 3; ++up) {
        const EKind kind = SettableKind(found.get());
        if (kind != EKind::None) {
            return {std::move(found), kind};
        }
        Accessible parent(atspi_accessible_get_parent(found.get(), &error));
        if (Failed(error)) {
            break;
        }
        found = std::move(parent);
    }
    return {};
}

}  // namespace

std::shared_ptr<CAtspiWorker> CAtspiWorker::Start() {
    std::shared_ptr<CAtspiWorker> worker(new CAtspiWorker);
    worker->m_context = g_main_context_new();
    std::promise<bool> started;
    std::future<bool> ready = started.get_future();
    worker->m_thread = std::thread([raw = worker.get(), &started] { raw->Loop(&started); });
    if (!ready.get()) {
        return nullptr;
    }
    return worker;
}

void CAtspiWorker::Loop(std::promise<bool>* started) {
    GMainContext* context = m_context;
    g_main_context_push_thread_default(context);
    // The X display finds the window under a point; without one (Wayland) only the focused
    // field can be reached.
    Expected<std::unique_ptr<CXcbConnection>> display = CXcbConnection::Open();
    if (display.ok()) {
        m_display = std::move(display).value();
    }
    bool ok = AccessibilityBusReachable(m_display.get());
    if (ok) {
        const int init = atspi_init();
        ok = init == 0 || init == 1;
    }
    if (ok) {
        // Set only now: setting it connects to the bus.
        atspi_set_main_context(context);
    }
    if (ok) {
        atspi_set_timeout(kCallTimeoutMs, 0);
        EnableAccessibility();
    }
    started->set_value(ok);
    while (ok) {
        // Tasks run here, at the outer level, one after the other; a task queued while one is
        // waiting for an answer waits its turn.
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_tasks.empty()) {
                    break;
                }
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_bStop) {
                break;
            }
        }
        // Events, answers and Wake() come in here.
        g_main_context_iteration(context, TRUE);
    }
    m_display.reset();
    g_main_context_pop_thread_default(context);
}

void CAtspiWorker::Wake() {
    // A source attached from another thread wakes the context, also when it is about to sleep.
    GSource* wake = g_idle_source_new();
    g_source_set_callback(
        wake, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(wake, m_context);
    g_source_unref(wake);
}

CAtspiWorker::~CAtspiWorker() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    Wake();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    g_main_context_unref(m_context);
}

void CAtspiWorker::Run(const std::function<void()>& task) {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    Post([&] {
        task();
        done.set_value();
    });
    finished.get();
}

void CAtspiWorker::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    Wake();
}

bool CAtspiTextSetter::CanSetTextAt(ScreenPoint point) {
    bool settable = false;
    m_worker->Run(
        [&] { settable = FindSettable(m_worker->Display(), point).m_kind != EKind::None; });
    return settable;
}

bool CAtspiTextSetter::SetTextAt(ScreenPoint point, const std::u16string& text) {
    bool set = false;
    m_worker->Run([&] {
        auto [target, kind] = FindSettable(m_worker->Display(), point);
        GError* error = nullptr;
        const std::string utf8 = Utf8FromUtf16(text);
        if (kind == EKind::Text) {
            Ref<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(target.get()));
            set = atspi_editable_text_set_text_contents(editable.get(), utf8.c_str(), &error) &&
                  !Failed(error);
        } else if (kind == EKind::Value) {
            // A value control takes numbers only: other text is not set.
            char* end = nullptr;
            const double number = std::strtod(utf8.c_str(), &end);
            if (!utf8.empty() && end != nullptr && *end == '\0') {
                Ref<AtspiValue> value(atspi_accessible_get_value_iface(target.get()));
                set = atspi_value_set_current_value(value.get(), number, &error) && !Failed(error);
            }
        }
        Failed(error);
    });
    return set;
}

std::shared_ptr<CAtspiWorker> CAtspiTextSetterFactory::Worker() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_worker) {
        m_worker = CAtspiWorker::Start();
    }
    return m_worker;
}

std::unique_ptr<ITextSetter> CAtspiTextSetterFactory::CreateTextSetter() {
    std::shared_ptr<CAtspiWorker> worker = Worker();
    if (!worker) {
        return nullptr;
    }
    return std::make_unique<CAtspiTextSetter>(std::move(worker));
}

}  // namespace quenby
