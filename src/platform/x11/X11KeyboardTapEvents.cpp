// SPDX-License-Identifier: GPL-3.0-or-later
// The raw key events, the keyboard's state as they tell it, and the modifier mapping.
#include "platform/x11/X11KeyboardTap.h"

#include "input/KeyCombo.h"
#include "platform/KeyCodes.h"
#include "platform/x11/SyntheticKeys.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace parlune {

namespace {

constexpr quint16 capsLockKeyCode = 57;

// The modifier keys by flag, left key first, as virtual key codes.
struct ModifierKeys
{
    quint64 flag;
    quint16 left;
    quint16 right;
};
constexpr std::array<ModifierKeys, 4> modifierKeys{{
    {ModifierFlag::shift, 56, 60},
    {ModifierFlag::control, 59, 62},
    {ModifierFlag::option, 58, 61},
    {ModifierFlag::command, 55, 54},
}};

} // namespace

void X11KeyboardTap::readEvents()
{
    Display* const display = m_display;
    bool mappingChanged = false;
    // The handler may remove the tap or reconnect: stop as soon as the connection is not this one.
    while (display && m_display == display && !m_connectionLost && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == GenericEvent && event.xcookie.extension == m_xinputOpcode) {
            if (!XGetEventData(display, &event.xcookie))
                continue;
            const int type = event.xcookie.evtype;
            const auto* raw = static_cast<XIRawEvent*>(event.xcookie.data);
            const unsigned keycode = raw->detail;
            // A master keyboard's copy of a slave's event names the slave as its source.
            const bool fromSlave = raw->deviceid == raw->sourceid;
            const int source = raw->sourceid;
            XFreeEventData(display, &event.xcookie);
            if (fromSlave && (type == XI_RawKeyPress || type == XI_RawKeyRelease)) {
                const bool down = type == XI_RawKeyPress;
                const bool ours = m_ours && isXTestDevice(source) && m_ours->claim(keycode, down);
                keyChanged(keycode, down, ours);
            }
        } else if (event.type == MappingNotify && event.xmapping.request != MappingPointer) {
            XRefreshKeyboardMapping(&event.xmapping);
            mappingChanged = true;
        }
        // The core key events that our grabs bring were already seen as raw events.
    }
    if (m_connectionLost && m_display == display) {
        connectionLost();
        return;
    }
    if (mappingChanged && m_display == display) {
        // Modifiers may sit on other masks now, and the key codes behind our grabs may have moved.
        readModifierMapping();
        if (!updateGrabs(true))
            reportDisabled();
    }
}

void X11KeyboardTap::findXTestDevices()
{
    m_xtestDevices.clear();
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(m_display, XIAllDevices, &count);
    for (int i = 0; devices && i < count; ++i) {
        // The server names them after their master: "Virtual core XTEST keyboard".
        const std::string_view name = devices[i].name ? devices[i].name : "";
        if (devices[i].use == XISlaveKeyboard && name.ends_with(" XTEST keyboard"))
            m_xtestDevices.push_back(devices[i].deviceid);
    }
    if (devices)
        XIFreeDeviceInfo(devices);
}

bool X11KeyboardTap::isXTestDevice(int deviceId) const
{
    return m_xtestDevices.empty() ||
           std::find(m_xtestDevices.begin(), m_xtestDevices.end(), deviceId) != m_xtestDevices.end();
}

void X11KeyboardTap::keyChanged(unsigned keycode, bool down, bool ours)
{
    if (keycode >= m_down.size())
        return;
    const bool wasDown = m_down[keycode];
    m_down[keycode] = down;
    // Our own paste keys change the keyboard's state, but the user did not press them.
    if (ours || !m_enabled || !m_handler)
        return;

    const quint16 key = KeyCodes::virtualForX11(keycode).value_or(unmappedKeyCode);
    if (KeyCombo::isModifierKeyCode(key) || key == capsLockKeyCode) {
        // Left and right keys have key codes of their own: the event tells which one changed, and how.
        if (wasDown != down)
            deliver(EventType::flagsChanged, {key, modifierFlags(), false, down});
        return;
    }
    // The server's auto-repeat brings no raw events; a client that sends a key-down for a key
    // that is down (XTest, some remote desktops) repeats it.
    deliver(down ? EventType::keyDown : EventType::keyUp, {key, modifierFlags(), down && wasDown});
}

quint64 X11KeyboardTap::modifierFlags() const
{
    quint64 flags = 0;
    for (const ModifierKeys& keys : modifierKeys) {
        for (const quint16 key : {keys.left, keys.right}) {
            const auto keycode = x11Keycode(key);
            if (keycode && m_down[*keycode])
                flags |= keys.flag;
        }
    }
    return flags;
}

void X11KeyboardTap::deliver(EventType type, const Event& event)
{
    // The handler decides about swallowing, but here the grabs already did: its answer has no use.
    // A copy, as the handler may remove the tap.
    const Handler handler = m_handler;
    handler(type, event);
}

void X11KeyboardTap::readModifierMapping()
{
    m_flagMasks.clear();
    m_numLockMask = 0;
    XModifierKeymap* map = XGetModifierMapping(m_display);
    if (!map)
        return;
    const auto maskOf = [map](std::optional<unsigned> keycode) -> unsigned {
        if (!keycode || *keycode == 0)
            return 0;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < map->max_keypermod; ++i) {
                if (map->modifiermap[modifier * map->max_keypermod + i] == *keycode)
                    return 1u << modifier;
            }
        }
        return 0;
    };
    for (const ModifierKeys& keys : modifierKeys)
        m_flagMasks.push_back({keys.flag, maskOf(x11Keycode(keys.left)), maskOf(x11Keycode(keys.right))});
    m_numLockMask = maskOf(XKeysymToKeycode(m_display, XK_Num_Lock));
    XFreeModifiermap(map);
}

std::optional<unsigned> X11KeyboardTap::x11Keycode(quint16 virtualKeyCode)
{
    const auto keycode = KeyCodes::x11ForVirtual(virtualKeyCode);
    return keycode && *keycode < 256 ? std::optional<unsigned>(*keycode) : std::nullopt;
}

} // namespace parlune
