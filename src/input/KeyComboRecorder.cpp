// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/KeyComboRecorder.h"

#include "platform/KeyCodes.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace parlune {

namespace {

constexpr quint16 escapeKeyCode = 53;
constexpr quint16 capsLockKeyCode = 57;

quint64 flagsOf(Qt::KeyboardModifiers modifiers)
{
    quint64 flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= ModifierFlag::shift;
    if (modifiers & Qt::ControlModifier)
        flags |= ModifierFlag::control;
    if (modifiers & Qt::AltModifier)
        flags |= ModifierFlag::option;
    if (modifiers & Qt::MetaModifier)
        flags |= ModifierFlag::command;
    return flags;
}

} // namespace

KeyComboRecorder::KeyComboRecorder(QObject* parent)
    : QObject(parent)
{}

KeyComboRecorder::~KeyComboRecorder()
{
    detachMonitor();
}

void KeyComboRecorder::setCombo(const KeyCombo& combo)
{
    if (combo == m_combo)
        return;
    m_combo = combo;
    Q_EMIT comboChanged();
    if (!m_recording)
        Q_EMIT labelChanged();
}

QString KeyComboRecorder::label() const
{
    return m_recording ? QStringLiteral("…") : m_combo.displayString();
}

QString KeyComboRecorder::toolTip() const
{
    return m_recording ? tr("Appuyez sur une touche (Échap pour annuler)") : tr("Cliquer pour changer");
}

void KeyComboRecorder::setWindow(QWindow* window)
{
    if (window == m_window)
        return;
    m_window = window;
    if (m_recording) {
        detachMonitor();
        attachMonitor();
    }
    Q_EMIT windowChanged();
}

void KeyComboRecorder::click()
{
    if (m_recording)
        stopRecording();
    else
        startRecording();
}

void KeyComboRecorder::startRecording()
{
    m_pendingModifier.reset();
    m_heldModifiers.clear();
    setRecording(true);
    attachMonitor();
}

void KeyComboRecorder::stopRecording()
{
    detachMonitor();
    m_pendingModifier.reset();
    m_heldModifiers.clear();
    setRecording(false);
}

void KeyComboRecorder::setRecording(bool recording)
{
    if (recording == m_recording)
        return;
    m_recording = recording;
    Q_EMIT recordingChanged();
    Q_EMIT labelChanged();
}

void KeyComboRecorder::finish(const KeyCombo& combo)
{
    setCombo(combo);
    stopRecording();
    Q_EMIT recorded(combo);
}

bool KeyComboRecorder::handle(const RecorderEvent& event)
{
    switch (event.type) {
    case RecorderEvent::FlagsChanged: {
        // Caps Lock and keys that are no modifier change nothing.
        const auto flag = KeyCombo::modifierFlag(event.keyCode);
        if (!flag)
            return true;
        if (event.modifierFlags & *flag) {
            m_pendingModifier = event.keyCode;
            return true;
        }
        // A modifier becomes the shortcut only when it comes up while it is still the last one pressed
        // and nothing was typed with it.
        if (m_pendingModifier == event.keyCode)
            finish(KeyCombo{event.keyCode, 0, true});
        return true;
    }
    case RecorderEvent::KeyDown:
        if (event.keyCode == escapeKeyCode) {
            stopRecording();
            return true;
        }
        finish(KeyCombo{event.keyCode, event.modifierFlags & ModifierFlag::relevantMask, false});
        return true;
    case RecorderEvent::Other:
        break;
    }
    return false;
}

std::optional<RecorderEvent> KeyComboRecorder::translate(const QKeyEvent& event)
{
    const auto keyCode = KeyCodes::virtualForX11(event.nativeScanCode());
    if (!keyCode)
        return std::nullopt;
    const bool down = event.type() == QEvent::KeyPress;
    if (KeyCombo::isModifierKeyCode(*keyCode) || *keyCode == capsLockKeyCode) {
        if (*keyCode != capsLockKeyCode) {
            if (down)
                m_heldModifiers.insert(*keyCode);
            else
                m_heldModifiers.remove(*keyCode);
        }
        // The flags after the event: releasing one Shift while the other is held leaves Shift down.
        quint64 flags = 0;
        for (const quint16 held : std::as_const(m_heldModifiers))
            flags |= KeyCombo::modifierFlag(held).value_or(0);
        return RecorderEvent{RecorderEvent::FlagsChanged, *keyCode, flags};
    }
    if (!down)
        return RecorderEvent{RecorderEvent::Other, *keyCode, 0};
    quint64 flags = flagsOf(event.modifiers());
    for (const quint16 held : std::as_const(m_heldModifiers))
        flags |= KeyCombo::modifierFlag(held).value_or(0);
    return RecorderEvent{RecorderEvent::KeyDown, *keyCode, flags};
}

bool KeyComboRecorder::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_monitoredWindow)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto translated = translate(*static_cast<QKeyEvent*>(event));
        // A key we cannot name cannot become the shortcut, but it still belongs to the recording.
        return translated ? handle(*translated) : true;
    }
    case QEvent::ShortcutOverride:
        // Keeps the window's own shortcuts from taking a key that is being recorded.
        return true;
    case QEvent::Hide:
        // The control is no longer on screen.
        stopRecording();
        return false;
    default:
        return false;
    }
}

void KeyComboRecorder::attachMonitor()
{
    if (!m_window)
        return;
    m_monitoredWindow = m_window;
    m_monitoredWindow->installEventFilter(this);
}

void KeyComboRecorder::detachMonitor()
{
    if (m_monitoredWindow)
        m_monitoredWindow->removeEventFilter(this);
    m_monitoredWindow = nullptr;
}

} // namespace parlune
