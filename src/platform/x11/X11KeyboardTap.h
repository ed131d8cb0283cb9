// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeyboardTap.h"

#include <QPointer>
#include <QSocketNotifier>

#include <bitset>
#include <memory>

struct _XDisplay;

namespace parlune {

class SyntheticKeys;

// The keyboard tap on X11, on a connection of its own, watched from the main thread's event loop.
//
// It sees every key through XInput2's raw key events on the root window, which reach us whichever
// window has the focus and whoever holds a grab. It swallows keys by grabbing them (XGrabKey): the
// server then sends them to us instead of the focused window. Modifier flags and auto-repeat are
// worked out from the sequence of raw events, which carry neither.
//
// The tap reports itself disabled when the connection to the server is lost or when its grabs could
// not be taken (another program holds the same key combination). Enabling it again reconnects and
// grabs again.
//
// The key events this program sends itself (the paste), announced in `ours`, are never delivered:
// they are not the user's.
class X11KeyboardTap final : public KeyboardTap
{
public:
    explicit X11KeyboardTap(SyntheticKeys* ours = nullptr);
    ~X11KeyboardTap() override;

    X11KeyboardTap(const X11KeyboardTap&) = delete;
    X11KeyboardTap& operator=(const X11KeyboardTap&) = delete;

    bool install(Handler handler) override;
    void remove() override;
    bool isEnabled() const override;
    void setEnabled(bool enabled) override;
    void setSwallowedKeys(std::vector<SwallowedKey> keys) override;
    // Asks the server (its keymap), not the events seen so far.
    std::optional<bool> isKeyDown(quint16 keyCode) override;

    // A resource id of our connection, which names it to XKillClient; 0 when not connected.
    unsigned long connectionId() const;

private:
    struct Grab
    {
        unsigned keycode;
        unsigned modifiers;
        // Without it the key is not swallowed in its plain form.
        bool essential;
    };
    struct HeldKey
    {
        SwallowedKey key;
        std::vector<Grab> grabs;
        bool complete;
    };

    // The connection and its watch (X11KeyboardTapConnection.cpp).
    bool connectToServer();
    void disconnectFromServer();
    void readEventsLater();
    void connectionLost();
    void reportDisabled();
    static void onIOErrorExit(_XDisplay* display, void* tap);

    // The raw events, the keyboard's state and its mapping (X11KeyboardTapEvents.cpp).
    void readEvents();
    void findXTestDevices();
    bool isXTestDevice(int deviceId) const;
    void keyChanged(unsigned keycode, bool down, bool ours);
    quint64 modifierFlags() const;
    void deliver(EventType type, const Event& event);
    void readModifierMapping();
    // The X key code of a virtual key code; none when it has none below 256.
    static std::optional<unsigned> x11Keycode(quint16 virtualKeyCode);

    // The grabs that swallow keys (X11KeyboardTapGrabs.cpp).
    std::vector<Grab> grabsFor(const SwallowedKey& key) const;
    // Brings the server's grabs in line with m_swallowed; false when some could not be taken.
    bool updateGrabs(bool regrabAll = false);
    bool applyGrabs(bool regrabAll);
    void ungrab(const HeldKey& held);

    SyntheticKeys* m_ours;
    // The keyboards through which XTest events come (one per master keyboard); empty when unknown.
    std::vector<int> m_xtestDevices;
    _XDisplay* m_display = nullptr;
    // Context of our queued calls and parent of the notifier: gone with the tap, it takes them along.
    std::unique_ptr<QObject> m_context = std::make_unique<QObject>();
    // Watches our connection from the main thread's event loop.
    QPointer<QSocketNotifier> m_notifier;
    Handler m_handler;
    bool m_enabled = false;
    bool m_grabsHeld = true;
    bool m_connectionLost = false;
    bool m_readScheduled = false;
    int m_xinputOpcode = 0;
    unsigned long m_connectionId = 0;
    std::vector<SwallowedKey> m_swallowed;
    std::vector<HeldKey> m_held;
    // X modifier mask of each of our modifier flags, for the left and the right key (0: not mapped).
    struct FlagMasks
    {
        quint64 flag;
        unsigned left;
        unsigned right;
    };
    std::vector<FlagMasks> m_flagMasks;
    unsigned m_numLockMask = 0;
    // X key codes currently down, as seen by us.
    std::bitset<256> m_down;
};

} // namespace parlune
