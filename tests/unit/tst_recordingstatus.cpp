// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RecordingStatus.h"
#include "speech/Language.h"

#include <QTest>

using namespace parlune;

class TestRecordingStatus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void labels_data()
    {
        QTest::addColumn<RecordingStatus>("status");
        QTest::addColumn<QString>("label");

        QTest::newRow("idle") << RecordingStatus::idle() << QStringLiteral("Prêt");
        QTest::newRow("preparing") << RecordingStatus::preparing(QStringLiteral("Préparation : Français…"))
                                   << QStringLiteral("Préparation : Français…");
        QTest::newRow("recording") << RecordingStatus::recording() << QStringLiteral("Je vous écoute");
        QTest::newRow("transcribing") << RecordingStatus::transcribing() << QStringLiteral("Transcription");
        QTest::newRow("no singular") << RecordingStatus::inserted(1) << QStringLiteral("1 mots insérés");
        QTest::newRow("zero words") << RecordingStatus::inserted(0) << QStringLiteral("0 mots insérés");
        QTest::newRow("large count") << RecordingStatus::inserted(1234567890123)
                                     << QStringLiteral("1234567890123 mots insérés");
        QTest::newRow("message") << RecordingStatus::message(QStringLiteral("Aucun micro disponible."))
                                 << QStringLiteral("Aucun micro disponible.");
    }

    void labels()
    {
        QFETCH(RecordingStatus, status);
        QFETCH(QString, label);
        QCOMPARE(status.label(), label);
    }

    void equalityComparesCaseAndPayload_data()
    {
        QTest::addColumn<RecordingStatus>("a");
        QTest::addColumn<RecordingStatus>("b");
        QTest::addColumn<bool>("equal");

        const auto preparing = [](const char* text) {
            return RecordingStatus::preparing(QString::fromUtf8(text));
        };
        const auto message = [](const char* text) {
            return RecordingStatus::message(QString::fromUtf8(text));
        };
        QTest::newRow("recording") << RecordingStatus::recording() << RecordingStatus::recording() << true;
        QTest::newRow("preparing, other text") << preparing("a") << preparing("b") << false;
        QTest::newRow("preparing, same text") << preparing("a") << preparing("a") << true;
        QTest::newRow("message vs preparing, same text") << message("a") << preparing("a") << false;
        QTest::newRow("inserted, other count")
            << RecordingStatus::inserted(2) << RecordingStatus::inserted(3) << false;
        QTest::newRow("idle vs inserted 0")
            << RecordingStatus::idle() << RecordingStatus::inserted(0) << false;
    }

    void equalityComparesCaseAndPayload()
    {
        QFETCH(RecordingStatus, a);
        QFETCH(RecordingStatus, b);
        QFETCH(bool, equal);
        QCOMPARE(a == b, equal);
    }

    void languages()
    {
        QCOMPARE(languageFromRawValue(u"es"), Language::es);
        QCOMPARE(languageFromRawValue(u"FR"), std::nullopt);
        QCOMPARE(languageFromRawValue(u"fr-FR"), std::nullopt);
        QCOMPARE(languageFromRawValue(u""), std::nullopt);
        QStringList shown;
        for (Language language : allLanguages)
            shown << rawValue(language) + QLatin1Char('/') + localeIdentifier(language) + QLatin1Char('/') +
                         displayName(language);
        QCOMPARE(shown, QStringList({QStringLiteral("fr/fr-FR/Français"), QStringLiteral("es/es-ES/Español"),
                                     QStringLiteral("en/en-US/English")}));
    }
};

QTEST_GUILESS_MAIN(TestRecordingStatus)
#include "tst_recordingstatus.moc"
