#pragma once

#include <atspi/atspi.h>

#include <memory>
#include <span>

// What the AT-SPI text setters share: owning references, error handling, and the test of whether
// an element takes text. Called on the AT-SPI worker's thread only.
namespace quenby::atspi {

struct UnrefDeleter {
    void operator()(gpointer object) const {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};
using Accessible = std::unique_ptr<AtspiAccessible, UnrefDeleter>;
template <typename T>
using Ref = std::unique_ptr<T, UnrefDeleter>;

// Clears an AT-SPI error; true when there was one (the application did not answer, or is gone).
bool Failed(GError*& error);

bool HasState(AtspiAccessible* accessible, AtspiStateType state);

// Takes the listener off every event type it was registered for, and lets go of it.
void DropListener(AtspiEventListener* listener, std::span<const char* const> types);

// How an element takes text: as editable text, as a number, or not at all.
enum class EKind { None, Text, Value };

// Editable text, or a value, that is enabled and not read-only; anything else takes nothing.
EKind SettableKind(AtspiAccessible* accessible);

// An element that takes text, and how; an empty one when there is none.
struct Settable {
    Accessible m_element;
    EKind m_kind = EKind::None;
};

}  // namespace quenby::atspi
