// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "input/KeyCombo.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QWindow>

#include <optional>

class QKeyEvent;

namespace parlune {

// A key event as the recorder reads it: our virtual key code and modifier flag bits.
struct RecorderEvent
{
    enum Type { KeyDown, FlagsChanged, Other };

    Type type = Other;
    quint16 keyCode = 0;
    // Every modifier held after the event, in ModifierFlag bits (Caps Lock is 0x10000).
    quint64 modifierFlags = 0;
};

// The control with which the user picks a new dictation shortcut. At rest it shows the shortcut; a
// click starts recording, and the next key combination typed into the program's window, or a single
// modifier key pressed and released alone, becomes the new shortcut. Escape, a second click or the
// control leaving the screen cancel.
//
// While recording, the recorder watches the key events of its window (an event filter on it) and
// swallows them, so a typed key never reaches a text field or a button.
class KeyComboRecorder : public QObject
{
    Q_OBJECT
    Q_PROPERTY(parlune::KeyCombo combo READ combo WRITE setCombo NOTIFY comboChanged)
    Q_PROPERTY(bool recording READ recording NOTIFY recordingChanged)
    // What the keycap shows: the shortcut at rest, "…" while recording.
    Q_PROPERTY(QString label READ label NOTIFY labelChanged)
    Q_PROPERTY(QString toolTip READ toolTip NOTIFY recordingChanged)
    // The window whose keys are recorded; none means no key can arrive (a second click still cancels).
    Q_PROPERTY(QWindow* window READ window WRITE setWindow NOTIFY windowChanged)

public:
    explicit KeyComboRecorder(QObject* parent = nullptr);
    ~KeyComboRecorder() override;

    const KeyCombo& combo() const { return m_combo; }
    void setCombo(const KeyCombo& combo);
    bool recording() const { return m_recording; }
    QString label() const;
    QString toolTip() const;
    QWindow* window() const { return m_window; }
    void setWindow(QWindow* window);
    // The modifier most recently pressed during this recording: the candidate for a shortcut held alone.
    std::optional<quint16> pendingModifier() const { return m_pendingModifier; }
    bool isMonitoring() const { return m_monitoredWindow != nullptr; }

    // The button's action: a click while recording cancels.
    Q_INVOKABLE void click();
    void startRecording();
    // Also called when the control leaves the screen.
    Q_INVOKABLE void stopRecording();

    // Applies the recording rules to one event; true when the event is swallowed.
    bool handle(const RecorderEvent& event);
    // Reads a key event of the window in our key codes; none for a key we have no code for.
    std::optional<RecorderEvent> translate(const QKeyEvent& event);

Q_SIGNALS:
    void comboChanged();
    void recordingChanged();
    void labelChanged();
    void windowChanged();
    // A new shortcut was typed; the owner stores it.
    void recorded(parlune::KeyCombo combo);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setRecording(bool recording);
    void finish(const KeyCombo& combo);
    void attachMonitor();
    void detachMonitor();

    KeyCombo m_combo;
    bool m_recording = false;
    std::optional<quint16> m_pendingModifier;
    QPointer<QWindow> m_window;
    QPointer<QWindow> m_monitoredWindow;
    // Modifier keys seen going down and not yet up during this recording, by virtual key code: the
    // flags of a modifier event are those of every key still held, whichever side.
    QSet<quint16> m_heldModifiers;
};

} // namespace parlune
