#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "engine/Outcome.h"
#include "linux/wayland/TextIntake.h"

namespace quenby {

class CWaylandSession;

// How fast keys go out. The compositor forwards a virtual keyboard's keys to the focused client
// as fast as they come; a client that falls behind fills its socket, and the compositor then
// disconnects it (the application usually dies with it, and its user's unsaved work). Keys go out
// in small bursts, each after a round trip (the compositor has handled the burst before): the
// compositor then passes a burst on in one write, and the client reads it in one wake-up.
struct WaylandPacing {
    // Without word from the focused application: the average time per key press, which the
    // bursts never run ahead of. Measured with a GTK 3 text view taking 10,000 characters with
    // every core busy: disconnected in some runs from 1,400 characters a second on (how fast it
    // reads varies with the load); about 650 a second leaves a wide margin. A single paragraph
    // of thousands of characters, which GTK lays out anew at every key, falls behind even 200 a
    // second: only the application's own word keeps pace with that.
    std::chrono::microseconds m_keyInterval{1500};
    int m_iKeysPerBurst = 8;
    // Where its field tells what it has taken in: the characters sent that it has not shown yet,
    // at most.
    int m_iBacklog = 32;
    // A field that has shown nothing for this long while keys wait: the application is asked
    // whether it still runs. Running and quiet, it has read its keys (they made no text, or it
    // did not say so).
    std::chrono::milliseconds m_quiet{300};
    // An application that neither takes in keys nor answers for this long has stopped (frozen or
    // hung): the message ends rather than piling keys into it.
    std::chrono::milliseconds m_stalled{10000};
    // Given to the focused client to take in a keymap of ours when it changes mid-message.
    std::chrono::milliseconds m_afterKeymap{10};
    // Given after the first keymap in a seat that had no keyboard: clients bind the new keyboard
    // only when told of it, and keys sent before then are lost.
    std::chrono::milliseconds m_newKeyboard{50};
};

// Holds each key press of one message back until it may go: at a fixed pace, or, while the
// focused field tells what it has taken in, until few of the characters sent are unread.
class CWaylandPacer {
public:
    // `intake`: how the focused field's reading is seen; null, or one that cannot watch the
    // field, leaves the fixed pace.
    CWaylandPacer(CWaylandSession& session, const WaylandPacing& pacing, ITextIntake* intake);
    ~CWaylandPacer();
    CWaylandPacer(const CWaylandPacer&) = delete;
    CWaylandPacer& operator=(const CWaylandPacer&) = delete;

    // Asked while waiting: true ends the wait, and the key does not go.
    void SetInterrupt(std::function<bool()> interrupted) { m_interrupted = std::move(interrupted); }
    // Before a key press; `character`: whether it makes a character. False when it must not go:
    // the wait was interrupted, or the application stopped taking keys in (Failure says why).
    bool BeforePress(bool character);
    // Ok, or why no more keys may go to the application.
    const Status& Failure() const { return m_failure; }

private:
    void KeepBurstPace();
    bool KeepBacklogSmall();

    CWaylandSession& m_session;
    WaylandPacing m_pacing;
    ITextIntake* m_intake = nullptr;  // null: no word from the application
    std::function<bool()> m_interrupted;
    Status m_failure = Status::Ok();
    std::chrono::steady_clock::time_point m_burstStart;
    int m_iBurstKeys = 0;       // key presses sent since the burst started
    std::uint64_t m_uSent = 0;  // characters sent
    std::uint64_t m_uRead = 0;  // characters the application has shown it read
    TextIntakeState m_seen;
};

}  // namespace quenby
