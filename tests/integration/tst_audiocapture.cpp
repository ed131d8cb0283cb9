// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder on the real PulseAudio capture, inside the private desktop of scripts/session: speech
// played into the virtual microphone, the microphone unplugged and plugged back, no microphone, no
// server.
#include "audio/AudioRecorder.h"
#include "platform/pulse/PulseAudioInput.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <mutex>

using namespace parlune;

namespace {

const AudioFormat kMono16k{16000, 1};
const char* kSpeech = "/usr/share/pocketsphinx/test/data/goforward.raw"; // 16 kHz mono, 16-bit

std::optional<QString> run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning("%s %s failed: %s", qPrintable(program), qPrintable(arguments.join(' ')),
                 process.readAllStandardError().constData());
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pactl(const QStringList& arguments)
{
    return run(QStringLiteral("pactl"), arguments).value_or(QString());
}

// The index of a loaded module whose arguments mention `needle`, or an empty string.
QString moduleWith(const QString& needle)
{
    for (const QString& line : pactl({"list", "short", "modules"}).split('\n')) {
        const QStringList fields = line.split('\t');
        if (fields.size() >= 3 && fields[2].contains(needle))
            return fields[0];
    }
    return {};
}

QString sourceIndex(const QString& name)
{
    for (const QString& line : pactl({"list", "short", "sources"}).split('\n')) {
        const QStringList fields = line.split('\t');
        if (fields.size() >= 2 && fields[1] == name)
            return fields[0];
    }
    return {};
}

// The sources that Parlune's capture streams read from.
QStringList capturedSources()
{
    QStringList sources;
    QString source;
    for (const QString& line : pactl({"list", "source-outputs"}).split('\n')) {
        const QString field = line.trimmed();
        if (field.startsWith("Source Output #"))
            source.clear();
        else if (field.startsWith("Source: "))
            source = field.mid(8);
        else if (field == QStringLiteral("application.name = \"Parlune\""))
            sources << source;
    }
    return sources;
}

QString loadMicrophone(const QString& name)
{
    return pactl({"load-module", "module-virtual-source", "source_name=" + name,
                  "master=parlune_voice.monitor"})
        .trimmed();
}

// Root mean square per window of `window` samples.
std::vector<double> envelope(const std::vector<float>& samples, std::size_t window)
{
    std::vector<double> result;
    for (std::size_t start = 0; start + window <= samples.size(); start += window) {
        double sum = 0;
        for (std::size_t i = start; i < start + window; ++i)
            sum += double(samples[i]) * samples[i];
        result.push_back(std::sqrt(sum / double(window)));
    }
    return result;
}

// Pearson correlation of `a` against `b` shifted by `lag` windows.
double correlation(const std::vector<double>& a, const std::vector<double>& b, std::size_t lag)
{
    const std::size_t n = std::min(a.size(), b.size() - lag);
    double ma = 0, mb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        ma += a[i];
        mb += b[i + lag];
    }
    ma /= double(n);
    mb /= double(n);
    double sab = 0, saa = 0, sbb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sab += (a[i] - ma) * (b[i + lag] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i + lag] - mb) * (b[i + lag] - mb);
    }
    return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0;
}

// A recorder on the real capture, with what it handed out.
struct Rig
{
    AudioRecorder recorder{&PulseAudioInput::create};
    std::mutex mutex;
    std::vector<float> samples;
    std::vector<AudioFormat> formats;
    std::atomic<int> buffers{0};
    std::vector<Error> errors;
    int levels = 0;

    Rig()
    {
        recorder.setOnError([this](const Error& error) { errors.push_back(error); });
        recorder.setOnLevel([this](float) { ++levels; });
    }
    // The capture thread writes into the members below: it must end before they do.
    ~Rig() { recorder.stop(); }

    std::optional<Error> start()
    {
        return recorder.start(kMono16k, [this](const AudioBufferPtr& buffer) {
            std::lock_guard lock(mutex);
            formats.push_back(buffer->format());
            samples.insert(samples.end(), buffer->samples(),
                           buffer->samples() +
                               std::size_t(buffer->frameLength()) * buffer->format().channelCount);
            ++buffers;
        });
    }

    bool waitForMoreBuffers(int count, int timeoutMs = 3000)
    {
        const int target = buffers + count;
        return QTest::qWaitFor([&] { return buffers >= target; }, timeoutMs);
    }
};

} // namespace

class AudioCaptureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("PARLUNE_VOICE_SINK"), "run inside scripts/session");
        QCOMPARE(pactl({"get-default-source"}).trimmed(), QStringLiteral("parlune_mic"));
    }

    // Whatever a test did to the microphones, the next one finds the session as it was.
    void cleanup()
    {
        if (sourceIndex("parlune_mic").isEmpty())
            loadMicrophone("parlune_mic");
        pactl({"set-default-source", "parlune_mic"});
        if (const QString other = moduleWith("source_name=parlune_other"); !other.isEmpty())
            pactl({"unload-module", other});
    }

    void speechArrivesAt16kHzMonoWhereItWasSpoken()
    {
        QFile raw(kSpeech);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QByteArray pcm = raw.readAll();
        std::vector<float> speech(std::size_t(pcm.size()) / 2);
        for (std::size_t i = 0; i < speech.size(); ++i)
            speech[i] = float(reinterpret_cast<const qint16*>(pcm.constData())[i]) / 32768.0f;

        QTemporaryDir dir;
        const QString wav = dir.filePath("speech.wav");
        QVERIFY(
            run("sox", {"-t", "raw", "-e", "signed", "-b", "16", "-r", "16000", "-c", "1", kSpeech, wav}));

        Rig rig;
        QCOMPARE(rig.start(), std::nullopt);
        QVERIFY(rig.waitForMoreBuffers(5)); // some silence first
        QVERIFY(run("paplay", {"-d", qEnvironmentVariable("PARLUNE_VOICE_SINK"), wav}));
        QVERIFY(rig.waitForMoreBuffers(10));
        rig.recorder.stop();

        std::lock_guard lock(rig.mutex);
        for (const AudioFormat& format : rig.formats)
            QCOMPARE(format, kMono16k);
        QVERIFY(rig.levels > 0);
        // The captured stream holds the recording at some delay: its loudness, window by window,
        // follows the recording's.
        const std::size_t window = 320; // 20 ms
        const auto spoken = envelope(speech, window);
        const auto heard = envelope(rig.samples, window);
        QVERIFY(heard.size() > spoken.size());
        double best = -1;
        std::size_t bestLag = 0;
        for (std::size_t lag = 0; lag + spoken.size() <= heard.size(); ++lag) {
            if (const double c = correlation(spoken, heard, lag); c > best) {
                best = c;
                bestLag = lag;
            }
        }
        qInfo("speech found %zu ms into the capture, envelope correlation %.3f", bestLag * 20, best);
        QVERIFY2(best > 0.9, qPrintable(QString::number(best)));
        // Before the recording played, the microphone heard silence (the recording itself starts
        // with faint noise: leave a margin of 200 ms for the alignment).
        QVERIFY(bestLag > 10);
        double before = 0, during = 0;
        for (std::size_t i = 0; i < bestLag - 10; ++i)
            before = std::max(before, heard[i]);
        for (std::size_t i = bestLag; i < bestLag + spoken.size(); ++i)
            during = std::max(during, heard[i]);
        QVERIFY(during > 0.05);
        QVERIFY(before < during / 100);
    }

    void microphoneUnpluggedAndPluggedBackRestartsTheCapture()
    {
        Rig rig;
        QCOMPARE(rig.start(), std::nullopt);
        QVERIFY(rig.waitForMoreBuffers(2));
        const QString module = moduleWith("source_name=parlune_mic");
        QVERIFY(!module.isEmpty());
        pactl({"unload-module", module});
        QVERIFY(!loadMicrophone("parlune_mic").isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return rig.recorder.restartAttempts() == 1; }, 3000));
        QVERIFY(rig.waitForMoreBuffers(3));
        QVERIFY(rig.errors.empty());
        QVERIFY(rig.recorder.engine()->isRunning());
        QCOMPARE(capturedSources(), QStringList{sourceIndex("parlune_mic")});
        rig.recorder.stop();
        QVERIFY(capturedSources().isEmpty());
    }

    void newDefaultMicrophoneTakesOverTheCapture()
    {
        QVERIFY(!loadMicrophone("parlune_other").isEmpty());
        Rig rig;
        QCOMPARE(rig.start(), std::nullopt);
        QVERIFY(rig.waitForMoreBuffers(2));
        QCOMPARE(capturedSources(), QStringList{sourceIndex("parlune_mic")});
        pactl({"set-default-source", "parlune_other"});
        QVERIFY(QTest::qWaitFor([&] { return rig.recorder.restartAttempts() == 1; }, 3000));
        QVERIFY(rig.waitForMoreBuffers(3));
        QCOMPARE(capturedSources(), QStringList{sourceIndex("parlune_other")});
        QVERIFY(rig.errors.empty());
    }

    // Only the monitors of the outputs remain, and they are no microphone.
    void noMicrophoneLeftReportsCode2()
    {
        Rig rig;
        QCOMPARE(rig.start(), std::nullopt);
        QVERIFY(rig.waitForMoreBuffers(2));
        pactl({"unload-module", moduleWith("source_name=parlune_mic")});
        QVERIFY(QTest::qWaitFor([&] { return !rig.errors.empty(); }, 3000));
        QCOMPARE(rig.errors, (std::vector<Error>{{"Parlune.Audio", 2, "Aucun micro disponible."}}));
        QCOMPARE(rig.recorder.restartAttempts(), 1);
        QVERIFY(rig.recorder.isRecording());
        rig.recorder.stop();

        // A new dictation without a microphone does not start.
        const auto error = rig.start();
        QVERIFY(error);
        QCOMPARE(error->description, QStringLiteral("Aucun micro disponible."));
        QVERIFY(!rig.recorder.isRecording());
    }

    void noSoundServerFailsToStartAndLeavesTheRecorderReusable()
    {
        const QByteArray server = qgetenv("PULSE_SERVER");
        Rig rig;
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(QDir::tempPath()) + "/parlune-no-server");
        const auto error = rig.start();
        qputenv("PULSE_SERVER", server);
        QVERIFY(error);
        QCOMPARE(*error, (Error{"Parlune.PulseAudio", 1, "Le serveur de son est injoignable."}));
        QVERIFY(!rig.recorder.isRecording() && !rig.recorder.engine() &&
                !rig.recorder.configurationObserver());

        QCOMPARE(rig.start(), std::nullopt);
        QVERIFY(rig.waitForMoreBuffers(2));
    }
};

QTEST_GUILESS_MAIN(AudioCaptureTest)
#include "tst_audiocapture.moc"
