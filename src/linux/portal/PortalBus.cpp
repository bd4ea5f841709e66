#include "linux/portal/PortalBus.h"

#include <unistd.h>

#include <condition_variable>
#include <future>
#include <mutex>

namespace quenby {
namespace {

std::string TakeError(GError* error) {
    std::string text = error != nullptr ? error->message : "unknown error";
    if (error != nullptr) {
        g_error_free(error);
    }
    return text;
}

int Milliseconds(std::chrono::milliseconds timeout) {
    return static_cast<int>(timeout.count());
}

// What a waiting caller and the Response handler on the bus thread share.
struct ResponseWait {
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bDone = false;
    std::uint32_t m_uCode = 2;
    VariantPtr m_results;
};

struct Handler {
    std::function<void(GVariant*)> m_handle;
};

void OnSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
              GVariant* parameters, gpointer data) {
    static_cast<Handler*>(data)->m_handle(parameters);
}

void DeleteHandler(gpointer data) {
    delete static_cast<Handler*>(data);
}

}  // namespace

GVariant* OptionsWithToken(const char* token, GVariantBuilder* builder) {
    GVariantBuilder fresh;
    if (builder == nullptr) {
        g_variant_builder_init(&fresh, G_VARIANT_TYPE_VARDICT);
        builder = &fresh;
    }
    g_variant_builder_add(builder, "{sv}", "handle_token", g_variant_new_string(token));
    return g_variant_builder_end(builder);
}

std::shared_ptr<CPortalBus> CPortalBus::Connect() {
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (address == nullptr) {
        TakeError(error);
        return nullptr;
    }
    // A connection of our own, not GLib's shared one: its signals then go only to our thread,
    // and closing it ends every portal session we opened.
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    g_free(address);
    if (connection == nullptr) {
        TakeError(error);
        return nullptr;
    }
    std::shared_ptr<CPortalBus> bus(new CPortalBus());
    bus->m_connection = connection;
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    // Portals name request objects after the caller: ":1.42" becomes "1_42".
    std::string sender = g_dbus_connection_get_unique_name(connection);
    if (!sender.empty() && sender[0] == ':') {
        sender.erase(0, 1);
    }
    for (char& c : sender) {
        c = c == '.' ? '_' : c;
    }
    bus->m_strSenderPart = sender;
    bus->m_context = g_main_context_new();
    bus->m_loop = g_main_loop_new(bus->m_context, FALSE);
    std::promise<void> running;
    bus->m_thread = std::thread([context = bus->m_context, loop = bus->m_loop, &running] {
        g_main_context_push_thread_default(context);
        // Told from inside the loop: a quit before the loop runs would be lost.
        GSource* started = g_idle_source_new();
        g_source_set_callback(
            started,
            [](gpointer data) -> gboolean {
                static_cast<std::promise<void>*>(data)->set_value();
                return G_SOURCE_REMOVE;
            },
            &running, nullptr);
        g_source_attach(started, context);
        g_source_unref(started);
        g_main_loop_run(loop);
        g_main_context_pop_thread_default(context);
    });
    running.get_future().wait();
    return bus;
}

CPortalBus::~CPortalBus() {
    // Closing drops the portal's sessions of ours: the portal closes what its caller leaves.
    g_dbus_connection_close_sync(m_connection, nullptr, nullptr);
    g_main_loop_quit(m_loop);
    if (m_thread.joinable()) {
        m_thread.join();
    }
    g_object_unref(m_connection);
    // Handlers of subscriptions still in the context are freed with it.
    while (g_main_context_iteration(m_context, FALSE)) {
    }
    g_main_loop_unref(m_loop);
    g_main_context_unref(m_context);
}

void CPortalBus::RunOnBusThread(const std::function<void()>& task) {
    struct Job {
        const std::function<void()>* m_task;
        std::promise<void> m_done;
    };
    Job job{&task, {}};
    std::future<void> done = job.m_done.get_future();
    g_main_context_invoke(
        m_context,
        [](gpointer data) -> gboolean {
            auto* j = static_cast<Job*>(data);
            (*j->m_task)();
            j->m_done.set_value();
            return G_SOURCE_REMOVE;
        },
        &job);
    done.wait();
}

VariantPtr CPortalBus::Call(const char* interface, const char* method, GVariant* parameters,
                            std::chrono::milliseconds timeout, std::string* error) {
    return CallAt(kPortalPath, interface, method, parameters, timeout, error);
}

VariantPtr CPortalBus::CallAt(const char* path, const char* interface, const char* method,
                              GVariant* parameters, std::chrono::milliseconds timeout,
                              std::string* error) {
    GError* failure = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        m_connection, kPortalName, path, interface, method, parameters, nullptr,
        G_DBUS_CALL_FLAGS_NONE, Milliseconds(timeout), nullptr, &failure);
    if (reply == nullptr) {
        const std::string text = TakeError(failure);
        if (error != nullptr) {
            *error = text;
        }
    }
    return VariantPtr(reply);
}

std::uint32_t CPortalBus::InterfaceVersion(const char* interface,
                                           std::chrono::milliseconds timeout) {
    VariantPtr reply = Call("org.freedesktop.DBus.Properties", "Get",
                            g_variant_new("(ss)", interface, "version"), timeout);
    if (!reply || !g_variant_is_of_type(reply.get(), G_VARIANT_TYPE("(v)"))) {
        return 0;
    }
    GVariant* value = nullptr;
    g_variant_get(reply.get(), "(v)", &value);
    VariantPtr held(value);
    return g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32) ? g_variant_get_uint32(value) : 0;
}

std::string CPortalBus::PortalOwner() {
    GVariant* reply = g_dbus_connection_call_sync(
        m_connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetNameOwner", g_variant_new("(s)", kPortalName), G_VARIANT_TYPE("(s)"),
        G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
    if (reply == nullptr) {
        return {};
    }
    const gchar* owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    std::string result = owner != nullptr ? owner : "";
    g_variant_unref(reply);
    return result;
}

unsigned CPortalBus::Subscribe(const char* interface, const char* signal, const char* path,
                               std::function<void(GVariant*)> handler) {
    const std::string owner = PortalOwner();
    if (owner.empty()) {
        return 0;  // no portal: nothing would ever come
    }
    unsigned id = 0;
    // Subscribed on the bus thread: GDBus delivers signals to the subscriber's context.
    RunOnBusThread([&] {
        id = g_dbus_connection_signal_subscribe(m_connection, owner.c_str(), interface, signal,
                                                path, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, OnSignal,
                                                new Handler{std::move(handler)}, DeleteHandler);
    });
    return id;
}

void CPortalBus::Unsubscribe(unsigned id) {
    if (id != 0) {
        g_dbus_connection_signal_unsubscribe(m_connection, id);
    }
}

std::string CPortalBus::NewToken() {
    return "quenby" + std::to_string(::getpid()) + "_" + std::to_string(++m_uTokens);
}

std::string CPortalBus::ObjectPath(const char* kind, const std::string& token) const {
    return std::string(kPortalPath) + "/" + kind + "/" + m_strSenderPart + "/" + token;
}

PortalResponse CPortalBus::Request(const char* interface, const char* method,
                                   const std::function<GVariant*(const char*)>& parameters,
                                   std::chrono::milliseconds callWait,
                                   std::chrono::milliseconds answerWait) {
    PortalResponse response;
    const std::string token = NewToken();
    const std::string path = ObjectPath("request", token);
    auto wait = std::make_shared<ResponseWait>();
    // Subscribed before the call: the answer may come before the call's reply does.
    const unsigned id = Subscribe("org.freedesktop.portal.Request", "Response", path.c_str(),
                                  [wait](GVariant* args) {
                                      if (!g_variant_is_of_type(args, G_VARIANT_TYPE("(ua{sv})"))) {
                                          return;
                                      }
                                      std::uint32_t code = 2;
                                      GVariant* results = nullptr;
                                      g_variant_get(args, "(u@a{sv})", &code, &results);
                                      std::lock_guard<std::mutex> lock(wait->m_mutex);
                                      wait->m_uCode = code;
                                      wait->m_results.reset(results);
                                      wait->m_bDone = true;
                                      wait->m_changed.notify_all();
                                  });
    if (id == 0) {
        response.m_strError = "no desktop portal on the session bus";
        return response;
    }
    VariantPtr reply =
        Call(interface, method, parameters(token.c_str()), callWait, &response.m_strError);
    if (!reply) {
        Unsubscribe(id);
        return response;
    }
    {
        std::unique_lock<std::mutex> lock(wait->m_mutex);
        if (!wait->m_changed.wait_for(lock, answerWait, [&] { return wait->m_bDone; })) {
            response.m_answer = EPortalAnswer::NoAnswer;
        } else {
            response.m_answer = wait->m_uCode == 0   ? EPortalAnswer::Granted
                                : wait->m_uCode == 1 ? EPortalAnswer::Refused
                                                     : EPortalAnswer::Failed;
            response.m_results = std::move(wait->m_results);
        }
    }
    Unsubscribe(id);
    if (response.m_answer == EPortalAnswer::NoAnswer) {
        // The request is given up: the portal may drop its dialog.
        g_dbus_connection_call(m_connection, kPortalName, path.c_str(),
                               "org.freedesktop.portal.Request", "Close", nullptr, nullptr,
                               G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr, nullptr);
    }
    return response;
}

}  // namespace quenby
