#include "linux/atspi/AtspiElements.h"

namespace quenby::atspi {

bool Failed(GError*& error) {
    if (error == nullptr) {
        return false;
    }
    g_error_free(error);
    error = nullptr;
    return true;
}

bool HasState(AtspiAccessible* accessible, AtspiStateType state) {
    Ref<AtspiStateSet> states(atspi_accessible_get_state_set(accessible));
    return states && atspi_state_set_contains(states.get(), state);
}

EKind SettableKind(AtspiAccessible* accessible) {
    if (!HasState(accessible, ATSPI_STATE_ENABLED) || HasState(accessible, ATSPI_STATE_READ_ONLY)) {
        return EKind::None;
    }
    if (Ref<AtspiEditableText> text{atspi_accessible_get_editable_text_iface(accessible)};
        text && HasState(accessible, ATSPI_STATE_EDITABLE)) {
        return EKind::Text;
    }
    if (Ref<AtspiValue> value{atspi_accessible_get_value_iface(accessible)}) {
        return EKind::Value;
    }
    return EKind::None;
}

void DropListener(AtspiEventListener* listener, std::span<const char* const> types) {
    if (listener == nullptr) {
        return;
    }
    for (const char* type : types) {
        GError* error = nullptr;
        atspi_event_listener_deregister(listener, type, &error);
        Failed(error);
    }
    g_object_unref(listener);
}

}  // namespace quenby::atspi
