// SPDX-License-Identifier: GPL-3.0-or-later
// A whole dictation on the private desktop with the real services: the shortcut held through the X
// server while recorded speech plays into the microphone and the speakers are muted, the words pasted
// into another program's text field after the sentence it already holds, the user's clipboard and
// speakers given back, and the dictation kept in the history.
#include "FakeHud.h"
#include "SessionChild.h"
#include "app/AppCoordinator.h"
#include "app/DesktopServices.h"
#include "input/GlobalHotkeys.h"
#include "speech/SpeechEngine.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

using namespace parlune;

namespace {

bool speakersMuted()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {"get-sink-mute", "parlune_speakers"});
    return pactl.waitForFinished(5000) && pactl.readAll().contains("Mute: yes");
}

} // namespace

class TestDictationPipeline : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void heldShortcutPastesTheSpokenWordsIntoTheFieldInFront()
    {
        QVERIFY(writeDictationSettings());
        TestField field("line", QStringLiteral("Done."));
        QVERIFY(field.isReady());
        // What the user had copied before dictating.
        auto* before = new QMimeData;
        before->setData(QStringLiteral("text/plain"), "copied before");
        QGuiApplication::clipboard()->setMimeData(before);

        DesktopServices desktop;
        FakeHud::State panel;
        AppCoordinatorServices services = desktop.services();
        services.makeHud = [&](AppCoordinator&) { return std::make_unique<FakeHud>(panel); };
        AppCoordinator coordinator(std::move(services), true);
        QList<RecordingStatus> statuses;
        connect(&coordinator, &AppCoordinator::statusChanged, this,
                [&] { statuses << coordinator.status(); });
        QTRY_VERIFY_WITH_TIMEOUT(coordinator.engine().readyFormat(Language::en), 60000);
        QVERIFY(coordinator.hotkeys()->tap());

        QVERIFY(holdKey("Control_R", true));
        QTRY_VERIFY_WITH_TIMEOUT(coordinator.isRecording(), 5000);
        QTRY_VERIFY(speakersMuted());
        QVERIFY(speakIntoMicrophone(QStringLiteral("/usr/share/pocketsphinx/test/data/goforward.raw")));
        holdKey("Control_R", false);

        // The field said where its cursor was: the words follow its sentence with one space and a capital.
        const QString inField = field.waitForText(20000);
        QVERIFY2(inField.startsWith(QStringLiteral("Done. Go forward ten meters")), qPrintable(inField));
        const QString text = inField.mid(5);

        QTRY_COMPARE(coordinator.history().size(), 1);
        QCOMPARE(coordinator.history().first().text, text);

        // Recording, transcribing, then the words counted, then idle after a moment, the panel gone.
        QTRY_COMPARE_WITH_TIMEOUT(coordinator.status(), RecordingStatus::idle(), 5000);
        QVERIFY(!panel.visible);
        QVERIFY(!speakersMuted());
        const qsizetype recording = statuses.indexOf(RecordingStatus::recording());
        QVERIFY(recording >= 0);
        QCOMPARE(
            statuses.mid(statuses.indexOf(RecordingStatus::transcribing(), recording)),
            QList<RecordingStatus>({RecordingStatus::transcribing(),
                                    RecordingStatus::inserted(text.split(u' ', Qt::SkipEmptyParts).size()),
                                    RecordingStatus::idle()}));

        // The clipboard holds again what the user had copied.
        QTRY_COMPARE_WITH_TIMEOUT(
            QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")),
            QByteArray("copied before"), 5000);
    }
};

QTEST_MAIN(TestDictationPipeline)
#include "tst_dictation_pipeline.moc"
