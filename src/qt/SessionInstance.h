#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace quenby {

// One Quenby per user session: the running one owns this name on the session bus and serves
// these methods at this path; a later start calls them instead of opening a second window.
//   Activate()      bring the window to the front
//   Open(ay path)   bring the window to the front and open a data file as Load... does (the
//                   path as bytes: a file name need not be valid UTF-8)
//   Toggle()        start or stop the typing run, as the start/stop shortcut does
//   StopNow() -> b  stop the typing run at once, as Esc does; whether one was active
inline constexpr char kInstanceBusName[] = "org.holvane.Quenby";
inline constexpr char kInstanceObjectPath[] = "/org/holvane/Quenby";
inline constexpr char kInstanceInterface[] = "org.holvane.Quenby";

// How long a later start waits for the running Quenby to answer.
inline constexpr int kInstanceCallTimeoutMs = 5000;

// What the running Quenby is asked to do. Called on the UI thread from its event queue, after
// the caller has had its answer, so a question these ask the user never holds up the caller.
struct InstanceRequests {
    std::function<void()> m_activate;
    std::function<void(const std::filesystem::path&)> m_open;
    std::function<void()> m_toggle;
    // Called while the caller waits: it only stops, and says whether a run was active.
    std::function<bool()> m_stopNow;
};

class CInstanceObject;

// The running side: serves the methods and owns the name while it lives.
class CSessionInstance {
public:
    enum class EClaim {
        Owned,  // this is the one Quenby of the session
        Taken,  // another Quenby owns the name
        NoBus,  // no session bus: this one runs alone, unreachable for later starts
    };
    explicit CSessionInstance(InstanceRequests requests);
    ~CSessionInstance();
    CSessionInstance(const CSessionInstance&) = delete;
    CSessionInstance& operator=(const CSessionInstance&) = delete;

    // Serves the methods, then takes the name, so no call can find the name without them.
    EClaim Claim();

private:
    std::unique_ptr<CInstanceObject> m_object;
    bool m_bServing = false;
    bool m_bOwned = false;
};

// The calling side: how a call to the running Quenby went.
enum class EInstanceCall {
    Done,
    NoBus,       // no session bus to call on
    NotRunning,  // nobody owns the name
    NoAnswer,    // the owner did not answer in time
    Failed,      // the owner answered with an error
};

struct InstanceCallResult {
    EInstanceCall m_outcome = EInstanceCall::Failed;
    std::string m_strDetail;  // the bus's own words, for the message to the user
    bool m_bAnswer = false;   // what a method with a boolean answer said
};

// Calls Activate() or Toggle() of the running Quenby. A QCoreApplication must exist.
InstanceCallResult CallRunningInstance(const char* method);
// Calls StopNow() of the running Quenby; m_bAnswer: a run was active. A QCoreApplication must
// exist.
InstanceCallResult StopRunningInstance();
// Calls Open() of the running Quenby with this file. A QCoreApplication must exist.
InstanceCallResult OpenInRunningInstance(const std::filesystem::path& file);

}  // namespace quenby
