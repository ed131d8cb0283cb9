// SPDX-License-Identifier: GPL-3.0-or-later
// The real recogniser on real recorded speech, with Debian's English model. (Speech through the
// microphone to the text is heard in the whole-dictation test.)
#include "RecordedSpeech.h"
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"

#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

class RecognitionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dataHome;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_dataHome.path().toUtf8()); }

    // The dictations of a language share its decoder: one let go of unfinished gives it back, one
    // started while the previous is being finished waits for it; each gets its words, in order.
    void dictationsShareTheLanguageDecoder()
    {
        auto recognizer = std::make_shared<PocketsphinxRecognizer>();
        QVERIFY(QCoro::waitFor(SpeechEngine(recognizer).prepare(Language::en)));
        const std::vector<AudioBufferPtr> speech = toBuffers(recordedSpeech(QStringLiteral("goforward.raw")));
        DictationSession(*recognizer, Language::en).input()->push(speech.front());
        DictationSession first(*recognizer, Language::en), second(*recognizer, Language::en);
        for (const AudioBufferPtr& buffer : speech)
            first.input()->push(buffer), second.input()->push(buffer);
        auto firstText = first.finish();
        QVERIFY(QCoro::waitFor(second.finish()).value().contains("go forward ten meters"));
        QVERIFY(firstText.isReady());
        QVERIFY(QCoro::waitFor(std::move(firstText)).value().contains("go forward ten meters"));
    }
};

QTEST_GUILESS_MAIN(RecognitionTest)
#include "tst_recognition.moc"
