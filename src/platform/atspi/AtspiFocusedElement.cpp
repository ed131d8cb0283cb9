// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/atspi/AtspiFocusedElement.h"

// GLib's headers use "signals" as an identifier: they stay in this file, which Qt keywords never see.
#include <atspi/atspi.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <unistd.h>

namespace parlune {

namespace {

// The bus must answer fast: the question is asked while a dictation waits to be pasted.
constexpr int callTimeoutMilliseconds = 500;
// Reading the text before the cursor is worth less than a prompt paste.
constexpr int contextTimeoutMilliseconds = 100;
// A window with a huge tree (a spreadsheet) is not searched to the end.
constexpr int searchLimit = 3000;

struct Unref
{
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
};
using Accessible = std::unique_ptr<AtspiAccessible, Unref>;
using StateSet = std::unique_ptr<AtspiStateSet, Unref>;

bool initialised()
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

// The focused object inside the active window of another application; null when there is none.
Accessible focusedObject()
{
    const Accessible desktop(atspi_get_desktop(0));
    if (!desktop)
        return {};

    const int applications = childCount(desktop.get());
    for (int a = 0; a < applications; ++a) {
        const Accessible application = child(desktop.get(), a);
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
            const Accessible window = child(application.get(), w);
            if (window && hasState(window.get(), ATSPI_STATE_ACTIVE))
                return focusedInside(window.get());
        }
    }
    return {};
}

// Every bus call made while it lives answers within `milliseconds`, or fails.
class CallTimeout
{
public:
    explicit CallTimeout(int milliseconds) { atspi_set_timeout(milliseconds, milliseconds); }
    ~CallTimeout() { atspi_set_timeout(callTimeoutMilliseconds, callTimeoutMilliseconds); }
    CallTimeout(const CallTimeout&) = delete;
    CallTimeout& operator=(const CallTimeout&) = delete;
};

} // namespace

std::optional<FocusedElementFacts> AtspiFocusedElement::focused()
{
    if (!initialised())
        return std::nullopt;
    const Accessible element = focusedObject();
    if (!element)
        return std::nullopt;
    FocusedElementFacts facts;
    GError* roleError = nullptr;
    const AtspiRole role = atspi_accessible_get_role(element.get(), &roleError);
    if (roleError) {
        g_error_free(roleError);
    } else if (gchar* name = atspi_role_get_name(role)) {
        facts.role = QString::fromUtf8(name);
        g_free(name);
    }
    facts.editable = hasState(element.get(), ATSPI_STATE_EDITABLE);
    return facts;
}

std::optional<QString> AtspiFocusedElement::textBeforeCaret(int length)
{
    if (!initialised() || length <= 0)
        return std::nullopt;
    // The text before the cursor only shapes the spacing of what is pasted: a field slower than this
    // is taken as telling nothing rather than holding the paste back.
    const CallTimeout timeout(contextTimeoutMilliseconds);
    const Accessible element = focusedObject();
    if (!element)
        return std::nullopt;
    // A password field's characters are never read, whatever its toolkit would show of them.
    GError* error = nullptr;
    const AtspiRole role = atspi_accessible_get_role(element.get(), &error);
    if (error) {
        g_error_free(error);
        return std::nullopt;
    }
    if (role == ATSPI_ROLE_PASSWORD_TEXT)
        return std::nullopt;
    const std::unique_ptr<AtspiText, Unref> text(atspi_accessible_get_text_iface(element.get()));
    if (!text)
        return std::nullopt;

    // Offsets count characters, not bytes.
    const gint caret = atspi_text_get_caret_offset(text.get(), &error);
    if (error) {
        g_error_free(error);
        return std::nullopt;
    }
    if (caret < 0)
        return std::nullopt;
    if (caret == 0)
        return QString();
    gchar* before = atspi_text_get_text(text.get(), std::max(0, caret - length), caret, &error);
    if (error) {
        g_error_free(error);
        g_free(before);
        return std::nullopt;
    }
    QString outcome = QString::fromUtf8(before);
    g_free(before);
    return outcome;
}

} // namespace parlune
