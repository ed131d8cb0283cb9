// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>
#include <vector>

namespace parlune {

// A system-wide keyboard hook: it sees every key of every application, on the main thread, before the
// focused application does, and can keep a key from reaching it.
class KeyboardTap
{
public:
    // Keeps the values the rest of the program has always known them by.
    enum class EventType : quint32 {
        keyDown = 10,
        keyUp = 11,
        // A modifier key (or Caps Lock) went down or up; the event's flags are those after the change.
        flagsChanged = 12,
        // The tap stopped delivering (on X11: the connection was lost or our grabs were taken away). The
        // handler may enable it again at once.
        // A desktop that binds the shortcut itself (the Wayland portal) tells only that the shortcut went
        // down or up: these events carry no key.
        shortcutDown = 20,
        shortcutUp = 21,
        disabledByTimeout = 0xFFFFFFFE,
        disabledByUserInput = 0xFFFFFFFF,
    };

    // A key that has no virtual key code of ours: it matches no shortcut, it is just "another key".
    static constexpr quint16 unmappedKeyCode = 0xFFFF;

    struct Event
    {
        Event() = default;
        Event(quint16 keyCode, quint64 modifierFlags, bool isRepeat, std::optional<bool> keyIsDown = {})
            : keyCode(keyCode)
            , modifierFlags(modifierFlags)
            , isRepeat(isRepeat)
            , keyIsDown(keyIsDown)
        {}

        // Virtual key code (49 Space, 53 Escape, 62 right Control...), or unmappedKeyCode.
        quint16 keyCode = unmappedKeyCode;
        // Modifier flag bits held at the time of the event (after it, for flagsChanged).
        quint64 modifierFlags = 0;
        // A key-down for a key that is already down: the keyboard's auto-repeat.
        bool isRepeat = false;
        // For flagsChanged: whether the event's own key is down after it, where the system tells the left
        // and right keys of a pair apart (X11 does). Unknown, the key's flag in modifierFlags stands for
        // it, shared by both keys.
        std::optional<bool> keyIsDown;
    };

    // Returns true to swallow the event: the focused application then never sees it.
    using Handler = std::function<bool(EventType type, const Event& event)>;

    // A key press that the handler is going to swallow, with the key-up that follows it.
    struct SwallowedKey
    {
        quint16 keyCode = 0;
        // Exactly these modifier flags (shift, control, option, command), whatever the lock keys...
        quint64 modifiers = 0;
        // ...or with any modifiers at all.
        bool anyModifiers = false;

        friend bool operator==(const SwallowedKey&, const SwallowedKey&) = default;
    };

    virtual ~KeyboardTap() = default;

    // Starts delivering every key event to `handler`, on the main thread, and enabled. False when the
    // system refuses (no display, no input extension): nothing is delivered then. Installing again
    // replaces the previous installation.
    virtual bool install(Handler handler) = 0;
    virtual void remove() = 0;

    // An installed tap can be disabled by the system; it then delivers nothing until enabled again.
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;

    // WORKAROUND: X11 cannot hold one key event back while a client decides about it; it can only
    // route chosen key combinations to us beforehand. So the handler's owner announces the keys it
    // will swallow, and a backend like that swallows exactly those, whatever the handler returns.
    // Kept across installations.
    virtual void setSwallowedKeys(std::vector<SwallowedKey> keys) = 0;

    // Whether the system holds the key (a virtual key code) down right now, asked of the system itself
    // rather than worked out from the events delivered; none when it cannot tell (not connected, a key
    // it cannot see). The watch timer asks it to catch a release that was never delivered.
    virtual std::optional<bool> isKeyDown(quint16 keyCode)
    {
        Q_UNUSED(keyCode);
        return std::nullopt;
    }
};

} // namespace parlune
