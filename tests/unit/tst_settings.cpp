// SPDX-License-Identifier: GPL-3.0-or-later
#include "DamagedFile.h"
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

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
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
        QTest::newRow("null shortcut, valid holdCombo")
            << QByteArray(
                   R"({"shortcut":null,"holdCombo":{"keyCode":49,"modifiers":524288,"isModifierKey":false}})")
            << MaybeSettings(holdCombo);
        QTest::newRow("shortcut wins over holdCombo")
            << QByteArray(R"({"holdCombo":{"keyCode":49,"modifiers":524288,"isModifierKey":false},)"
                          R"("shortcut":{"keyCode":63,"modifiers":0,"isModifierKey":true}})")
            << MaybeSettings(AppSettings{});
        QTest::newRow("both shortcuts unreadable, one out of range")
            << QByteArray(
                   R"({"shortcut":{"keyCode":65536,"modifiers":0,"isModifierKey":false},"holdCombo":[],)"
                   R"("language":"es","soundsEnabled":false})")
            << MaybeSettings(spanishQuiet);
        QTest::newRow("shortcut with a huge key code")
            << QByteArray(
                   R"({"shortcut":{"keyCode":99999999999999999999999,"modifiers":0,"isModifierKey":false},)"
                   R"("language":"es","soundsEnabled":false})")
            << MaybeSettings(spanishQuiet);
        QTest::newRow("unknown language, other members still read")
            << QByteArray(R"({"language":"de","onboardingDone":true,"muteWhileRecording":true})")
            << MaybeSettings(onboardedFrench);
        QTest::newRow("language of the wrong type")
            << QByteArray(R"({"language":["es"],"onboardingDone":true,"muteWhileRecording":true})")
            << MaybeSettings(onboardedFrench);
        QTest::newRow("null switches count as absent")
            << QByteArray(
                   R"({"launchAtLogin":null,"muteWhileRecording":null,"onboardingDone":null,"soundsEnabled":null})")
            << MaybeSettings(AppSettings{});
        QTest::newRow("soundsEnabled as a string")
            << QByteArray(R"({"language":"es","soundsEnabled":"true"})") << MaybeSettings();
        QTest::newRow("launchAtLogin as a number")
            << QByteArray(R"({"language":"es","launchAtLogin":1})") << MaybeSettings();
        QTest::newRow("onboardingDone as an object")
            << QByteArray(R"({"onboardingDone":{}})") << MaybeSettings();
        QTest::newRow("array document") << QByteArray(R"([{"language":"es"}])") << MaybeSettings();
        QTest::newRow("null document") << QByteArray("null") << MaybeSettings();
        QTest::newRow("string document") << QByteArray(R"("es")") << MaybeSettings();
        QTest::newRow("truncated") << defaultFile.left(defaultFile.size() - 1) << MaybeSettings();
        QTest::newRow("trailing garbage") << defaultFile + "x" << MaybeSettings();
        QTest::newRow("number too big for a double")
            << QByteArray(R"({"language":"es","x":-1e999})") << MaybeSettings();
        QTest::newRow("invalid UTF-8")
            << QByteArray("{\"language\":\"es\",\"x\":\"\xed\xa0\x80\"}") << MaybeSettings();
    }

    void readingRules()
    {
        QFETCH(QByteArray, json);
        QFETCH(MaybeSettings, expected);
        QCOMPARE(AppSettings::fromJson(json), expected);
    }

    void holdComboIsRewrittenAsShortcut()
    {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"holdCombo":{"keyCode":49,"modifiers":524288,"isModifierKey":false}})");
        file.close();

        const AppSettingsStore store(m_path);
        store.save(store.load());
        QCOMPARE(
            readFile(m_path),
            QByteArray(
                R"({"language":"fr","shortcut":{"keyCode":49,"modifiers":524288,"isModifierKey":false},)"
                R"("launchAtLogin":false,"muteWhileRecording":false,"onboardingDone":false,"soundsEnabled":true})"));
    }

    void damagedFileGivesDefaultsAndStaysUntilSaved_data() { damagedFiles_data(); }

    void damagedFileGivesDefaultsAndStaysUntilSaved()
    {
        QFETCH(Damage, damage);
        QFETCH(QByteArray, content);
        placeDamagedFile(m_path, damage, content);
        if (QTest::currentTestFailed())
            return;

        const AppSettingsStore store(m_path);
        QCOMPARE(store.load(), AppSettings{});
        verifyDamagedFileIsUntouched(m_path, damage, content);
        if (QTest::currentTestFailed())
            return;

        store.save(customSettings());
        if (damage == Damage::folder) {
            // Nothing can replace a folder: the save gives up and leaves it alone.
            verifyDamagedFileIsUntouched(m_path, damage, content);
            QCOMPARE(QDir(QFileInfo(m_path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
                     QStringList());
        } else {
            QCOMPARE(store.load(), customSettings());
        }
    }

    void defaultLocationIsInTheSupportFolder()
    {
        QCOMPARE(AppSettingsStore().url(),
                 qEnvironmentVariable("XDG_DATA_HOME") + QLatin1String("/Parlune/settings.json"));
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
