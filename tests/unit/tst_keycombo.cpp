// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/KeyCombo.h"

#include <QTest>

using namespace parlune;

class KeyComboTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Labels read the layout named by the environment, never a display's.
        qunsetenv("DISPLAY");
    }

    void labelsSpeakLinux_data()
    {
        QTest::addColumn<QByteArray>("layout");
        QTest::addColumn<KeyCombo>("combo");
        QTest::addColumn<QString>("label");

        const auto row = [](const char* tag, const char* layout, KeyCombo combo, const char* label) {
            QTest::newRow(tag) << QByteArray(layout) << combo << QString::fromUtf8(label);
        };
        using namespace ModifierFlag;
        row("the default", "us", KeyCombo::defaultCombo(), "Ctrl droite");
        row("left Super", "us", {55, 0, true}, "Super gauche");
        row("right Alt", "us", {61, 0, true}, "Alt droite");
        row("right Alt where it is Alt Gr", "fr", {61, 0, true}, "Alt Gr");
        row("fn", "us", {63, 0, true}, "fn");
        // Whatever order the keys were pressed in; bits outside the five are not shown.
        row("every modifier", "us", {53, function | command | shift | option | control | 0x10000, false},
            "Ctrl+Alt+Maj+Super+fn+Échap");
        row("a letter of the layout", "fr", {0, command, false}, "Super+Q");
    }

    void labelsSpeakLinux()
    {
        QFETCH(QByteArray, layout);
        QFETCH(KeyCombo, combo);
        QFETCH(QString, label);
        qputenv("XKB_DEFAULT_LAYOUT", layout);
        QCOMPARE(combo.displayString(), label);
    }
};

QTEST_GUILESS_MAIN(KeyComboTest)
#include "tst_keycombo.moc"
