// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/GlobalHotkeys.h"

#include <utility>

namespace parlune {

namespace {

void call(const GlobalHotkeys::Callback& callback)
{
    if (callback)
        callback();
}

} // namespace

GlobalHotkeys::GlobalHotkeys(KeyboardTap& tap, const KeyCombo& combo, Callback onPress, Callback onRelease,
                             Callback onOtherKey, Callback onEscape)
    : m_combo(combo)
    , m_onPress(std::move(onPress))
    , m_onRelease(std::move(onRelease))
    , m_onOtherKey(std::move(onOtherKey))
    , m_onEscape(std::move(onEscape))
    , m_tap(tap)
{}

GlobalHotkeys::~GlobalHotkeys()
{
    // The tap's handler points at this object.
    stop();
}

void GlobalHotkeys::setCombo(const KeyCombo& combo)
{
    m_combo = combo;
    m_pressed = false;
    announceSwallowedKeys();
}

void GlobalHotkeys::setCapturesEscape(bool captures)
{
    if (m_capturesEscape == captures)
        return;
    m_capturesEscape = captures;
    announceSwallowedKeys();
}

void GlobalHotkeys::start()
{
    stop();
    announceSwallowedKeys();
    m_tapInstalled = m_tap.install(
        [this](KeyboardTap::EventType type, const KeyboardTap::Event& event) { return handle(type, event); });
}

void GlobalHotkeys::stop()
{
    if (!m_tapInstalled)
        return;
    m_tap.remove();
    m_tapInstalled = false;
}

void GlobalHotkeys::announceSwallowedKeys()
{
    std::vector<KeyboardTap::SwallowedKey> keys;
    if (!m_combo.isModifierKey)
        keys.push_back({m_combo.keyCode, m_combo.modifiers & relevant, false});
    if (m_capturesEscape)
        keys.push_back({escapeKeyCode, 0, true});
    m_tap.setSwallowedKeys(std::move(keys));
}

bool GlobalHotkeys::handle(KeyboardTap::EventType type, const KeyboardTap::Event& event)
{
    using Type = KeyboardTap::EventType;
    switch (type) {
    case Type::disabledByTimeout:
    case Type::disabledByUserInput:
        if (m_tapInstalled)
            m_tap.setEnabled(true);
        return false;

    case Type::shortcutDown:
        // The desktop recognised the shortcut itself, whatever the keys it bound.
        if (m_pressed || event.isRepeat)
            return true;
        m_pressed = true;
        call(m_onPress);
        return true;

    case Type::shortcutUp:
        if (!m_pressed)
            return false;
        m_pressed = false;
        call(m_onRelease);
        return true;

    case Type::flagsChanged:
        // Modifier changes always reach the application.
        handleFlags(event);
        return false;

    case Type::keyUp:
        if (m_capturesEscape && event.keyCode == escapeKeyCode)
            return true;
        if (m_combo.isModifierKey)
            return false;
        // The modifiers may already be up: the key alone ends the press.
        if (event.keyCode == m_combo.keyCode && m_pressed) {
            m_pressed = false;
            call(m_onRelease);
            return true;
        }
        return false;

    case Type::keyDown:
        // Escape cancels a dictation even when Escape is the shortcut itself.
        if (m_capturesEscape && event.keyCode == escapeKeyCode) {
            call(m_onEscape);
            return true;
        }
        if (!m_combo.isModifierKey && event.keyCode == m_combo.keyCode &&
            (event.modifierFlags & relevant) == (m_combo.modifiers & relevant)) {
            if (m_pressed || event.isRepeat)
                return true;
            m_pressed = true;
            call(m_onPress);
            return true;
        }
        if (m_pressed && m_combo.isModifierKey) {
            call(m_onOtherKey);
            return false;
        }
        return false;
    }
    return false;
}

void GlobalHotkeys::handleFlags(const KeyboardTap::Event& event)
{
    if (!m_combo.isModifierKey || !KeyCombo::isModifierKeyCode(m_combo.keyCode))
        return;
    const quint64 flag = KeyCombo::modifierFlag(m_combo.keyCode).value_or(0);

    if (event.keyCode == m_combo.keyCode) {
        // The key's own state where the system tells it: the hold ends when the shortcut's key comes up,
        // whatever the other key of the pair does. Otherwise both keys share one flag, and releasing the
        // right key while the left one is held leaves the shortcut down.
        const bool down = event.keyIsDown.value_or((event.modifierFlags & flag) != 0);
        if (down && !m_pressed) {
            m_pressed = true;
            call(m_onPress);
        } else if (!down && m_pressed) {
            m_pressed = false;
            call(m_onRelease);
        }
        return;
    }
    // Caps Lock is not a modifier key here: toggling it while the shortcut is held interrupts nothing.
    // Letting go of a modifier interrupts nothing either: it may have been down before the shortcut
    // (only when the system tells a press from a release).
    if (m_pressed && KeyCombo::isModifierKeyCode(event.keyCode) && event.keyIsDown.value_or(true))
        call(m_onOtherKey);
}

void GlobalHotkeys::checkPressedKey()
{
    if (!m_pressed || !m_tapInstalled)
        return;
    // A release the tap never delivered (the connection to the display was lost and came back, the tap
    // was installed again) would leave the dictation recording with no key held.
    if (m_tap.isKeyDown(m_combo.keyCode) == std::optional(false)) {
        m_pressed = false;
        call(m_onRelease);
    }
}

} // namespace parlune
