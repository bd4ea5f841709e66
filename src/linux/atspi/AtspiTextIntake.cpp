#include "linux/atspi/AtspiTextIntake.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

#include "linux/atspi/AtspiElements.h"
#include "linux/atspi/AtspiFocusedField.h"
#include "linux/atspi/AtspiTextSetter.h"

namespace quenby {
namespace {

using atspi::DropListener;
using atspi::Failed;
using Clock = std::chrono::steady_clock;

constexpr const char* kEvents[] = {"object:text-changed:insert", "object:state-changed:defunct"};

// How long the search for the focused field may take at the start of a message.
constexpr std::chrono::milliseconds kSearchBudget{500};

// An element's identity: its application's bus name and its object path.
std::string IdentityOf(AtspiAccessible* element) {
    const AtspiObject& object = element->parent;
    std::string identity =
        object.app != nullptr && object.app->bus_name != nullptr ? object.app->bus_name : "";
    identity += '\n';
    identity += object.path != nullptr ? object.path : "";
    return identity;
}

}  // namespace

struct CAtspiTextIntake::State {
    std::mutex m_mutex;
    std::condition_variable m_changed;
    TextIntakeState m_intake;
    std::uint64_t m_uMessage = 0;  // counts Begin calls: an answer for an earlier one is dropped
    bool m_bAsking = false;
    // Used on the worker's thread only.
    atspi::Accessible m_field;
    std::string m_strField;  // its identity; empty between messages

    template <typename Change>
    void Update(Change change) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            change(m_intake);
        }
        m_changed.notify_all();
    }
};

namespace {

// Runs on the worker's thread, possibly inside a call that waits for an answer: it only counts.
void OnEvent(AtspiEvent* event, void* data) {
    auto& state = *static_cast<std::shared_ptr<CAtspiTextIntake::State>*>(data);
    if (event->source != nullptr && !state->m_strField.empty() &&
        IdentityOf(event->source) == state->m_strField && event->type != nullptr) {
        const std::string_view type = event->type;
        if (type.starts_with("object:text-changed:insert") && event->detail2 > 0) {
            const auto length = static_cast<std::uint64_t>(event->detail2);
            state->Update([length](TextIntakeState& intake) { intake.m_uTaken += length; });
        } else if (type.starts_with("object:state-changed:defunct") && event->detail1 != 0) {
            state->Update([](TextIntakeState& intake) { intake.m_bGone = true; });
        }
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

}  // namespace

CAtspiTextIntake::CAtspiTextIntake(std::shared_ptr<CAtspiWorker> worker)
    : m_worker(std::move(worker)), m_state(std::make_shared<State>()) {}

CAtspiTextIntake::~CAtspiTextIntake() {
    m_worker->Run([this] {
        m_state->m_field.reset();
        DropListener(static_cast<AtspiEventListener*>(m_listener), kEvents);
    });
}

bool CAtspiTextIntake::Begin() {
    bool watching = false;
    m_worker->Run([this, &watching] {
        if (m_listener == nullptr) {
            AtspiEventListener* listener = atspi_event_listener_new(
                OnEvent, new std::shared_ptr<State>(m_state),
                [](gpointer data) { delete static_cast<std::shared_ptr<State>*>(data); });
            m_listener = listener;
            for (const char* type : kEvents) {
                GError* error = nullptr;
                atspi_event_listener_register(listener, type, &error);
                Failed(error);
            }
        }
        atspi::Settable field = atspi::FindFocusedSettable(kSearchBudget);
        atspi::Ref<AtspiText> text(field.m_kind == atspi::EKind::Text
                                       ? atspi_accessible_get_text_iface(field.m_element.get())
                                       : nullptr);
        watching = text != nullptr;
        m_state->m_strField = watching ? IdentityOf(field.m_element.get()) : std::string();
        m_state->m_field = watching ? std::move(field.m_element) : nullptr;
        m_state->Update([this](TextIntakeState& intake) {
            intake = {};
            ++m_state->m_uMessage;
        });
    });
    return watching;
}

void CAtspiTextIntake::End() {
    m_worker->Run([this] {
        m_state->m_field.reset();
        m_state->m_strField.clear();
    });
}

TextIntakeState CAtspiTextIntake::Wait(const TextIntakeState& seen,
                                       std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_state->m_mutex);
    m_state->m_changed.wait_for(lock, timeout, [&] { return !(m_state->m_intake == seen); });
    return m_state->m_intake;
}

void CAtspiTextIntake::Ask() {
    std::uint64_t message = 0;
    {
        const std::lock_guard<std::mutex> lock(m_state->m_mutex);
        if (m_state->m_bAsking) {
            return;
        }
        m_state->m_bAsking = true;
        message = m_state->m_uMessage;
    }
    m_worker->Post([state = m_state, message] {
        bool answered = false;
        bool gone = false;
        if (state->m_field) {
            const Clock::time_point start = Clock::now();
            atspi::Ref<AtspiText> text(atspi_accessible_get_text_iface(state->m_field.get()));
            GError* error = nullptr;
            gint count = -1;
            if (text) {
                count = atspi_text_get_character_count(text.get(), &error);
            }
            // A call that runs out of time may fail without an error: only a count is an answer.
            answered = text && !Failed(error) && count >= 0;
            // A call that fails at once was answered by the application (the field is no more)
            // or by the bus (the application is no more); a frozen one lets it run out of time.
            gone = !answered && Clock::now() - start <
                                    std::chrono::milliseconds(CAtspiWorker::kCallTimeoutMs / 2);
        }
        state->Update([&](TextIntakeState& intake) {
            state->m_bAsking = false;
            if (state->m_uMessage == message) {
                intake.m_uAnswers += answered ? 1 : 0;
                intake.m_bGone = intake.m_bGone || gone;
            }
        });
    });
}

}  // namespace quenby
