// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/atspi/AtspiTree.h"

#include <vector>

#include <unistd.h>

namespace parlune::atspi {

namespace {

// A window with a huge tree (a spreadsheet) is not searched to the end.
constexpr int searchLimit = 3000;

} // namespace

bool connected()
{
    // atspi_init gives 0 on success and 1 when it was already done; anything else means no bus.
    static const bool ready = [] {
        const int result = atspi_init();
        if (result == 0 || result == 1)
            atspi_set_timeout(callTimeoutMilliseconds, callTimeoutMilliseconds);
        return result == 0 || result == 1;
    }();
    return ready;
}

bool hasState(AtspiAccessible* object, AtspiStateType state)
{
    const StateSet states(atspi_accessible_get_state_set(object));
    return states && atspi_state_set_contains(states.get(), state);
}

int childCount(AtspiAccessible* object)
{
    GError* error = nullptr;
    const int count = atspi_accessible_get_child_count(object, &error);
    if (error) {
        g_error_free(error);
        return 0;
    }
    return count;
}

Accessible child(AtspiAccessible* object, int index)
{
    GError* error = nullptr;
    Accessible result(atspi_accessible_get_child_at_index(object, index, &error));
    if (error)
        g_error_free(error);
    return result;
}

std::optional<ActiveWindow> activeWindowOfAnotherApplication()
{
    if (!connected())
        return std::nullopt;
    const Accessible desktop(atspi_get_desktop(0));
    if (!desktop)
        return std::nullopt;

    const int applications = childCount(desktop.get());
    for (int a = 0; a < applications; ++a) {
        Accessible application = child(desktop.get(), a);
        if (!application)
            continue;
        // Our own windows are never the target, and asking ourselves over the bus from the thread that
        // would answer could only time out.
        GError* error = nullptr;
        const guint pid = atspi_accessible_get_process_id(application.get(), &error);
        if (error) {
            g_error_free(error);
            continue;
        }
        if (pid == guint(getpid()))
            continue;

        const int windows = childCount(application.get());
        for (int w = 0; w < windows; ++w) {
            Accessible window = child(application.get(), w);
            if (window && hasState(window.get(), ATSPI_STATE_ACTIVE))
                return ActiveWindow{std::move(application), std::move(window), qint64(pid)};
        }
    }
    return std::nullopt;
}

// The toolkits that implement the collection interface (GTK, browsers) find the focused object in one
// call; the others are searched depth first.
Accessible focusedInside(AtspiAccessible* window)
{
    if (AtspiCollection* collection = atspi_accessible_get_collection_iface(window)) {
        AtspiStateSet* wanted = atspi_state_set_new(nullptr);
        atspi_state_set_add(wanted, ATSPI_STATE_FOCUSED);
        AtspiMatchRule* rule = atspi_match_rule_new(
            wanted, ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, nullptr,
            ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, FALSE);
        GError* error = nullptr;
        GArray* matches = atspi_collection_get_matches(
            collection, rule, ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error);
        g_object_unref(rule);
        g_object_unref(wanted);
        g_object_unref(collection);
        if (!error) {
            Accessible found;
            if (matches && matches->len > 0)
                found.reset(
                    static_cast<AtspiAccessible*>(g_object_ref(g_array_index(matches, AtspiAccessible*, 0))));
            if (matches) {
                for (guint i = 0; i < matches->len; ++i)
                    g_object_unref(g_array_index(matches, AtspiAccessible*, i));
                g_array_free(matches, TRUE);
            }
            return found;
        }
        g_error_free(error);
    }

    std::vector<Accessible> pending;
    pending.emplace_back(static_cast<AtspiAccessible*>(g_object_ref(window)));
    for (int visited = 0; !pending.empty() && visited < searchLimit; ++visited) {
        Accessible object = std::move(pending.back());
        pending.pop_back();
        const StateSet states(atspi_accessible_get_state_set(object.get()));
        if (!states)
            continue;
        if (visited > 0 && atspi_state_set_contains(states.get(), ATSPI_STATE_FOCUSED))
            return object;
        // Hidden parts (other tabs, closed menus) cannot hold the focus, and lists and tables that
        // manage their own descendants expose them only on demand: neither is worth walking.
        if ((visited > 0 && !atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING)) ||
            atspi_state_set_contains(states.get(), ATSPI_STATE_MANAGES_DESCENDANTS))
            continue;
        const int count = childCount(object.get());
        for (int i = count - 1; i >= 0; --i) {
            if (Accessible next = child(object.get(), i))
                pending.push_back(std::move(next));
        }
    }
    return {};
}

} // namespace parlune::atspi
