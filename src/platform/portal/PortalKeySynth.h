// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/InputAccess.h"
#include "platform/KeySynth.h"

#include <QCoroTask>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QPointer>

#include <deque>
#include <utility>

namespace parlune {

struct PortalResponse;

// The paste keystroke on Wayland, through the desktop's RemoteDesktop portal: a session with the
// keyboard device alone, whose key presses the compositor takes as the user's own.
//
// The desktop may ask the user before it lends the keyboard, so the session is opened only when the
// user asks for it (the walkthrough's or the window's button), or at start when the user already
// allowed it once. That consent is remembered in the support folder, with the portal's restore token
// where the portal gives one, so that it is asked only once. Allowed and running is what "trusted" means
// here: the program may type into other applications.
class PortalKeySynth final : public QObject, public KeySynth, public InputAccess
{
    Q_OBJECT

public:
    // `consentPath`: the file remembering the consent (and the restore token).
    explicit PortalKeySynth(QString consentPath, QDBusConnection bus = QDBusConnection::sessionBus());
    ~PortalKeySynth() override;

    // KeySynth. WORKAROUND: Wayland shows no program which keys are held, so held modifiers cannot be
    // waited out; the gesture's own keys are up by the time a dictation is transcribed.
    bool modifiersHeld() override { return false; }
    bool postPaste(PasteChord chord) override;

    // InputAccess: the desktop lends us the keyboard now.
    bool isTrusted() const override { return !m_session.isEmpty(); }

    // Opens the session, asking the user where the desktop does.
    void requestAccess();
    // Opens the session only if the user allowed it before; otherwise nothing happens.
    void resume();
    // Why typing does not work, for the user; empty when it does or has not been asked for.
    QString problem() const { return m_problem; }
    bool hasConsent() const;

    // Virtual-keyboard key codes (evdev) of the chord's keys.
    static constexpr quint32 leftControl = 29;
    static constexpr quint32 leftShift = 42;
    // The V key of a QWERTY keyboard: the fallback when the layout cannot be read.
    static constexpr quint32 qwertyV = 47;
    static constexpr quint32 insertKey = 110;

Q_SIGNALS:
    // isTrusted() or problem() changed.
    void changed();

private Q_SLOTS:
    void onSessionClosed();

private:
    static QCoro::Task<> start(QPointer<PortalKeySynth> self);
    void setState(const QString& session, const QString& problem);
    static QString refusal(const PortalResponse& response);
    // Queues a key press or release; the keys reach the portal one after the other, in order.
    void key(quint32 code, bool down);
    void sendNextKey();
    static quint32 keyCodeForV();

    const QString m_consentPath;
    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    QString m_session;
    QString m_problem;
    bool m_starting = false;
    std::deque<std::pair<quint32, bool>> m_pendingKeys;
};

} // namespace parlune
