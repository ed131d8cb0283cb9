// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/DictationCheck.h"

#include "app/DesktopServices.h"
#include "audio/AudioRecorder.h"
#include "audio/AudioResampler.h"
#include "diagnostics/PasteTestWindow.h"
#include "diagnostics/SoundFile.h"
#include "platform/InputAccess.h"
#include "platform/Log.h"
#include "platform/Pasteboard.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"
#include "system/TextInjector.h"

#include <QApplication>
#include <QCoroProcess>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QUuid>

#include <atomic>

namespace parlune::DictationCheck {

namespace {

// WORKAROUND: g++ 12 cannot keep the static array of a QStringLiteral or of a braced list in a
// coroutine frame ("array used as initializer"): the coroutines below build their strings with
// fromUtf8 and their lists step by step.

// The check's own failure: a short stage description behind a fixed prefix.
QString failed(const QString& stage)
{
    return QStringLiteral("Diagnostic failed: ") + stage;
}

bool containsEvery(const QString& text, const QStringList& words)
{
    const QString lowered = text.toLower();
    for (const QString& word : words) {
        if (!lowered.contains(word))
            return false;
    }
    return true;
}

// The stages, in order. Nothing when the run ended well (a PASS or SKIP line is written), else the
// description for the FAIL line.
QCoro::Task<std::optional<QString>> runStages(const Services& services, const Options& options,
                                              const QString& filePath)
{
    Clock& clock = *services.clock;

    // Speak the sentence into the file.
    QStringList arguments;
    arguments << QString::fromUtf8("-v") << options.voice << QString::fromUtf8("-w") << filePath
              << options.sentence;
    const std::variant<int, LaunchFailure> synthesis =
        co_await services.runProcess(options.synthesizer, arguments);
    if (const auto* launch = std::get_if<LaunchFailure>(&synthesis))
        co_return launch->description;
    if (std::get<int>(synthesis) != 0)
        co_return failed(QString::fromUtf8("speech synthesis"));

    // Make the recogniser ready.
    SpeechEngine engine(services.recognizer, clock);
    // A model downloaded first tells its progress, every tenth.
    int tenthsTold = -1;
    engine.setOnInstallation(
        [&services, &tenthsTold](Language language, std::shared_ptr<InstallationProgress> progress) {
            const std::weak_ptr<InstallationProgress> followed = progress;
            const QByteArray name = rawValue(language).toUtf8();
            progress->observe([&services, &tenthsTold, followed, name] {
                const std::shared_ptr<InstallationProgress> progress = followed.lock();
                const int tenths = progress ? int(progress->fractionCompleted() * 10) : -1;
                if (tenths <= tenthsTold)
                    return;
                tenthsTold = tenths;
                services.writeLine(QString::asprintf("Parlune check: downloading the %s model, %d %%",
                                                     name.constData(), tenths * 10));
            });
        });
    const Clock::Instant preparing = clock.now();
    const SpeechEngine::PrepareOutcome prepared = co_await engine.prepare(options.language);
    if (!prepared)
        co_return SpeechEngine::description(prepared.error());
    const AudioFormat format = prepared.value();
    services.writeLine(
        QString::asprintf("Parlune check: engine ready in %.2f s", secondsBetween(preparing, clock.now())));

    // The file, the resampler and a session counting its previews.
    Outcome<std::unique_ptr<SoundFile>, QString> opened = SoundFile::open(filePath);
    if (!opened)
        co_return opened.error();
    SoundFile& file = *opened.value();
    AudioResampler resampler(format);
    int previews = 0;
    QString recognised;
    {
        DictationSession session(*services.recognizer, options.language,
                                 [&previews](const QString&) { ++previews; });

        // As fast as the file reads: no pacing to real time.
        while (file.framePosition() < file.length()) {
            auto buffer = std::make_shared<AudioBuffer>(file.processingFormat(), fileReadChunkFrames);
            if (const std::optional<QString> error = file.read(*buffer, fileReadChunkFrames)) {
                // A session let go without an ending would wait for its results for ever.
                session.cancel();
                co_return *error;
            }
            if (buffer->frameLength() == 0)
                break;
            if (AudioBufferPtr converted = resampler.convert(buffer))
                session.input()->push(converted);
        }

        // The final text.
        const Clock::Instant endOfSpeech = clock.now();
        const Outcome<QString, RecognitionError> text = co_await session.finish();
        if (!text)
            co_return text.error().description;
        recognised = text.value();
        // The check's own sentence, not a user's dictation: it may be shown.
        services.writeLine(QString::asprintf("Parlune check: final text %.2f s after the end of speech: %s",
                                             secondsBetween(endOfSpeech, clock.now()),
                                             qUtf8Printable(recognised)));
    }

    // The words.
    if (!containsEvery(recognised, options.expectedWords))
        co_return failed(QString::fromUtf8("transcription"));
    services.writeLine(QString::asprintf("Parlune check: %d live previews during the dictation", previews));

    // The real microphone for a moment.
    if (!co_await services.requestMicrophonePermission())
        co_return failed(QString::fromUtf8("microphone permission"));
    {
        AudioRecorder recorder(services.audioInput);
        DictationSession session(*services.recognizer, options.language);
        // Counted on the capture thread, read here once the recorder has stopped.
        std::atomic<int> buffers = 0;
        const std::shared_ptr<AudioBufferQueue> input = session.input();
        if (const std::optional<Error> error =
                recorder.start(format, [&buffers, input](const AudioBufferPtr& buffer) {
                    buffers.fetch_add(1, std::memory_order_relaxed);
                    input->push(buffer);
                })) {
            session.cancel();
            co_return error->description;
        }
        co_await clock.sleep(liveRecordingDuration);
        recorder.stop();
        const Clock::Instant stopped = clock.now();
        const Outcome<QString, RecognitionError> heard = co_await session.finish();
        if (!heard)
            co_return heard.error().description;
        if (buffers.load() < 1)
            co_return failed(QString::fromUtf8("microphone delivered no audio"));
        services.writeLine(QString::asprintf(
            "Parlune check: live microphone %d buffers, finished in %.2f s, heard %d characters",
            buffers.load(), secondsBetween(stopped, clock.now()), int(heard.value().size())));
    }

    // Paste into a window of our own.
    std::unique_ptr<TestWindow> window = services.makeTestWindow();
    window->show();
    services.writeLine(
        QString::asprintf("Parlune check: accessibility=%d", services.inputAccess->isTrusted() ? 1 : 0));
    for (int poll = 0; poll < focusPolls; ++poll) {
        if (window->isApplicationActive() && window->isKey())
            break;
        co_await clock.sleep(focusPollInterval);
    }
    if (!window->isApplicationActive() || !window->isKey() || !window->textFieldHasFocus()) {
        services.writeLine(
            QString::fromUtf8("Parlune check: PASS transcription and microphone, SKIP paste (no focus)"));
        window->close();
        co_return std::nullopt;
    }

    const bool trusted = services.inputAccess->isTrusted();
    if (trusted) {
        TextInjector injector(*services.pasteboard, *services.keySynth, *services.workspace, clock);
        co_await injector.pasteAtCursor(recognised, true);
    } else {
        services.pasteboard->clearContents();
        services.pasteboard->writeItems(
            {PasteboardItem{{{TextInjector::plainTextType, recognised.toUtf8()}}}});
    }
    co_await clock.sleep(waitAfterPasting);

    const QString actual = window->text();
    if (trusted && actual == recognised) {
        services.writeLine(QString::fromUtf8("Parlune check: PASS transcription and paste into text field"));
        window->close();
        co_return std::nullopt;
    }
    window->close();
    co_return failed(
        QString::fromUtf8("paste (accessibility=%1, expected=%2, actual=%3)")
            .arg(services.inputAccess->isTrusted() ? QString::fromUtf8("true") : QString::fromUtf8("false"),
                 quoted(recognised), quoted(actual)));
}

QCoro::Task<std::variant<int, LaunchFailure>> runProcess(QString program, QStringList arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!co_await qCoro(process).waitForStarted()) {
        co_return LaunchFailure{
            QString::fromUtf8("Impossible de lancer « %1 » : %2").arg(program, process.errorString())};
    }
    co_await qCoro(process).waitForFinished(-1);
    co_return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

QCoro::Task<> run(Services services, Options options)
{
    const QString filePath = temporaryFilePath();
    const std::optional<QString> failure = co_await runStages(services, options, filePath);
    if (failure)
        services.writeLine(QStringLiteral("Parlune check: FAIL ") + *failure);
    services.terminate();
    QFile::remove(filePath);
}

void logCheckLine(const QString& line)
{
    logLine("%s", qUtf8Printable(line));
}

QString temporaryFilePath()
{
    return QDir::tempPath() + QStringLiteral("/parlune-check-") +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".aiff");
}

QString quoted(const QString& text)
{
    QString result = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            result += QStringLiteral("\\\"");
            break;
        case '\\':
            result += QStringLiteral("\\\\");
            break;
        case '\n':
            result += QStringLiteral("\\n");
            break;
        case '\r':
            result += QStringLiteral("\\r");
            break;
        case '\t':
            result += QStringLiteral("\\t");
            break;
        default:
            if (c.category() == QChar::Other_Control)
                result += QStringLiteral("\\u{%1}").arg(c.unicode(), 0, 16);
            else
                result += c;
        }
    }
    return result + QLatin1Char('"');
}

Services servicesOf(const AppCoordinatorServices& desktop)
{
    Services services;
    services.clock = desktop.clock;
    services.runProcess = runProcess;
    services.recognizer = desktop.recognizer;
    services.audioInput = desktop.audioInput;
    services.requestMicrophonePermission = AudioRecorder::requestPermission;
    services.inputAccess = desktop.inputAccess;
    services.pasteboard = desktop.pasteboard;
    services.keySynth = desktop.keySynth;
    services.workspace = desktop.workspace;
    services.makeTestWindow = [] { return std::make_unique<PasteTestWindow>(); };
    services.terminate = [] { QCoreApplication::quit(); };
    return services;
}

int runAndExit(Options options)
{
    DesktopServices desktop;
    const Services services = servicesOf(desktop.services());
    // Started from the running event loop, so that the quit at its end is never asked too early.
    QTimer::singleShot(0, [&services, options = std::move(options)] { run(services, options); });
    return QApplication::exec();
}

} // namespace parlune::DictationCheck
