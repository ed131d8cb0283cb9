// SPDX-License-Identifier: GPL-3.0-or-later
// The rig of the tests and benchmarks on the private desktop of scripts/session: other programs beside
// us, keys pressed on the keyboard, speech played into the microphone.
#pragma once

#include "store/AppPaths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <map>

// Where the Wayland desktop a test needs is not there, the test skips; unless the run was promised that
// desktop (scripts/test's Wayland step sets PARLUNE_REQUIRE_WAYLAND), where a missing piece is a failure.
#define PARLUNE_REQUIRE_WAYLAND_DESKTOP(present, what)                                                       \
    do {                                                                                                     \
        if (!(present)) {                                                                                    \
            if (qEnvironmentVariableIsSet("PARLUNE_REQUIRE_WAYLAND"))                                        \
                QFAIL("no Wayland desktop in a run that requires one: " what);                               \
            QSKIP("needs the Wayland desktop of scripts/session --wayland: " what);                          \
        }                                                                                                    \
    } while (false)

namespace parlune {

// Runs the event loop until `done` is true or `milliseconds` have passed, checking after every event
// and at least every 50 ms. QTest's own waits sleep 10 ms between turns of the event loop, which would
// show in the latencies the benchmarks measure.
template <typename Predicate> bool waitUntil(Predicate done, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    QTimer wake;
    wake.start(50);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

// A program started beside us, read line by line. Waiting keeps our event loop, and so our clipboard,
// running.
class SessionChild
{
public:
    SessionChild(const QString& program, const QStringList& arguments,
                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setProcessEnvironment(environment);
        m_process.start(program, arguments);
    }
    ~SessionChild()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }

    // The next line beginning with `prefix`, the prefix removed; none if the program ends or is silent.
    std::optional<QByteArray> waitForLine(const QByteArray& prefix, int milliseconds = 10000)
    {
        std::optional<QByteArray> found;
        (void)waitUntil(
            [&] {
                while (!found && m_process.canReadLine()) {
                    if (const QByteArray line = m_process.readLine().chopped(1); line.startsWith(prefix))
                        found = line.mid(prefix.size());
                }
                return found || m_process.state() == QProcess::NotRunning;
            },
            milliseconds);
        return found;
    }

    // Everything the program says until it ends, and whether it succeeded.
    QList<QByteArray> lines(bool* succeeded = nullptr)
    {
        (void)QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, 30000);
        if (succeeded)
            *succeeded = m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
        return m_process.readAll().split('\n');
    }

    qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
};

// Another program in front, its line edit (or button) focused; the line edit may already hold `text`.
class TestField : public SessionChild
{
public:
    explicit TestField(const char* widget = "line", const QString& text = {})
        : SessionChild(QStringLiteral(PARLUNE_TEST_FIELD), {widget, text})
    {}
    // On one of Qt's platforms ("wayland" for a native Wayland window, "xcb" for Xwayland).
    TestField(const char* widget, const QString& text, const QString& platform)
        : SessionChild(QStringLiteral(PARLUNE_TEST_FIELD), {widget, text}, onPlatform(platform))
    {}

    static QProcessEnvironment onPlatform(const QString& platform)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        return environment;
    }

    bool isReady() { return waitForLine("ready").has_value(); }

    // The field's whole text after its next change.
    QString waitForText(int milliseconds = 10000)
    {
        return QString::fromUtf8(QByteArray::fromBase64(waitForLine("text ", milliseconds).value_or("")));
    }
};

// Presses or releases a key ("Control_R") through the X server, as the keyboard would.
inline bool holdKey(const char* keysym, bool down)
{
    bool sent = false;
    SessionChild(QStringLiteral(PARLUNE_TEST_FIELD), {down ? "press" : "release", keysym}).lines(&sent);
    return sent;
}

// Plays a recording (raw 16 kHz or WAVE) into the microphone; true once all of it has been heard.
inline bool speakIntoMicrophone(const QString& path)
{
    QStringList arguments{QStringLiteral("-d"), qEnvironmentVariable("PARLUNE_VOICE_SINK")};
    if (path.endsWith(QLatin1String(".raw")))
        arguments << QStringLiteral("--raw") << QStringLiteral("--format=s16le")
                  << QStringLiteral("--rate=16000") << QStringLiteral("--channels=1");
    bool played = false;
    SessionChild(QStringLiteral("paplay"), arguments << path).lines(&played);
    QTest::qWait(300); // the tail of the sound still travels through the sound server
    return played;
}

// What another program reads from the Wayland clipboard, type by type, through wl-paste. The readers
// block our event loop; the clipboard's owner must answer from elsewhere (another program, or the
// data-control clipboard's own thread).
inline std::map<QString, QByteArray> waylandClipboard()
{
    const auto paste = [](const QStringList& arguments) {
        QProcess process;
        process.start(QStringLiteral("wl-paste"), arguments);
        process.waitForFinished(10000);
        return process.readAllStandardOutput();
    };
    std::map<QString, QByteArray> content;
    for (const QByteArray& type : paste({QStringLiteral("--list-types")}).split('\n')) {
        if (!type.isEmpty())
            content[QString::fromUtf8(type)] =
                paste({QStringLiteral("--no-newline"), QStringLiteral("--type"), QString::fromUtf8(type)});
    }
    return content;
}

// Settings of a user who dictates in English holding right Control, with the sounds on and the output
// muted while recording, the walkthrough done.
inline bool writeDictationSettings()
{
    // Each dictation test starts with an empty history, whatever the tests before it dictated.
    QFile::remove(AppPaths::support() + QStringLiteral("/history.json"));
    QFile settings(AppPaths::support() + QStringLiteral("/settings.json"));
    return QDir().mkpath(AppPaths::support()) && settings.open(QIODevice::WriteOnly) &&
           settings.write(R"({"language":"en","shortcut":{"keyCode":62,"modifiers":0,"isModifierKey":true},)"
                          R"("onboardingDone":true,"soundsEnabled":true,"muteWhileRecording":true})") > 0;
}

} // namespace parlune
