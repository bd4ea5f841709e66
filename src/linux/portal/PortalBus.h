#pragma once

#include <gio/gio.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace quenby {

struct VariantUnref {
    void operator()(GVariant* value) const {
        if (value != nullptr) {
            g_variant_unref(value);
        }
    }
};
// A GVariant we hold a reference to.
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;

// How a portal request ended: its Response signal's code, or why none came.
enum class EPortalAnswer {
    Granted,    // response 0
    Refused,    // response 1: the user said no
    Failed,     // response 2 or any other: the desktop ended the request
    NoAnswer,   // no Response before the deadline
    CallFailed  // the method call itself failed (no portal, bad arguments)
};

struct PortalResponse {
    EPortalAnswer m_answer = EPortalAnswer::CallFailed;
    VariantPtr m_results;  // the a{sv} of the Response, when one came
    std::string m_strError;
};

// The desktop portal's well-known name and object, and the session interface all portals share.
inline constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
inline constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
inline constexpr const char* kSessionInterface = "org.freedesktop.portal.Session";

// The a{sv} options of a portal call: `builder` (a vardict under way, or a fresh one when null)
// ended with the request's handle token added.
GVariant* OptionsWithToken(const char* token, GVariantBuilder* builder = nullptr);

// A private connection to the session bus for portal calls, with a thread running a GLib main
// context of its own. Signals (request answers, shortcut presses, sessions closing) are handled
// there, never on the UI thread's context, which may be blocked or may not run GLib at all.
// Every method may be called from any thread; every wait has a deadline.
class CPortalBus {
public:
    // Connects to the session bus; null when there is none.
    static std::shared_ptr<CPortalBus> Connect();
    ~CPortalBus();
    CPortalBus(const CPortalBus&) = delete;
    CPortalBus& operator=(const CPortalBus&) = delete;

    // Calls a method on the portal object; the reply, or null with `error` set.
    VariantPtr Call(const char* interface, const char* method, GVariant* parameters,
                    std::chrono::milliseconds timeout, std::string* error = nullptr);
    // Calls a method on another object of the portal (a session, a request).
    VariantPtr CallAt(const char* path, const char* interface, const char* method,
                      GVariant* parameters, std::chrono::milliseconds timeout,
                      std::string* error = nullptr);
    // The portal interface's "version" property; 0 when the portal or the interface is missing.
    std::uint32_t InterfaceVersion(const char* interface, std::chrono::milliseconds timeout);
    // Calls a method that answers through a Request object and waits for the Response at most
    // `answerWait`. `parameters` gets the handle token to put in the call's options.
    PortalResponse Request(const char* interface, const char* method,
                           const std::function<GVariant*(const char* token)>& parameters,
                           std::chrono::milliseconds callWait,
                           std::chrono::milliseconds answerWait);
    // Runs `handler` on the bus thread for each signal from the portal on `path` (any path when
    // null); the subscription's id.
    unsigned Subscribe(const char* interface, const char* signal, const char* path,
                       std::function<void(GVariant* parameters)> handler);
    // Ends a subscription; its handler may still be running when this returns.
    void Unsubscribe(unsigned id);
    // A token for a request or session, unique on this connection.
    std::string NewToken();
    // Where the portal puts an object made with `token` ("request" or "session").
    std::string ObjectPath(const char* kind, const std::string& token) const;

private:
    CPortalBus() = default;
    // Runs `task` on the bus thread, with its main context as the thread default, and returns
    // when it is done.
    void RunOnBusThread(const std::function<void()>& task);
    // The portal's unique name now: signals are accepted from it only.
    std::string PortalOwner();

    GDBusConnection* m_connection = nullptr;
    GMainContext* m_context = nullptr;
    GMainLoop* m_loop = nullptr;
    std::thread m_thread;
    std::string m_strSenderPart;  // our unique name as portals put it into object paths
    std::atomic<unsigned> m_uTokens{0};
};

}  // namespace quenby
