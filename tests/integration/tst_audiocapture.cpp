// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder on the real PulseAudio capture, inside the private desktop of scripts/session: the
// microphone unplugged while a dictation records. (The sound itself is heard in the whole-dictation test.)
#include "audio/AudioRecorder.h"
#include "platform/pulse/PulseAudioInput.h"

#include <QProcess>
#include <QTest>

using namespace parlune;

namespace {

QString pactl(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        qWarning("pactl %s failed: %s", qPrintable(arguments.join(' ')),
                 process.readAllStandardError().constData());
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The first field of the line of `pactl list short <kind>` whose field `column` contains `needle`.
QString indexIn(const QString& kind, int column, const QString& needle)
{
    for (const QString& line : pactl({"list", "short", kind}).split('\n')) {
        const QStringList fields = line.split('\t');
        if (fields.size() > column && fields[column].contains(needle))
            return fields[0];
    }
    return {};
}

QString microphoneModule()
{
    return indexIn("modules", 2, "source_name=parlune_mic");
}

QString loadMicrophone()
{
    return pactl(
        {"load-module", "module-virtual-source", "source_name=parlune_mic", "master=parlune_voice.monitor"});
}

// The sources that Parlune's capture streams read from, by index.
QStringList capturedSources()
{
    QStringList sources;
    QString source;
    for (const QString& line : pactl({"list", "source-outputs"}).split('\n')) {
        const QString field = line.trimmed();
        if (field.startsWith("Source: "))
            source = field.mid(8);
        else if (field == QStringLiteral("application.name = \"Parlune\""))
            sources << source;
    }
    return sources;
}

} // namespace

class AudioCaptureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("PARLUNE_VOICE_SINK"), "run inside scripts/session");
        QCOMPARE(pactl({"get-default-source"}), QStringLiteral("parlune_mic"));
    }

    // Whatever the test did to the microphone, the session is left as it was.
    void cleanup()
    {
        if (microphoneModule().isEmpty())
            loadMicrophone();
        pactl({"set-default-source", "parlune_mic"});
    }

    void microphoneUnpluggedAndBackRestartsTheCapture()
    {
        // Counted on the capture thread: the recorder, declared last, stops before the count goes.
        std::atomic<int> buffers{0};
        std::vector<Error> errors;
        AudioRecorder recorder(&PulseAudioInput::create);
        recorder.setOnError([&errors](const Error& error) { errors.push_back(error); });
        const auto moreBuffers = [&buffers](int count) {
            return QTest::qWaitFor([&buffers, target = buffers + count] { return buffers >= target; }, 3000);
        };
        QCOMPARE(recorder.start({16000, 1}, [&buffers](const AudioBufferPtr&) { ++buffers; }), std::nullopt);
        QVERIFY(moreBuffers(2));
        pactl({"unload-module", microphoneModule()});
        QVERIFY(!loadMicrophone().isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return recorder.restartAttempts() == 1; }, 3000));
        QVERIFY(moreBuffers(3) && errors.empty());
        QCOMPARE(capturedSources(), QStringList{indexIn("sources", 1, "parlune_mic")});
        recorder.stop();
        QVERIFY(capturedSources().isEmpty());
    }
};

QTEST_GUILESS_MAIN(AudioCaptureTest)
#include "tst_audiocapture.moc"
