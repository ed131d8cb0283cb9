// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/KeyCombo.h"
#include "platform/KeyCodes.h"
#include "platform/KeyboardLayout.h"
#include "store/JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <linux/input-event-codes.h>

using namespace parlune;
using namespace parlune::ModifierFlag;

namespace {

QByteArray encoded(const KeyCombo& combo)
{
    JsonWriter writer;
    combo.writeJson(writer);
    return writer.bytes();
}

std::optional<KeyCombo> decoded(const QByteArray& json)
{
    // Wrapped in an array so that values other than objects can be tried too.
    const QJsonDocument document = QJsonDocument::fromJson("[" + json + "]");
    return KeyCombo::fromJson(document.array().at(0));
}

} // namespace

class KeyComboTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Labels come from the layout named by the environment: no X server is asked.
    void initTestCase() { qunsetenv("DISPLAY"); }
    void init() { qputenv("XKB_DEFAULT_LAYOUT", "us"); }

    void labels_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<quint64>("modifiers");
        QTest::addColumn<bool>("isModifierKey");
        QTest::addColumn<QString>("label");

        QTest::newRow("default fn") << 63 << quint64(0) << true << "fn";
        QTest::newRow("right Command") << 54 << quint64(0) << true << "⌘ droite";
        QTest::newRow("left Option") << 58 << quint64(0) << true << "⌥ gauche";
        QTest::newRow("Caps Lock alone") << 57 << quint64(0) << true << "?";
        QTest::newRow("held bits ignored") << 62 << (control | shift) << true << "⌃ droite";
        QTest::newRow("no modifier") << 49 << quint64(0) << false << "Espace";
        QTest::newRow("control option space") << 49 << (control | option) << false << "⌃⌥Espace";
        QTest::newRow("fixed order") << 0 << (command | shift | control) << false << "⌃⇧⌘A";
        QTest::newRow("all five") << 49 << relevantMask << false << "⌃⌥⇧⌘fn Espace";
        QTest::newRow("other bits ignored") << 0 << (0x10000 | 0x100 | control) << false << "⌃A";
    }
    void labels()
    {
        QFETCH(int, keyCode);
        QFETCH(quint64, modifiers);
        QFETCH(bool, isModifierKey);
        QFETCH(QString, label);
        QCOMPARE((KeyCombo{quint16(keyCode), modifiers, isModifierKey}.displayString()), label);
    }

    void keyNamesFollowTheLayout_data()
    {
        QTest::addColumn<QByteArray>("layout");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<QString>("name");

        // Rows alternate layouts: each name must come from the layout current at that moment.
        QTest::newRow("us Q") << QByteArray("us") << 12 << "Q";
        QTest::newRow("fr A where us has Q") << QByteArray("fr") << 12 << "A";
        QTest::newRow("us A") << QByteArray("us") << 0 << "A";
        QTest::newRow("fr Q where us has A") << QByteArray("fr") << 0 << "Q";
        QTest::newRow("fr M beside L") << QByteArray("fr") << 41 << "M";
        QTest::newRow("fr digit 1 types &") << QByteArray("fr") << 18 << "&";
        QTest::newRow("fr digit 2 types é") << QByteArray("fr") << 19 << "É";
        QTest::newRow("fr digit 3 types quote") << QByteArray("fr") << 20 << "\"";
        QTest::newRow("fr dead circumflex") << QByteArray("fr") << 33 << "^";
        QTest::newRow("de sharp s in capitals") << QByteArray("de") << 27 << "SS";
        QTest::newRow("tr i, not the Turkish capital") << QByteArray("tr") << 39 << "I";
        QTest::newRow("space in any layout") << QByteArray("fr") << 49 << "Espace";
        QTest::newRow("F4") << QByteArray("us") << 118 << "F4";
        QTest::newRow("down arrow") << QByteArray("us") << 125 << "↓";
        QTest::newRow("home types nothing") << QByteArray("us") << 115 << "Touche 115";
        QTest::newRow("code of no key") << QByteArray("us") << 52 << "Touche 52";
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

    void charactersWithNoModifier_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<QString>("character"); // empty: none

        QTest::newRow("lower case") << "us"
                                    << "" << 12 << "q";
        QTest::newRow("variant") << "fr"
                                 << "bepo" << 12 << "b";
        QTest::newRow("return") << "us"
                                << "" << 36 << "";
        QTest::newRow("delete") << "us"
                                << "" << 117 << "";
        QTest::newRow("space") << "us"
                               << "" << 49 << "";
        QTest::newRow("F1") << "fr"
                            << "" << 122 << "";
    }
    void charactersWithNoModifier()
    {
        QFETCH(QString, layout);
        QFETCH(QString, variant);
        QFETCH(int, keyCode);
        QFETCH(QString, character);
        const auto keyboard = KeyboardLayout::fromName(layout, variant);
        QVERIFY(keyboard);
        QCOMPARE(keyboard->character(quint16(keyCode)).value_or(QString()), character);
    }

    void unknownLayoutCompilesNothing()
    {
        QVERIFY(!KeyboardLayout::fromName(QStringLiteral("zz")));
        QVERIFY(!KeyboardLayout::fromName(QStringLiteral("fr"), QStringLiteral("nosuchvariant")));
    }

    void modifierKeys_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<quint64>("flag"); // 0: not a modifier key

        QTest::newRow("right Command") << 54 << command;
        QTest::newRow("left Shift") << 56 << shift;
        QTest::newRow("Caps Lock") << 57 << quint64(0);
        QTest::newRow("left Option") << 58 << option;
        QTest::newRow("right Control") << 62 << control;
        QTest::newRow("fn") << 63 << function;
        QTest::newRow("escape below") << 53 << quint64(0);
        QTest::newRow("F17 above") << 64 << quint64(0);
    }
    void modifierKeys()
    {
        QFETCH(int, keyCode);
        QFETCH(quint64, flag);
        QCOMPARE(KeyCombo::modifierFlag(quint16(keyCode)).value_or(0), flag);
        QCOMPARE(KeyCombo::isModifierKeyCode(quint16(keyCode)), flag != 0);
    }

    void encodesByteForByteAndReadsBack()
    {
        const KeyCombo controlOptionSpace{49, control | option, false};
        QCOMPARE(encoded(KeyCombo::defaultCombo()),
                 QByteArray(R"({"keyCode":63,"modifiers":0,"isModifierKey":true})"));
        QCOMPARE(encoded(controlOptionSpace),
                 QByteArray(R"({"keyCode":49,"modifiers":786432,"isModifierKey":false})"));
        QVERIFY(decoded(encoded(KeyCombo::defaultCombo())) == KeyCombo::defaultCombo());
        QVERIFY(decoded(encoded(controlOptionSpace)) == controlOptionSpace);
    }

    void decodingAccepts_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<quint64>("modifiers");
        QTest::addColumn<bool>("isModifierKey");

        QTest::newRow("written order")
            << QByteArray(R"({"keyCode":0,"modifiers":1114368,"isModifierKey":false})") << 0
            << quint64(0x110100) << false;
        QTest::newRow("any order") << QByteArray(R"({"isModifierKey":false,"modifiers":262144,"keyCode":49})")
                                   << 49 << control << false;
        QTest::newRow("extra members")
            << QByteArray(R"({"keyCode":62,"label":"x","modifiers":0,"isModifierKey":true,"more":[1]})") << 62
            << quint64(0) << true;
        QTest::newRow("largest key code")
            << QByteArray(R"({"keyCode":65535,"modifiers":4294967296,"isModifierKey":false})") << 65535
            << (quint64(1) << 32) << false;
    }
    void decodingAccepts()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, keyCode);
        QFETCH(quint64, modifiers);
        QFETCH(bool, isModifierKey);
        const auto combo = decoded(json);
        QVERIFY(combo);
        QVERIFY((*combo == KeyCombo{quint16(keyCode), modifiers, isModifierKey}));
    }

    void decodingFails_data()
    {
        QTest::addColumn<QByteArray>("json");

        QTest::newRow("missing keyCode") << QByteArray(R"({"modifiers":0,"isModifierKey":true})");
        QTest::newRow("missing modifiers") << QByteArray(R"({"keyCode":63,"isModifierKey":true})");
        QTest::newRow("missing isModifierKey") << QByteArray(R"({"keyCode":49,"modifiers":0})");
        QTest::newRow("keyCode as text")
            << QByteArray(R"({"keyCode":"49","modifiers":0,"isModifierKey":false})");
        QTest::newRow("modifiers null")
            << QByteArray(R"({"keyCode":49,"modifiers":null,"isModifierKey":false})");
        QTest::newRow("isModifierKey as number")
            << QByteArray(R"({"keyCode":63,"modifiers":0,"isModifierKey":1})");
        QTest::newRow("keyCode 65536")
            << QByteArray(R"({"keyCode":65536,"modifiers":0,"isModifierKey":false})");
        QTest::newRow("negative keyCode")
            << QByteArray(R"({"keyCode":-1,"modifiers":0,"isModifierKey":false})");
        QTest::newRow("fractional keyCode")
            << QByteArray(R"({"keyCode":49.5,"modifiers":0,"isModifierKey":false})");
        QTest::newRow("negative modifiers")
            << QByteArray(R"({"keyCode":49,"modifiers":-1,"isModifierKey":false})");
        QTest::newRow("modifiers of 2^64")
            << QByteArray(R"({"keyCode":49,"modifiers":18446744073709551616,"isModifierKey":false})");
        QTest::newRow("modifiers 1e300")
            << QByteArray(R"({"keyCode":49,"modifiers":1e300,"isModifierKey":false})");
        QTest::newRow("array") << QByteArray(R"([63,0,true])");
    }
    void decodingFails()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!decoded(json));
    }

    void keyCodesTranslateBothWays()
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
    }

    void modifierKeysMapToTheirEvdevKeys_data()
    {
        QTest::addColumn<int>("virtualCode");
        QTest::addColumn<uint>("evdev");

        QTest::newRow("right Command") << 54 << uint(KEY_RIGHTMETA);
        QTest::newRow("left Command") << 55 << uint(KEY_LEFTMETA);
        QTest::newRow("left Shift") << 56 << uint(KEY_LEFTSHIFT);
        QTest::newRow("Caps Lock") << 57 << uint(KEY_CAPSLOCK);
        QTest::newRow("left Option") << 58 << uint(KEY_LEFTALT);
        QTest::newRow("left Control") << 59 << uint(KEY_LEFTCTRL);
        QTest::newRow("right Shift") << 60 << uint(KEY_RIGHTSHIFT);
        QTest::newRow("right Option") << 61 << uint(KEY_RIGHTALT);
        QTest::newRow("right Control") << 62 << uint(KEY_RIGHTCTRL);
        QTest::newRow("fn") << 63 << uint(KEY_FN);
    }
    void modifierKeysMapToTheirEvdevKeys()
    {
        QFETCH(int, virtualCode);
        QFETCH(uint, evdev);
        QCOMPARE(KeyCodes::evdevForVirtual(quint16(virtualCode)).value_or(0), evdev);
    }

    void x11CodesFitInOneByte()
    {
        QCOMPARE(KeyCodes::x11ForVirtual(62).value_or(0), quint32(KEY_RIGHTCTRL + 8));
        QCOMPARE(KeyCodes::virtualForX11(KEY_RIGHTCTRL + 8).value_or(0), quint16(62));
        // fn exists for the kernel but no X client can be told of it.
        QVERIFY(!KeyCodes::x11ForVirtual(63));
    }
};

QTEST_GUILESS_MAIN(KeyComboTest)
#include "tst_keycombo.moc"
