// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "input/KeyCombo.h"
#include "platform/KeyboardTap.h"

#include <functional>

namespace parlune {

// Watches the keyboard system-wide and turns key events into four notifications: the shortcut went
// down, it went up, another key went down while a modifier-only shortcut was held, and Escape went down
// while a dictation records. It swallows the shortcut's own key (a Control-Option-Space shortcut must
// not also type a space) and, while captured, Escape; everything else passes through.
//
// Everything runs on the main thread. The object must outlive its tap's installation; it removes the
// tap when destroyed.
class GlobalHotkeys
{
public:
    using Callback = std::function<void()>;

    static constexpr quint16 escapeKeyCode = 53;
    static constexpr quint64 relevant = ModifierFlag::relevantMask;

    GlobalHotkeys(KeyboardTap& tap, const KeyCombo& combo, Callback onPress, Callback onRelease,
                  Callback onOtherKey, Callback onEscape);
    ~GlobalHotkeys();

    GlobalHotkeys(const GlobalHotkeys&) = delete;
    GlobalHotkeys& operator=(const GlobalHotkeys&) = delete;

    const KeyCombo& combo() const { return m_combo; }
    // A new shortcut forgets a press in progress: no release of the old key is reported.
    void setCombo(const KeyCombo& combo);

    bool capturesEscape() const { return m_capturesEscape; }
    // True while a dictation records: Escape is then reported and swallowed.
    void setCapturesEscape(bool captures);

    // The shortcut is down as far as we know.
    bool pressed() const { return m_pressed; }
    void setPressed(bool pressed) { m_pressed = pressed; }

    // (Re)installs the tap. Safe to call at any time and repeatedly; when the system refuses the tap,
    // tap() stays null and nothing is reported.
    void start();
    void stop();

    // The installed tap, or null: the watch timer installs it when missing and re-enables it when the
    // system disabled it.
    KeyboardTap* tap() const { return m_tapInstalled ? &m_tap : nullptr; }

    // While the shortcut is down as far as we know, asks the system whether its key really is, and
    // reports the release if it is not. The watch timer calls it.
    void checkPressedKey();

    // Decides one event; true swallows it.
    bool handle(KeyboardTap::EventType type, const KeyboardTap::Event& event);
    // Only modifier-only shortcuts react to modifier changes.
    void handleFlags(const KeyboardTap::Event& event);

private:
    void announceSwallowedKeys();

    KeyCombo m_combo;
    bool m_capturesEscape = false;
    const Callback m_onPress;
    const Callback m_onRelease;
    const Callback m_onOtherKey;
    const Callback m_onEscape;
    KeyboardTap& m_tap;
    bool m_tapInstalled = false;
    bool m_pressed = false;
};

} // namespace parlune
