// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11KeySynth.h"

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

// The keys bound to Shift, Control and the Mod1 to Mod5 modifiers; Lock is a latch, not held.
std::vector<unsigned int> modifierKeycodes(Display* display)
{
    std::vector<unsigned int> keycodes;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return keycodes;
    for (int modifier = 0; modifier < 8; ++modifier) {
        if (modifier == LockMapIndex)
            continue;
        for (int k = 0; k < map->max_keypermod; ++k) {
            const KeyCode keycode = map->modifiermap[modifier * map->max_keypermod + k];
            if (keycode != 0)
                keycodes.push_back(keycode);
        }
    }
    XFreeModifiermap(map);
    return keycodes;
}

} // namespace

X11KeySynth::X11KeySynth() = default;

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

bool X11KeySynth::modifiersHeld()
{
    if (!connect())
        return false;
    char keymap[32] = {};
    XQueryKeymap(m_display, keymap);
    for (unsigned int keycode : modifierKeycodes(m_display)) {
        if (keyIsDown(keymap, keycode))
            return true;
    }
    return false;
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

    // Whatever modifier the user still holds is released first, or it would join our chord.
    char keymap[32] = {};
    XQueryKeymap(m_display, keymap);
    for (unsigned int keycode : modifierKeycodes(m_display)) {
        if (keyIsDown(keymap, keycode))
            XTestFakeKeyEvent(m_display, keycode, False, CurrentTime);
    }

    const unsigned int control = XKeysymToKeycode(m_display, XK_Control_L);
    const unsigned int shift = XKeysymToKeycode(m_display, XK_Shift_L);
    const unsigned int v = keycodeForV();
    const bool withShift = chord == PasteChord::controlShiftV && shift != 0;
    if (control == 0)
        return false;

    XTestFakeKeyEvent(m_display, control, True, CurrentTime);
    if (withShift)
        XTestFakeKeyEvent(m_display, shift, True, CurrentTime);
    XTestFakeKeyEvent(m_display, v, True, CurrentTime);
    XTestFakeKeyEvent(m_display, v, False, CurrentTime);
    if (withShift)
        XTestFakeKeyEvent(m_display, shift, False, CurrentTime);
    XTestFakeKeyEvent(m_display, control, False, CurrentTime);
    XSync(m_display, False);
    return true;
}

} // namespace parlune
