// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/KeyCombo.h"
#include "platform/KeyCodes.h"
#include "platform/KeyboardLayout.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <linux/input-event-codes.h>

using namespace parlune;
using namespace parlune::ModifierFlag;

using MaybeCombo = std::optional<KeyCombo>;
Q_DECLARE_METATYPE(MaybeCombo)

class KeyComboTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Labels come from the layout named by the environment: no X server is asked.
    void initTestCase() { qunsetenv("DISPLAY"); }
    void init() { qputenv("XKB_DEFAULT_LAYOUT", "us"); }

    void labels_data()
    {
        QTest::addColumn<KeyCombo>("combo");
        QTest::addColumn<QString>("label");
        QTest::newRow("default fn") << KeyCombo{} << "fn";
        QTest::newRow("right Command") << KeyCombo{54, 0, true} << "⌘ droite";
        QTest::newRow("left Option, held bits ignored") << KeyCombo{58, control | shift, true} << "⌥ gauche";
        QTest::newRow("Caps Lock alone") << KeyCombo{57, 0, true} << "?";
        QTest::newRow("no modifier") << KeyCombo{49, 0, false} << "Espace";
        QTest::newRow("fixed order") << KeyCombo{0, command | shift | control, false} << "⌃⇧⌘A";
        QTest::newRow("all five") << KeyCombo{49, relevantMask, false} << "⌃⌥⇧⌘fn Espace";
        QTest::newRow("other bits ignored") << KeyCombo{0, 0x10000 | 0x100 | option, false} << "⌥A";
    }
    void labels()
    {
        QFETCH(KeyCombo, combo);
        QFETCH(QString, label);
        QCOMPARE(combo.displayString(), label);
    }

    void keyNamesFollowTheLayout_data()
    {
        QTest::addColumn<QByteArray>("layout");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<QString>("name");
        // Rows alternate layouts: each name must come from the layout current at that moment.
        QTest::newRow("us Q") << QByteArray("us") << 12 << "Q";
        QTest::newRow("fr A where us has Q") << QByteArray("fr") << 12 << "A";
        QTest::newRow("fr digit 2 types é") << QByteArray("fr") << 19 << "É";
        QTest::newRow("fr dead circumflex") << QByteArray("fr") << 33 << "^";
        QTest::newRow("de sharp s in capitals") << QByteArray("de") << 27 << "SS";
        QTest::newRow("tr i, not the Turkish capital") << QByteArray("tr") << 39 << "I";
        QTest::newRow("home types nothing") << QByteArray("us") << 115 << "Touche 115";
        QTest::newRow("unknown layout") << QByteArray("zz") << 12 << "Touche 12";
    }
    void keyNamesFollowTheLayout()
    {
        QFETCH(QByteArray, layout);
        QFETCH(int, keyCode);
        QFETCH(QString, name);
        qputenv("XKB_DEFAULT_LAYOUT", layout);
        QCOMPARE(KeyCombo::keyName(quint16(keyCode)), name);
    }

    void charactersWithNoModifier()
    {
        QCOMPARE(KeyboardLayout::fromName(QStringLiteral("fr"), QStringLiteral("bepo"))->character(12),
                 QStringLiteral("b"));
        QCOMPARE(KeyboardLayout::fromName(QStringLiteral("us"))->character(36), std::nullopt); // Return
        QVERIFY(!KeyboardLayout::fromName(QStringLiteral("fr"), QStringLiteral("nosuchvariant")));
    }

    // The byte form, and a shortcut that is not an object, are checked with the settings file.
    void readingFromJson_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<MaybeCombo>("expected");
        QTest::newRow("largest values") << QByteArray(R"("keyCode":65535,"modifiers":4294967296)")
                                        << MaybeCombo(KeyCombo{65535, quint64(1) << 32, false});
        QTest::newRow("keyCode 65536") << QByteArray(R"("keyCode":65536,"modifiers":0)") << MaybeCombo();
        QTest::newRow("negative keyCode") << QByteArray(R"("keyCode":-1,"modifiers":0)") << MaybeCombo();
        QTest::newRow("fractional keyCode") << QByteArray(R"("keyCode":49.5,"modifiers":0)") << MaybeCombo();
        QTest::newRow("negative modifiers") << QByteArray(R"("keyCode":49,"modifiers":-1)") << MaybeCombo();
        QTest::newRow("modifiers of 2^64")
            << QByteArray(R"("keyCode":49,"modifiers":18446744073709551616)") << MaybeCombo();
        QTest::newRow("modifiers missing") << QByteArray(R"("keyCode":49)") << MaybeCombo();
    }
    void readingFromJson()
    {
        QFETCH(QByteArray, json);
        QFETCH(MaybeCombo, expected);
        const auto document = QJsonDocument::fromJson("{" + json + R"(,"isModifierKey":false})");
        QVERIFY(KeyCombo::fromJson(document.object()) == expected);
    }

    void keyCodesTranslateBothWaysAndModifierKeysHoldTheirFlags()
    {
        int translated = 0;
        for (int virtualCode = 0; virtualCode <= 0xFFFF; ++virtualCode) {
            if (const auto evdev = KeyCodes::evdevForVirtual(quint16(virtualCode))) {
                ++translated;
                QCOMPARE(KeyCodes::virtualForEvdev(*evdev).value_or(0xFFFF), virtualCode);
            }
        }
        // Every key of a full-size keyboard, the keypad and F1 to F20 included.
        QVERIFY(translated >= 110);
        // The modifier keys: left and right stay apart; Caps Lock holds no shortcut flag.
        const std::tuple<quint16, quint32, quint64> modifiers[] = {
            {54, KEY_RIGHTMETA, command}, {55, KEY_LEFTMETA, command}, {56, KEY_LEFTSHIFT, shift},
            {57, KEY_CAPSLOCK, 0},        {58, KEY_LEFTALT, option},   {59, KEY_LEFTCTRL, control},
            {60, KEY_RIGHTSHIFT, shift},  {61, KEY_RIGHTALT, option},  {62, KEY_RIGHTCTRL, control},
            {63, KEY_FN, function}};
        for (const auto& [virtualCode, evdev, flag] : modifiers) {
            QCOMPARE(KeyCodes::evdevForVirtual(virtualCode).value_or(0), evdev);
            QCOMPARE(KeyCombo::modifierFlag(virtualCode).value_or(0), flag);
            QCOMPARE(KeyCombo::isModifierKeyCode(virtualCode), flag != 0);
        }
        QVERIFY(!KeyCombo::isModifierKeyCode(53) && !KeyCombo::isModifierKeyCode(64));
        QCOMPARE(KeyCodes::x11ForVirtual(62).value_or(0), quint32(KEY_RIGHTCTRL + 8));
        QCOMPARE(KeyCodes::virtualForX11(KEY_RIGHTCTRL + 8).value_or(0), quint16(62));
        // fn exists for the kernel but no X client can be told of it.
        QVERIFY(!KeyCodes::x11ForVirtual(63));
    }
};

QTEST_GUILESS_MAIN(KeyComboTest)
#include "tst_keycombo.moc"
