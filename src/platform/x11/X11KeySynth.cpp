// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11KeySynth.h"

#include "platform/x11/SyntheticKeys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <vector>

namespace parlune {

namespace {

bool keyIsDown(const char keymap[32], unsigned int keycode)
{
    return keycode < 256 && (keymap[keycode / 8] & (1 << (keycode % 8)));
}

} // namespace

X11KeySynth::X11KeySynth(SyntheticKeys* ours)
    : m_ours(ours)
{}

X11KeySynth::~X11KeySynth()
{
    if (m_display)
        XCloseDisplay(m_display);
}

bool X11KeySynth::connect()
{
    if (m_display)
        return m_hasXTest;
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        return false;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    m_hasXTest = XTestQueryExtension(m_display, &eventBase, &errorBase, &major, &minor);
    return m_hasXTest;
}

X11KeySynth::HeldModifiers X11KeySynth::heldModifiers()
{
    HeldModifiers held;
    char keymap[32] = {};
    XQueryKeymap(m_display, keymap);
    XModifierKeymap* map = XGetModifierMapping(m_display);
    if (!map)
        return held;
    for (int modifier = 0; modifier < 8; ++modifier) {
        // Caps Lock is a latch, not a key held.
        if (modifier == LockMapIndex)
            continue;
        for (int k = 0; k < map->max_keypermod; ++k) {
            const KeyCode keycode = map->modifiermap[modifier * map->max_keypermod + k];
            if (keycode == 0)
                continue;
            const bool down = keyIsDown(keymap, keycode);
            if (modifier == ControlMapIndex)
                (down ? held.control : held.controlUp).push_back(keycode);
            else if (modifier == ShiftMapIndex)
                (down ? held.shift : held.shiftUp).push_back(keycode);
            else if (down)
                held.others.push_back(keycode);
        }
    }
    XFreeModifiermap(map);
    return held;
}

bool X11KeySynth::modifiersHeld()
{
    if (!connect())
        return false;
    const HeldModifiers held = heldModifiers();
    // Control and Shift together make Control+Shift+V, a paste in terminals only, or Shift+Insert
    // with Control.
    return !held.others.empty() || (held.hasControl() && held.hasShift());
}

void X11KeySynth::send(unsigned int keycode, bool down)
{
    if (m_ours)
        m_ours->announce(keycode, down);
    XTestFakeKeyEvent(m_display, keycode, down, CurrentTime);
}

unsigned int X11KeySynth::keycodeForV()
{
    // Xlib keeps its copy of the keymap current only while reading events: the layout may have changed
    // since the last paste.
    while (XPending(m_display)) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MappingNotify)
            XRefreshKeyboardMapping(&event.xmapping);
    }
    // The key that types "v" in the layout in use: on AZERTY, QWERTZ or Dvorak it is not where the
    // QWERTY V is, and applications look at the symbol, not the position.
    XkbStateRec state{};
    XkbGetState(m_display, XkbUseCoreKbd, &state);
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(m_display, &minKeycode, &maxKeycode);
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        if (XkbKeycodeToKeysym(m_display, KeyCode(keycode), state.group, 0) == XK_v)
            return unsigned(keycode);
    }
    // A layout without Latin letters (Cyrillic, Greek): applications fall back to the first group.
    if (const KeyCode keycode = XKeysymToKeycode(m_display, XK_v))
        return keycode;
    // The V position on a standard keyboard: evdev KEY_V plus the X11 offset.
    return 47 + 8;
}

bool X11KeySynth::postPaste(PasteChord chord)
{
    if (!connect())
        return false;
    const HeldModifiers held = heldModifiers();

    const KeyCode insert = XKeysymToKeycode(m_display, XK_Insert);
    // Control+V with Shift held would arrive as Control+Shift+V, which most applications do not take for
    // a paste: Shift+Insert is the one they do.
    const bool shiftInsert =
        chord == PasteChord::shiftInsert || (chord == PasteChord::controlV && held.hasShift() && insert);
    if (shiftInsert && !insert)
        return false;
    const bool withControl = !shiftInsert;
    const bool withShift = chord != PasteChord::controlV || shiftInsert;
    const unsigned int key = shiftInsert ? insert : keycodeForV();
    // The xterm family reads Shift+Insert whatever Control does; other applications may not.
    const bool controlSpoils = chord != PasteChord::shiftInsert;

    // The chord's modifiers through keys that are up, even when another key of the same modifier is
    // held: the user may let go of it at any moment.
    std::vector<unsigned int> pressed;
    const auto use = [&pressed](const std::vector<unsigned int>& up, bool held) {
        if (!up.empty())
            pressed.push_back(up.front());
        return !up.empty() || held;
    };
    if ((withControl && !use(held.controlUp, held.hasControl())) ||
        (withShift && !use(held.shiftUp, held.hasShift())))
        return false;

    // What would still spoil the chord has been waited for; when it is still down, releasing it is the
    // last resort (it works for keys pressed through XTest, not for the user's own).
    std::vector<unsigned int> spoiling = held.others;
    if (shiftInsert && controlSpoils)
        spoiling.insert(spoiling.end(), held.control.begin(), held.control.end());
    for (const unsigned int keycode : spoiling)
        send(keycode, false);

    for (const unsigned int keycode : pressed)
        send(keycode, true);
    send(key, true);
    send(key, false);
    for (auto keycode = pressed.rbegin(); keycode != pressed.rend(); ++keycode)
        send(*keycode, false);
    XSync(m_display, False);
    return true;
}

} // namespace parlune
