// SPDX-License-Identifier: GPL-3.0-or-later
// A whole dictation on the private desktop with the real services: the shortcut held through the X
// server while recorded speech plays into the microphone, the words pasted into another program's text
// field, the user's clipboard given back, and the history file written.
#include "SessionChild.h"
#include "app/AppCoordinator.h"
#include "app/DesktopServices.h"
#include "input/GlobalHotkeys.h"
#include "platform/KeyCodes.h"
#include "speech/SpeechEngine.h"
#include "store/AppPaths.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

using namespace parlune;

namespace {

constexpr quint16 rightControl = 62;

class XKeys
{
public:
    XKeys()
        : m_display(XOpenDisplay(nullptr))
    {}
    ~XKeys()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool isOpen() const { return m_display; }
    void send(quint16 virtualKeyCode, bool down)
    {
        XTestFakeKeyEvent(m_display, *KeyCodes::x11ForVirtual(virtualKeyCode), down, CurrentTime);
        XFlush(m_display);
    }

private:
    Display* m_display;
};

// The floating panel is the interface's; here only whether it is up matters.
class PanelState final : public HudPresenter
{
public:
    explicit PanelState(bool& visible)
        : m_visible(visible)
    {}
    void show() override { m_visible = true; }
    void hide() override { m_visible = false; }

private:
    bool& m_visible;
};

} // namespace

class TestDictationPipeline : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void heldShortcutPastesTheSpokenWordsIntoTheFieldInFront()
    {
        XKeys keys;
        QVERIFY(keys.isOpen());

        // English, the shortcut on right Control, the walkthrough done.
        const QString support = AppPaths::support();
        QVERIFY(QDir().mkpath(support));
        {
            QFile settings(support + QStringLiteral("/settings.json"));
            QVERIFY(settings.open(QIODevice::WriteOnly));
            settings.write(R"({"language":"en","shortcut":{"keyCode":62,"modifiers":0,"isModifierKey":true},)"
                           R"("onboardingDone":true,"soundsEnabled":true})");
        }

        SessionChild field(QStringLiteral(PARLUNE_TEST_FIELD), {QStringLiteral("line")});
        QVERIFY(field.waitForLine("ready"));

        // What the user had copied before dictating.
        auto* before = new QMimeData;
        before->setData(QStringLiteral("text/plain"), "copied before");
        QGuiApplication::clipboard()->setMimeData(before);

        DesktopServices desktop;
        bool panelVisible = false;
        AppCoordinatorServices services = desktop.services();
        services.makeHud = [&](AppCoordinator&) { return std::make_unique<PanelState>(panelVisible); };
        AppCoordinator coordinator(std::move(services), true);
        QList<RecordingStatus> statuses;
        connect(&coordinator, &AppCoordinator::statusChanged, this,
                [&] { statuses << coordinator.status(); });
        QTRY_VERIFY_WITH_TIMEOUT(coordinator.engine().readyFormat(Language::en), 60000);
        QVERIFY(coordinator.hotkeys()->tap());

        keys.send(rightControl, true);
        QTRY_VERIFY_WITH_TIMEOUT(coordinator.isRecording(), 5000);
        QProcess speech;
        speech.start(QStringLiteral("paplay"),
                     {QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                      QStringLiteral("--rate=16000"), QStringLiteral("--channels=1"), QStringLiteral("-d"),
                      qEnvironmentVariable("PARLUNE_VOICE_SINK"),
                      QStringLiteral("/usr/share/pocketsphinx/test/data/goforward.raw")});
        QTRY_VERIFY_WITH_TIMEOUT(speech.state() == QProcess::NotRunning, 30000);
        QCOMPARE(speech.exitCode(), 0);
        QTest::qWait(300); // the tail of the sound still travels through the sound server
        keys.send(rightControl, false);

        const std::optional<QByteArray> typed = field.waitForLine("text ", 20000);
        QVERIFY2(typed, "the field received nothing");
        const QString text = QString::fromUtf8(QByteArray::fromBase64(*typed));
        QVERIFY2(text.contains(QStringLiteral("go forward ten meters")), qPrintable(text));

        // The history keeps exactly what was pasted, in its file's form.
        QTRY_COMPARE(coordinator.history().size(), 1);
        QFile history(support + QStringLiteral("/history.json"));
        QVERIFY(history.open(QIODevice::ReadOnly));
        // WORKAROUND: moc of Qt 6.4 loses its way in raw strings holding backslashes: plain literals here.
        const QRegularExpression form(
            QStringLiteral("^\\[\\{\"id\":\"[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\",\"date\":\\d+\\.\\d+,"
                           "\"text\":\"[^\"]+\"\\}\\]$"));
        QVERIFY(form.match(QString::fromUtf8(history.readAll())).hasMatch());
        QCOMPARE(coordinator.history().first().text, text);

        // Recording, transcribing, then the words counted, then idle after a moment.
        const qint64 words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
        QTRY_COMPARE_WITH_TIMEOUT(coordinator.status(), RecordingStatus::idle(), 5000);
        QVERIFY(!panelVisible);
        QVERIFY(statuses.contains(RecordingStatus::recording()));
        const qsizetype transcribing = statuses.indexOf(RecordingStatus::transcribing());
        QVERIFY(transcribing >= 0);
        QCOMPARE(statuses.mid(transcribing),
                 QList<RecordingStatus>({RecordingStatus::transcribing(), RecordingStatus::inserted(words),
                                         RecordingStatus::idle()}));

        // The clipboard holds again what the user had copied.
        QTRY_COMPARE_WITH_TIMEOUT(
            QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")),
            QByteArray("copied before"), 5000);
    }
};

QTEST_MAIN(TestDictationPipeline)
#include "tst_dictation_pipeline.moc"
