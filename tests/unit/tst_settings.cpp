// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFiles.h"
#include "store/AppSettingsStore.h"

#include <QTemporaryDir>
#include <QTest>

using namespace parlune;
using namespace parlune::test;

using MaybeSettings = std::optional<AppSettings>;
Q_DECLARE_METATYPE(MaybeSettings)

namespace {

const QByteArray defaultFile =
    R"({"language":"fr","shortcut":{"keyCode":63,"modifiers":0,"isModifierKey":true},"launchAtLogin":false,)"
    R"("muteWhileRecording":false,"onboardingDone":false,"soundsEnabled":true})";

// Control and Option held with the space bar.
const KeyCombo controlOptionSpace{49, ModifierFlag::control | ModifierFlag::option, false};

AppSettings customSettings()
{
    return {Language::es, controlOptionSpace, true, true, true, false};
}

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_dir.path().toUtf8()); }

    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("Parlune/settings.json"));
        QDir(m_dir.filePath(QStringLiteral("Parlune"))).removeRecursively();
    }

    void savedFileIsByteExact_data()
    {
        QTest::addColumn<AppSettings>("settings");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("default record") << AppSettings{} << defaultFile;
        QTest::newRow("every member changed")
            << customSettings()
            << QByteArray(
                   R"({"language":"es","shortcut":{"keyCode":49,"modifiers":786432,"isModifierKey":false},)"
                   R"("launchAtLogin":true,"muteWhileRecording":true,"onboardingDone":true,"soundsEnabled":false})");
    }

    void savedFileIsByteExact()
    {
        QFETCH(AppSettings, settings);
        QFETCH(QByteArray, expected);
        // The first save creates the missing folder.
        AppSettingsStore(m_path).save(settings);
        QCOMPARE(readFile(m_path), expected);
        QCOMPARE(AppSettingsStore(m_path).load(), settings);
    }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<MaybeSettings>("expected");

        AppSettings holdCombo;
        holdCombo.shortcut = {49, ModifierFlag::option, false};
        AppSettings spanishQuiet;
        spanishQuiet.language = Language::es;
        spanishQuiet.soundsEnabled = false;
        AppSettings onboardedFrench;
        onboardedFrench.onboardingDone = true;
        onboardedFrench.muteWhileRecording = true;

        QTest::newRow("empty object") << QByteArray("{}") << MaybeSettings(AppSettings{});
        QTest::newRow("members in any order, unknown ones ignored")
            << QByteArray(
                   R"({"soundsEnabled":false,"extra":[1,{"a":null}],"shortcut":{"isModifierKey":false,)"
                   R"("modifiers":786432,"keyCode":49},"onboardingDone":true,"muteWhileRecording":true,)"
                   R"("launchAtLogin":true,"language":"es"})")
            << MaybeSettings(customSettings());
        QTest::newRow("holdCombo alone")
            << QByteArray(R"({"holdCombo":{"keyCode":49,"modifiers":524288,"isModifierKey":false}})")
            << MaybeSettings(holdCombo);
        QTest::newRow("malformed shortcut, valid holdCombo")
            << QByteArray(R"({"shortcut":{"keyCode":"49","modifiers":0,"isModifierKey":false},)"
                          R"("holdCombo":{"keyCode":49,"modifiers":524288,"isModifierKey":false}})")
            << MaybeSettings(holdCombo);
        QTest::newRow("shortcut wins over holdCombo")
            << QByteArray(R"({"holdCombo":{"keyCode":49,"modifiers":524288,"isModifierKey":false},)"
                          R"("shortcut":{"keyCode":63,"modifiers":0,"isModifierKey":true}})")
            << MaybeSettings(AppSettings{});
        QTest::newRow("both shortcuts unreadable")
            << QByteArray(
                   R"({"shortcut":{"keyCode":99999999999999999999999,"modifiers":0,"isModifierKey":false},"holdCombo":[],)"
                   R"("language":"es","soundsEnabled":false})")
            << MaybeSettings(spanishQuiet);
        QTest::newRow("unknown language, other members still read")
            << QByteArray(R"({"language":"de","onboardingDone":true,"muteWhileRecording":true})")
            << MaybeSettings(onboardedFrench);
        QTest::newRow("null switches count as absent")
            << QByteArray(
                   R"({"launchAtLogin":null,"muteWhileRecording":null,"onboardingDone":null,"soundsEnabled":null})")
            << MaybeSettings(AppSettings{});
        QTest::newRow("soundsEnabled as a string")
            << QByteArray(R"({"language":"es","soundsEnabled":"true"})") << MaybeSettings();
        QTest::newRow("launchAtLogin as a number")
            << QByteArray(R"({"language":"es","launchAtLogin":1})") << MaybeSettings();
    }

    void readingRules()
    {
        QFETCH(QByteArray, json);
        QFETCH(MaybeSettings, expected);
        QCOMPARE(AppSettings::fromJson(json), expected);
    }

    void holdComboIsRewrittenAsShortcut()
    {
        writeFile(m_path, R"({"holdCombo":{"keyCode":49,"modifiers":524288,"isModifierKey":false}})");
        const AppSettingsStore store(m_path);
        store.save(store.load());
        const QByteArray saved = readFile(m_path);
        QVERIFY(saved.contains(R"("shortcut":{"keyCode":49,"modifiers":524288,"isModifierKey":false})"));
        QVERIFY(!saved.contains("holdCombo"));
    }

    void damagedFileGivesDefaultsAndStaysUntilSaved_data() { damagedFiles_data(); }

    void damagedFileGivesDefaultsAndStaysUntilSaved()
    {
        QFETCH(Damage, damage);
        QFETCH(QByteArray, content);
        placeDamagedFile(m_path, damage, content);
        const QByteArray before = snapshot(m_path);

        const AppSettingsStore store(m_path);
        QCOMPARE(store.load(), AppSettings{});
        QCOMPARE(snapshot(m_path), before);

        store.save(customSettings());
        // Nothing can replace a folder: the save gives up and leaves it alone.
        if (damage == Damage::folder)
            QCOMPARE(snapshot(m_path), before);
        else
            QCOMPARE(store.load(), customSettings());
        QCOMPARE(hiddenFilesBeside(m_path), QStringList());
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
