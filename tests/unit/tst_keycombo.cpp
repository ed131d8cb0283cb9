// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/KeyCombo.h"
#include "platform/KeyCodes.h"
#include "platform/KeyboardLayout.h"
#include "store/JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QTest>

#include <linux/input-event-codes.h>

using namespace parlune;

namespace {

// Labels are computed from the layout named by the environment: no X server is asked.
void useLayout(const char* layout, const char* variant = "")
{
    qputenv("XKB_DEFAULT_LAYOUT", layout);
    qputenv("XKB_DEFAULT_VARIANT", variant);
}

QByteArray encoded(const KeyCombo& combo)
{
    JsonWriter writer;
    combo.writeJson(writer);
    return writer.bytes();
}

std::optional<KeyCombo> decoded(const QByteArray& json)
{
    // Wrapped in an array so that a bare number or null can be tried too.
    const QJsonDocument document = QJsonDocument::fromJson("[" + json + "]");
    if (!document.isArray())
        return std::nullopt;
    return KeyCombo::fromJson(document.array().at(0));
}

} // namespace

class KeyComboTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qunsetenv("DISPLAY"); }
    void init() { useLayout("us"); }

    void labels_data();
    void labels();
    void keyNamesFollowTheLayout_data();
    void keyNamesFollowTheLayout();
    void charactersWithNoModifier_data();
    void charactersWithNoModifier();
    void unknownLayoutCompilesNothing();
    void modifierKeys_data();
    void modifierKeys();

    void defaultEncodesByteForByte();
    void jsonRoundTrip_data();
    void jsonRoundTrip();
    void decodingAccepts_data();
    void decodingAccepts();
    void decodingFails_data();
    void decodingFails();

    void keyCodesTranslateBothWays();
    void modifierKeysMapToTheirEvdevKeys_data();
    void modifierKeysMapToTheirEvdevKeys();
    void x11CodesStayWithinOneByte();
};

void KeyComboTest::labels_data()
{
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<quint64>("modifiers");
    QTest::addColumn<bool>("isModifierKey");
    QTest::addColumn<QString>("label");

    using namespace ModifierFlag;
    QTest::newRow("default fn") << 63 << quint64(0) << true << "fn";
    QTest::newRow("right Command") << 54 << quint64(0) << true << "⌘ droite";
    QTest::newRow("left Command") << 55 << quint64(0) << true << "⌘ gauche";
    QTest::newRow("left Shift") << 56 << quint64(0) << true << "⇧ gauche";
    QTest::newRow("left Option") << 58 << quint64(0) << true << "⌥ gauche";
    QTest::newRow("left Control") << 59 << quint64(0) << true << "⌃ gauche";
    QTest::newRow("right Shift") << 60 << quint64(0) << true << "⇧ droite";
    QTest::newRow("right Option") << 61 << quint64(0) << true << "⌥ droite";
    QTest::newRow("right Control") << 62 << quint64(0) << true << "⌃ droite";
    QTest::newRow("Caps Lock alone") << 57 << quint64(0) << true << "?";
    QTest::newRow("letter alone") << 0 << quint64(0) << true << "?";
    QTest::newRow("held modifier bits ignored") << 62 << (control | shift) << true << "⌃ droite";

    QTest::newRow("no modifier") << 49 << quint64(0) << false << "Espace";
    QTest::newRow("control option space") << 49 << (control | option) << false << "⌃⌥Espace";
    QTest::newRow("fixed order") << 0 << (command | shift | control) << false << "⌃⇧⌘A";
    QTest::newRow("all five") << 49 << relevantMask << false << "⌃⌥⇧⌘fn Espace";
    QTest::newRow("fn then key") << 96 << function << false << "fn F5";
    QTest::newRow("caps lock and device bits ignored")
        << 0 << (quint64(0x10000) | 0x100 | control) << false << "⌃A";
    QTest::newRow("modifier key as ordinary key") << 63 << option << false << "⌥Touche 63";
}

void KeyComboTest::labels()
{
    QFETCH(int, keyCode);
    QFETCH(quint64, modifiers);
    QFETCH(bool, isModifierKey);
    QFETCH(QString, label);
    QCOMPARE((KeyCombo{quint16(keyCode), modifiers, isModifierKey}.displayString()), label);
}

void KeyComboTest::keyNamesFollowTheLayout_data()
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
    QTest::newRow("fr comma where us has M") << QByteArray("fr") << 46 << ",";
    QTest::newRow("fr digit 1 types &") << QByteArray("fr") << 18 << "&";
    QTest::newRow("fr digit 2 types é") << QByteArray("fr") << 19 << "É";
    QTest::newRow("fr digit 3 types quote") << QByteArray("fr") << 20 << "\"";
    QTest::newRow("fr digit 4 types apostrophe") << QByteArray("fr") << 21 << "'";
    QTest::newRow("fr digit 5 types (") << QByteArray("fr") << 23 << "(";
    QTest::newRow("fr digit 0 types à") << QByteArray("fr") << 29 << "À";
    QTest::newRow("fr dead circumflex") << QByteArray("fr") << 33 << "^";
    QTest::newRow("fr superscript two") << QByteArray("fr") << 50 << "²";
    QTest::newRow("de sharp s in full capitals") << QByteArray("de") << 27 << "SS";
    QTest::newRow("de Z where us has Y") << QByteArray("de") << 16 << "Z";
    QTest::newRow("tr i without the Turkish capital") << QByteArray("tr") << 39 << "I";
    QTest::newRow("space in any layout") << QByteArray("fr") << 49 << "Espace";
    QTest::newRow("return in any layout") << QByteArray("de") << 36 << "↩";
    QTest::newRow("F3") << QByteArray("us") << 99 << "F3";
    QTest::newRow("F4") << QByteArray("us") << 118 << "F4";
    QTest::newRow("F13") << QByteArray("us") << 105 << "F13";
    QTest::newRow("down arrow") << QByteArray("us") << 125 << "↓";
    QTest::newRow("up arrow") << QByteArray("us") << 126 << "↑";
    QTest::newRow("forward delete") << QByteArray("us") << 117 << "⌦";
    QTest::newRow("home types nothing") << QByteArray("us") << 115 << "Touche 115";
    QTest::newRow("menu key types nothing") << QByteArray("fr") << 110 << "Touche 110";
    QTest::newRow("code with no key") << QByteArray("us") << 52 << "Touche 52";
    QTest::newRow("largest code") << QByteArray("us") << 65535 << "Touche 65535";
    QTest::newRow("unknown layout") << QByteArray("zz") << 12 << "Touche 12";
}

void KeyComboTest::keyNamesFollowTheLayout()
{
    QFETCH(QByteArray, layout);
    QFETCH(int, keyCode);
    QFETCH(QString, name);
    useLayout(layout.constData());
    QCOMPARE(KeyCombo::keyName(quint16(keyCode)), name);
}

void KeyComboTest::charactersWithNoModifier_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("variant");
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<QString>("character"); // empty: none

    QTest::newRow("us lower case") << "us"
                                   << "" << 12 << "q";
    QTest::newRow("fr lower case") << "fr"
                                   << "" << 12 << "a";
    QTest::newRow("fr variant bepo") << "fr"
                                     << "bepo" << 12 << "b";
    QTest::newRow("first of two layouts") << "us,fr"
                                          << "" << 12 << "q";
    QTest::newRow("return is a control character") << "us"
                                                   << "" << 36 << "";
    QTest::newRow("tab is a control character") << "us"
                                                << "" << 48 << "";
    QTest::newRow("delete is a control character") << "us"
                                                   << "" << 117 << "";
    QTest::newRow("space is not printable") << "us"
                                            << "" << 49 << "";
    QTest::newRow("F1 types nothing") << "fr"
                                      << "" << 122 << "";
    QTest::newRow("Caps Lock types nothing") << "fr"
                                             << "" << 57 << "";
}

void KeyComboTest::charactersWithNoModifier()
{
    QFETCH(QString, layout);
    QFETCH(QString, variant);
    QFETCH(int, keyCode);
    QFETCH(QString, character);
    const auto keyboard = KeyboardLayout::fromName(layout, variant);
    QVERIFY(keyboard);
    QCOMPARE(keyboard->character(quint16(keyCode)).value_or(QString()), character);
}

void KeyComboTest::unknownLayoutCompilesNothing()
{
    QVERIFY(!KeyboardLayout::fromName(QStringLiteral("zz")));
    QVERIFY(!KeyboardLayout::fromName(QStringLiteral("fr"), QStringLiteral("nosuchvariant")));
    QVERIFY(!KeyboardLayout::fromName(QString()));
}

void KeyComboTest::modifierKeys_data()
{
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<quint64>("flag"); // 0: not a modifier key

    using namespace ModifierFlag;
    QTest::newRow("right Command") << 54 << command;
    QTest::newRow("left Command") << 55 << command;
    QTest::newRow("left Shift") << 56 << shift;
    QTest::newRow("Caps Lock") << 57 << quint64(0);
    QTest::newRow("left Option") << 58 << option;
    QTest::newRow("left Control") << 59 << control;
    QTest::newRow("right Shift") << 60 << shift;
    QTest::newRow("right Option") << 61 << option;
    QTest::newRow("right Control") << 62 << control;
    QTest::newRow("fn") << 63 << function;
    QTest::newRow("escape below") << 53 << quint64(0);
    QTest::newRow("F17 above") << 64 << quint64(0);
    QTest::newRow("letter") << 0 << quint64(0);
}

void KeyComboTest::modifierKeys()
{
    QFETCH(int, keyCode);
    QFETCH(quint64, flag);
    QCOMPARE(KeyCombo::modifierFlag(quint16(keyCode)).value_or(0), flag);
    QCOMPARE(KeyCombo::isModifierKeyCode(quint16(keyCode)), flag != 0);
}

void KeyComboTest::defaultEncodesByteForByte()
{
    QCOMPARE(encoded(KeyCombo::defaultCombo()),
             QByteArray(R"({"keyCode":63,"modifiers":0,"isModifierKey":true})"));
    QCOMPARE(KeyCombo::defaultCombo().displayString(), QStringLiteral("fn"));
}

void KeyComboTest::jsonRoundTrip_data()
{
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<quint64>("modifiers");
    QTest::addColumn<bool>("isModifierKey");
    QTest::addColumn<QByteArray>("json");

    using namespace ModifierFlag;
    QTest::newRow("default") << 63 << quint64(0) << true
                             << QByteArray(R"({"keyCode":63,"modifiers":0,"isModifierKey":true})");
    QTest::newRow("control option space")
        << 49 << quint64(control | option) << false
        << QByteArray(R"({"keyCode":49,"modifiers":786432,"isModifierKey":false})");
    QTest::newRow("right Control") << 62 << quint64(0) << true
                                   << QByteArray(R"({"keyCode":62,"modifiers":0,"isModifierKey":true})");
    QTest::newRow("bits outside the mask kept")
        << 0 << quint64(0x10000 | 0x100 | command) << false
        << QByteArray(R"({"keyCode":0,"modifiers":1114368,"isModifierKey":false})");
    QTest::newRow("largest key code")
        << 65535 << quint64(0) << false
        << QByteArray(R"({"keyCode":65535,"modifiers":0,"isModifierKey":false})");
}

void KeyComboTest::jsonRoundTrip()
{
    QFETCH(int, keyCode);
    QFETCH(quint64, modifiers);
    QFETCH(bool, isModifierKey);
    QFETCH(QByteArray, json);
    const KeyCombo combo{quint16(keyCode), modifiers, isModifierKey};
    QCOMPARE(encoded(combo), json);
    const auto back = decoded(json);
    QVERIFY(back);
    QVERIFY(*back == combo);
}

void KeyComboTest::decodingAccepts_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<quint64>("modifiers");
    QTest::addColumn<bool>("isModifierKey");

    QTest::newRow("any order") << QByteArray(R"({"isModifierKey":false,"modifiers":262144,"keyCode":49})")
                               << 49 << quint64(ModifierFlag::control) << false;
    QTest::newRow("extra members ignored")
        << QByteArray(R"({"keyCode":62,"label":"x","modifiers":0,"isModifierKey":true,"more":[1]})") << 62
        << quint64(0) << true;
    QTest::newRow("key code zero") << QByteArray(R"({"keyCode":0,"modifiers":0,"isModifierKey":false})") << 0
                                   << quint64(0) << false;
    QTest::newRow("whole number written with a fraction")
        << QByteArray(R"({"keyCode":49.0,"modifiers":0,"isModifierKey":false})") << 49 << quint64(0) << false;
    QTest::newRow("modifiers beyond 32 bits")
        << QByteArray(R"({"keyCode":49,"modifiers":4294967296,"isModifierKey":false})") << 49
        << quint64(quint64(1) << 32) << false;
}

void KeyComboTest::decodingAccepts()
{
    QFETCH(QByteArray, json);
    QFETCH(int, keyCode);
    QFETCH(quint64, modifiers);
    QFETCH(bool, isModifierKey);
    const KeyCombo combo{quint16(keyCode), modifiers, isModifierKey};
    const auto result = decoded(json);
    QVERIFY(result);
    QVERIFY(*result == combo);
}

void KeyComboTest::decodingFails_data()
{
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("missing keyCode") << QByteArray(R"({"modifiers":0,"isModifierKey":true})");
    QTest::newRow("missing modifiers") << QByteArray(R"({"keyCode":63,"isModifierKey":true})");
    QTest::newRow("missing isModifierKey") << QByteArray(R"({"keyCode":49,"modifiers":0})");
    QTest::newRow("keyCode as text") << QByteArray(R"({"keyCode":"49","modifiers":0,"isModifierKey":false})");
    QTest::newRow("modifiers as boolean")
        << QByteArray(R"({"keyCode":49,"modifiers":true,"isModifierKey":false})");
    QTest::newRow("modifiers null") << QByteArray(R"({"keyCode":49,"modifiers":null,"isModifierKey":false})");
    QTest::newRow("isModifierKey as number")
        << QByteArray(R"({"keyCode":63,"modifiers":0,"isModifierKey":1})");
    QTest::newRow("keyCode 65536") << QByteArray(R"({"keyCode":65536,"modifiers":0,"isModifierKey":false})");
    QTest::newRow("negative keyCode") << QByteArray(R"({"keyCode":-1,"modifiers":0,"isModifierKey":false})");
    QTest::newRow("fractional keyCode")
        << QByteArray(R"({"keyCode":49.5,"modifiers":0,"isModifierKey":false})");
    QTest::newRow("negative modifiers")
        << QByteArray(R"({"keyCode":49,"modifiers":-262144,"isModifierKey":false})");
    QTest::newRow("fractional modifiers")
        << QByteArray(R"({"keyCode":49,"modifiers":0.5,"isModifierKey":false})");
    QTest::newRow("modifiers of 2^64")
        << QByteArray(R"({"keyCode":49,"modifiers":18446744073709551616,"isModifierKey":false})");
    QTest::newRow("modifiers 1e300") << QByteArray(
        R"({"keyCode":49,"modifiers":1e300,"isModifierKey":false})");
    QTest::newRow("array") << QByteArray(R"([63,0,true])");
    QTest::newRow("null") << QByteArray("null");
    QTest::newRow("number") << QByteArray("63");
}

void KeyComboTest::decodingFails()
{
    QFETCH(QByteArray, json);
    QVERIFY(!decoded(json));
}

void KeyComboTest::keyCodesTranslateBothWays()
{
    int translated = 0;
    for (int virtualCode = 0; virtualCode <= 0xFFFF; ++virtualCode) {
        const auto evdev = KeyCodes::evdevForVirtual(quint16(virtualCode));
        if (!evdev)
            continue;
        ++translated;
        QCOMPARE(KeyCodes::virtualForEvdev(*evdev).value_or(0xFFFF), virtualCode);
    }
    // Every key of a full-size keyboard, the keypad and F1 to F20 included.
    QVERIFY2(translated >= 110, qPrintable(QString::number(translated)));
}

void KeyComboTest::modifierKeysMapToTheirEvdevKeys_data()
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
    QTest::newRow("space") << 49 << uint(KEY_SPACE);
    QTest::newRow("escape") << 53 << uint(KEY_ESC);
}

void KeyComboTest::modifierKeysMapToTheirEvdevKeys()
{
    QFETCH(int, virtualCode);
    QFETCH(uint, evdev);
    QCOMPARE(KeyCodes::evdevForVirtual(quint16(virtualCode)).value_or(0), evdev);
}

void KeyComboTest::x11CodesStayWithinOneByte()
{
    QCOMPARE(KeyCodes::x11ForVirtual(62).value_or(0), quint32(KEY_RIGHTCTRL + 8));
    QCOMPARE(KeyCodes::virtualForX11(KEY_RIGHTCTRL + 8).value_or(0), quint16(62));
    // fn exists for the kernel but cannot be told to an X client.
    QVERIFY(!KeyCodes::x11ForVirtual(63));
    QVERIFY(!KeyCodes::virtualForX11(3));
}

QTEST_GUILESS_MAIN(KeyComboTest)
#include "tst_keycombo.moc"
