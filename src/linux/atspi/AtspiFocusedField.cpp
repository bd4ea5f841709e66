#include "linux/atspi/AtspiFocusedField.h"

#include <unistd.h>

#include <vector>

namespace quenby::atspi {
namespace {

using Clock = std::chrono::steady_clock;

// The active top-level window of an application other than this one; nothing when none is.
Accessible ActiveWindowOfAnotherApplication(Clock::time_point deadline) {
    GError* error = nullptr;
    Accessible desktop(atspi_get_desktop(0));
    if (!desktop) {
        return nullptr;
    }
    const gint applications = atspi_accessible_get_child_count(desktop.get(), &error);
    if (Failed(error)) {
        return nullptr;
    }
    const guint self = static_cast<guint>(::getpid());
    for (gint i = 0; i < applications && Clock::now() < deadline; ++i) {
        Accessible application(atspi_accessible_get_child_at_index(desktop.get(), i, &error));
        if (Failed(error) || !application) {
            continue;
        }
        const guint pid = atspi_accessible_get_process_id(application.get(), &error);
        if (Failed(error) || pid == self) {
            continue;
        }
        const gint windows = atspi_accessible_get_child_count(application.get(), &error);
        if (Failed(error)) {
            continue;  // not answering: it cannot be the one the user is typing into
        }
        // libatspi caches states and updates them from events only while its context runs:
        // an earlier search's "active" may be stale now.
        atspi_accessible_clear_cache(application.get());
        for (gint w = 0; w < windows && Clock::now() < deadline; ++w) {
            Accessible window(atspi_accessible_get_child_at_index(application.get(), w, &error));
            if (!Failed(error) && window && HasState(window.get(), ATSPI_STATE_ACTIVE)) {
                return window;
            }
        }
    }
    return nullptr;
}

// One call into the application where it answers searches itself (GTK does).
Accessible FocusedByCollection(AtspiAccessible* window) {
    Ref<AtspiCollection> collection(atspi_accessible_get_collection_iface(window));
    if (!collection) {
        return nullptr;
    }
    GArray* states = g_array_new(FALSE, FALSE, sizeof(AtspiStateType));
    const AtspiStateType wanted = ATSPI_STATE_FOCUSED;
    g_array_append_val(states, wanted);
    Ref<AtspiStateSet> focused(atspi_state_set_new(states));
    g_array_free(states, TRUE);
    Ref<AtspiMatchRule> rule(atspi_match_rule_new(
        focused.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, nullptr,
        ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, FALSE));
    GError* error = nullptr;
    GArray* matches = atspi_collection_get_matches(
        collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error);
    Accessible found;
    if (!Failed(error) && matches != nullptr && matches->len > 0) {
        found.reset(g_array_index(matches, AtspiAccessible*, 0));
        for (guint i = 1; i < matches->len; ++i) {
            g_object_unref(g_array_index(matches, AtspiAccessible*, i));
        }
    }
    if (matches != nullptr) {
        g_array_free(matches, TRUE);
    }
    return found;
}

// Walks the window's showing elements, for toolkits without searches; stops at the deadline.
Accessible FocusedByWalk(Accessible window, Clock::time_point deadline) {
    std::vector<Accessible> pending;
    pending.push_back(std::move(window));
    GError* error = nullptr;
    while (!pending.empty() && Clock::now() < deadline) {
        Accessible element = std::move(pending.back());
        pending.pop_back();
        if (HasState(element.get(), ATSPI_STATE_FOCUSED)) {
            return element;
        }
        const gint children = atspi_accessible_get_child_count(element.get(), &error);
        if (Failed(error)) {
            continue;
        }
        for (gint i = children - 1; i >= 0; --i) {
            Accessible child(atspi_accessible_get_child_at_index(element.get(), i, &error));
            if (!Failed(error) && child && HasState(child.get(), ATSPI_STATE_SHOWING)) {
                pending.push_back(std::move(child));
            }
        }
    }
    return nullptr;
}

}  // namespace

Settable FindFocusedSettable(std::chrono::milliseconds budget) {
    const Clock::time_point deadline = Clock::now() + budget;
    Accessible window = ActiveWindowOfAnotherApplication(deadline);
    if (!window) {
        return {};
    }
    Accessible focused = FocusedByCollection(window.get());
    if (!focused) {
        focused = FocusedByWalk(std::move(window), deadline);
    }
    if (!focused) {
        return {};
    }
    const EKind kind = SettableKind(focused.get());
    if (kind == EKind::None) {
        return {};
    }
    return {std::move(focused), kind};
}

}  // namespace quenby::atspi
