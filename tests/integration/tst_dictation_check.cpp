// SPDX-License-Identifier: GPL-3.0-or-later
// The whole self-check in English on the private desktop, with the real recogniser, microphone, window
// and paste: it ends with the PASS line.
#include "app/DesktopServices.h"
#include "diagnostics/DictationCheck.h"

#include <QApplication>
#include <QFile>
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

        DictationCheck::Options options;
        options.language = Language::en;
        options.sentence = QStringLiteral("go forward ten meters");
        options.expectedWords = {QStringLiteral("go"), QStringLiteral("forward")};
        options.synthesizer = QStringLiteral(RECORDED_SPEECH);
        options.voice = QStringLiteral("en-us");
        DictationCheck::run(services, options);

        QTRY_VERIFY_WITH_TIMEOUT(ended, 120000);
        QVERIFY2(!lines.isEmpty(), "the check wrote nothing");
        QCOMPARE(lines.last(), QStringLiteral("Parlune check: PASS transcription and paste into text field"));
        QCOMPARE(lines.filter(QStringLiteral("Parlune check: live microphone ")).size(), 1);
    }
};

QTEST_MAIN(TestDictationCheckSession)
#include "tst_dictation_check.moc"
