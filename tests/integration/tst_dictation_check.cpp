// SPDX-License-Identifier: GPL-3.0-or-later
// The whole self-check in English on the private desktop, with the real recogniser, microphone, window
// and paste: the line of each stage, and the PASS line.
#include "app/DesktopServices.h"
#include "diagnostics/DictationCheck.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTest>

using namespace parlune;

class TestDictationCheckSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void englishCheckPassesWithTheRealServices()
    {
        DesktopServices desktop;
        DictationCheck::Services services = DictationCheck::servicesOf(desktop.services());
        QStringList lines;
        services.writeLine = [&lines](const QString& line) {
            DictationCheck::logCheckLine(line);
            lines << line;
        };
        bool ended = false;
        services.terminate = [&ended] { ended = true; };

        DictationCheck::run(services, {.language = Language::en,
                                       .sentence = QStringLiteral("go forward ten meters"),
                                       .expectedWords = {QStringLiteral("go"), QStringLiteral("forward")},
                                       .synthesizer = QStringLiteral(RECORDED_SPEECH),
                                       .voice = QStringLiteral("en-us")});

        QTRY_VERIFY_WITH_TIMEOUT(ended, 120000);
        // One line per stage, in order.
        const QStringList stages{
            "engine ready in \\d+\\.\\d\\d s",
            "final text \\d+\\.\\d\\d s after the end of speech: .*go forward ten meters.*",
            "[1-9]\\d* live previews during the dictation",
            "live microphone [1-9]\\d* buffers, finished in \\d+\\.\\d\\d s, heard \\d+ characters",
            "accessibility=1",
            "PASS transcription and paste into text field"};
        QCOMPARE(lines.size(), stages.size());
        for (qsizetype i = 0; i < stages.size(); ++i)
            QVERIFY2(QRegularExpression("^Parlune check: " + stages[i] + '$').match(lines[i]).hasMatch(),
                     qPrintable(lines[i]));
    }
};

QTEST_MAIN(TestDictationCheckSession)
#include "tst_dictation_check.moc"
