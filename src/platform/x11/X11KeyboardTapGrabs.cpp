// SPDX-License-Identifier: GPL-3.0-or-later
// The grabs that swallow the shortcut's keys (and Escape while it is captured).
#include "platform/x11/X11KeyboardTap.h"

#include "input/KeyCombo.h"
#include "platform/Log.h"
#include "platform/x11/X11ErrorTrap.h"

#include <X11/Xlib.h>

#include <algorithm>

namespace parlune {

std::vector<X11KeyboardTap::Grab> X11KeyboardTap::grabsFor(const SwallowedKey& key) const
{
    const auto keycode = x11Keycode(key.keyCode);
    if (!keycode)
        return {};

    // Every X modifier state that means "these flags": Option may be Alt (Mod1) on the left and
    // AltGr (Mod5) on the right, for instance.
    std::vector<unsigned> states{0};
    std::vector<unsigned> optionalStates{0};
    for (const FlagMasks& masks : m_flagMasks) {
        std::vector<unsigned> choices;
        for (const unsigned mask : {masks.left, masks.right}) {
            if (mask && std::find(choices.begin(), choices.end(), mask) == choices.end())
                choices.push_back(mask);
        }
        if (key.anyModifiers) {
            // Escape with any modifiers: with or without each one.
            std::vector<unsigned> expanded;
            for (const unsigned state : optionalStates) {
                expanded.push_back(state);
                for (const unsigned mask : choices)
                    expanded.push_back(state | mask);
            }
            optionalStates = std::move(expanded);
        } else if (key.modifiers & masks.flag) {
            if (choices.empty())
                return {}; // a modifier X does not know: nothing can be grabbed
            std::vector<unsigned> expanded;
            for (const unsigned state : states) {
                for (const unsigned mask : choices)
                    expanded.push_back(state | mask);
            }
            states = std::move(expanded);
        }
    }
    // fn cannot be seen through X: a shortcut that needs it never comes.
    if (key.modifiers & ModifierFlag::function)
        return {};

    // WORKAROUND: X matches grabs on the exact modifier state, locks included: Caps Lock and Num
    // Lock must not keep the shortcut from being swallowed, so each state is grabbed with and
    // without them.
    std::vector<unsigned> locks{0, LockMask};
    if (m_numLockMask)
        locks.insert(locks.end(), {m_numLockMask, m_numLockMask | LockMask});

    std::vector<Grab> grabs;
    for (const unsigned state : key.anyModifiers ? optionalStates : states) {
        for (const unsigned lock : locks) {
            const unsigned modifiers = state | lock;
            const bool duplicate = std::any_of(grabs.begin(), grabs.end(), [modifiers](const Grab& grab) {
                return grab.modifiers == modifiers;
            });
            if (!duplicate)
                grabs.push_back({*keycode, modifiers, !key.anyModifiers || state == 0});
        }
    }
    return grabs;
}

bool X11KeyboardTap::updateGrabs(bool regrabAll)
{
    if (!m_display)
        return false;
    m_grabsHeld = applyGrabs(regrabAll);
    readEventsLater();
    return m_grabsHeld;
}

bool X11KeyboardTap::applyGrabs(bool regrabAll)
{
    const std::vector<SwallowedKey> wanted = m_enabled ? m_swallowed : std::vector<SwallowedKey>{};

    X11ErrorTrap trap(m_display);
    for (auto held = m_held.begin(); held != m_held.end();) {
        const bool stillWanted = std::find(wanted.begin(), wanted.end(), held->key) != wanted.end();
        if (stillWanted && held->complete && !regrabAll) {
            ++held;
            continue;
        }
        ungrab(*held);
        held = m_held.erase(held);
    }

    struct Pending
    {
        SwallowedKey key;
        std::vector<std::pair<Grab, unsigned long>> requests;
    };
    std::vector<Pending> pending;
    const Window root = DefaultRootWindow(m_display);
    for (const SwallowedKey& key : wanted) {
        const bool held =
            std::any_of(m_held.begin(), m_held.end(), [&key](const HeldKey& h) { return h.key == key; });
        if (held)
            continue;
        Pending request{key, {}};
        for (const Grab& grab : grabsFor(key)) {
            request.requests.push_back({grab, NextRequest(m_display)});
            XGrabKey(m_display, static_cast<int>(grab.keycode), grab.modifiers, root, False, GrabModeAsync,
                     GrabModeAsync);
        }
        pending.push_back(std::move(request));
    }

    const std::vector<unsigned long>& failed = trap.failedRequests();
    bool allHeld = true;
    for (const Pending& request : pending) {
        HeldKey held{request.key, {}, true};
        for (const auto& [grab, serial] : request.requests) {
            if (std::find(failed.begin(), failed.end(), serial) == failed.end())
                held.grabs.push_back(grab);
            else if (grab.essential)
                held.complete = false;
        }
        if (!held.complete) {
            allHeld = false;
            if (m_grabsHeld)
                logLine("Parlune: another program holds the shortcut (key %u), it still reaches the window "
                        "in front",
                        unsigned(request.key.keyCode));
        }
        m_held.push_back(std::move(held));
    }
    return allHeld && std::all_of(m_held.begin(), m_held.end(), [](const HeldKey& h) { return h.complete; });
}

void X11KeyboardTap::ungrab(const HeldKey& held)
{
    for (const Grab& grab : held.grabs)
        XUngrabKey(m_display, static_cast<int>(grab.keycode), grab.modifiers, DefaultRootWindow(m_display));
}

} // namespace parlune
