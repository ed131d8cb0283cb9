// SPDX-License-Identifier: GPL-3.0-or-later
// GNOME's custom keybindings through GSettings, on schemas of the test's own in GSettings' memory backend:
// the keys Parlune takes, the user's keybindings it keeps, and GNOME's spellings of key combinations.
#include "platform/gnome/GnomeKeybinding.h"

#include <gio/gio.h>

#include <QSignalSpy>
#include <QTest>

using namespace parlune;

namespace {

const QString customPath =
    QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/");

// GSettings objects made for one step of a test.
struct Settings
{
    explicit Settings(const QString& schema, const QString& path = {})
        : settings(path.isEmpty()
                       ? g_settings_new(schema.toUtf8().constData())
                       : g_settings_new_with_path(schema.toUtf8().constData(), path.toUtf8().constData()))
    {}
    ~Settings() { g_object_unref(settings); }

    QString string(const char* key) const
    {
        gchar* value = g_settings_get_string(settings, key);
        const QString text = QString::fromUtf8(value);
        g_free(value);
        return text;
    }
    QStringList strings(const char* key) const
    {
        QStringList list;
        gchar** values = g_settings_get_strv(settings, key);
        for (gchar** value = values; *value; ++value)
            list << QString::fromUtf8(*value);
        g_strfreev(values);
        return list;
    }
    void set(const char* key, const QString& value) const
    {
        g_settings_set_string(settings, key, value.toUtf8().constData());
    }
    void set(const char* key, const QStringList& values) const
    {
        std::vector<QByteArray> utf8;
        for (const QString& value : values)
            utf8.push_back(value.toUtf8());
        std::vector<const gchar*> pointers;
        for (const QByteArray& value : utf8)
            pointers.push_back(value.constData());
        pointers.push_back(nullptr);
        g_settings_set_strv(settings, key, pointers.data());
    }

    GSettings* settings;
};

Settings list()
{
    return Settings(GnomeKeybinding::listSchema);
}

Settings entry(const QString& path)
{
    return Settings(GnomeKeybinding::entrySchema, path);
}

// A keybinding of the user's, made in GNOME's settings.
void addUsersKeybinding(const QString& path, const QString& command, const QString& binding)
{
    const Settings keybinding = entry(path);
    keybinding.set("name", QStringLiteral("À moi"));
    keybinding.set("command", command);
    keybinding.set("binding", binding);
    list().set("custom-keybindings", list().strings("custom-keybindings") << path);
}

} // namespace

class TestGnomeKeybinding : public QObject
{
    Q_OBJECT

    const QStringList m_command{QStringLiteral("/usr/bin/parlune"), QStringLiteral("--shortcut")};

private Q_SLOTS:
    void init()
    {
        for (const char* key : {"custom-keybindings", "calculator"})
            g_settings_reset(list().settings, key);
        g_settings_reset(Settings(QStringLiteral("org.gnome.desktop.wm.keybindings")).settings,
                         "activate-window-menu");
        for (const QString& path :
             {GnomeKeybinding::ourPath, customPath + "custom0/", customPath + "custom1/"}) {
            for (const char* key : {"name", "command", "binding"})
                g_settings_reset(entry(path).settings, key);
        }
    }

    void acceleratorsReadEverySpelling_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("same");
        QTest::addColumn<QString>("label");

        const auto row = [](const char* tag, const char* text, const char* same, const char* label) {
            QTest::newRow(tag) << QString(text) << QString(same) << QString::fromUtf8(label);
        };
        row("ours", "<Super><Alt>space", "<Mod4><Mod1>Space", "Alt+Super+Espace");
        row("control's names", "<Primary><Shift>d", "<Shift><Ctrl>D", "Ctrl+Maj+D");
        row("a key alone", "F7", "f7", "F7");
        row("an accented letter", "<Alt>eacute", "<Alt>Eacute", "Alt+É");
        row("a modifier we have no flag for", "<Hyper>space", "<hyper>SPACE", "Hyper+Espace");
        row("switched off", "disabled", "", "");
        row("empty", "", "", "");
        row("unknown modifier", "<Fn>space", "", "");
    }

    void acceleratorsReadEverySpelling()
    {
        QFETCH(QString, text);
        QFETCH(QString, same);
        QFETCH(QString, label);
        const auto accelerator = GnomeAccelerator::parse(text);
        QCOMPARE(accelerator.has_value(), !label.isEmpty());
        if (!accelerator)
            return;
        QCOMPARE(accelerator->label(), label);
        QVERIFY(accelerator->sameKeys(*GnomeAccelerator::parse(same)));
        QVERIFY(GnomeAccelerator::parse(accelerator->text())->sameKeys(*accelerator));
        // Another modifier held makes other keys.
        QVERIFY(!accelerator->sameKeys(*GnomeAccelerator::parse("<Meta>" + text)));
    }

    // GNOME holds Alt+Space for the window menu: with Super+Alt+Space already the user's own, and Control+
    // Alt+Space a combination GNOME holds, Parlune takes the next free one; the user's keybindings stay.
    void createTakesFreeKeysAndRemoveLeavesTheUsersAsTheyWere()
    {
        addUsersKeybinding(customPath + "custom0/", QStringLiteral("gnome-terminal"), "<Super><Alt>space");
        addUsersKeybinding(customPath + "custom1/", QStringLiteral("firefox 'https://exemple.fr'"),
                           "<Super>f");
        list().set("calculator", QStringLiteral("<Primary><Mod1>space"));
        // Leftovers GNOME itself skips are kept as they are.
        list().set("custom-keybindings", list().strings("custom-keybindings") << "/pas//valide/"
                                                                              << "");
        const QStringList theirs = list().strings("custom-keybindings");

        GnomeKeybinding keybinding(m_command);
        QVERIFY(keybinding.isAvailable());
        QCOMPARE(keybinding.keys(), QString());
        QCOMPARE(keybinding.proposedKeys(), "Ctrl+Super+Espace");
        QSignalSpy changed(&keybinding, &DesktopKeybinding::changed);
        QCOMPARE(keybinding.create(), std::nullopt);
        QVERIFY(!changed.isEmpty());
        QCOMPARE(keybinding.keys(), "Ctrl+Super+Espace");
        QCOMPARE(list().strings("custom-keybindings"), theirs + QStringList{GnomeKeybinding::ourPath});
        const Settings ours = entry(GnomeKeybinding::ourPath);
        QCOMPARE(ours.string("name"), "Parlune");
        QCOMPARE(ours.string("command"), "/usr/bin/parlune --shortcut");
        QCOMPARE(ours.string("binding"), "<Control><Super>space");
        // Creating it again changes nothing; the next start finds it.
        QCOMPARE(keybinding.create(), std::nullopt);
        QCOMPARE(list().strings("custom-keybindings").count(GnomeKeybinding::ourPath), 1);
        QCOMPARE(GnomeKeybinding(m_command).keys(), "Ctrl+Super+Espace");

        // Switched off in GNOME's settings: no keys, and creating gives it some again.
        ours.set("binding", QStringLiteral("disabled"));
        QCOMPARE(keybinding.keys(), QString());
        QCOMPARE(keybinding.create(), std::nullopt);
        QCOMPARE(keybinding.keys(), "Ctrl+Super+Espace");

        keybinding.remove();
        QCOMPARE(keybinding.keys(), QString());
        QCOMPARE(list().strings("custom-keybindings"), theirs);
        QCOMPARE(entry(customPath + "custom1/").string("command"), "firefox 'https://exemple.fr'");
        QCOMPARE(entry(customPath + "custom0/").string("binding"), "<Super><Alt>space");
        QCOMPARE(ours.string("binding"), QString());
    }

    // The program moved (another version installed elsewhere): the keybinding found at start runs it
    // from where it is now. GNOME splits the command like a shell.
    void keybindingRunsTheProgramFromWhereItIsNow()
    {
        QVERIFY(GnomeKeybinding(m_command).create() == std::nullopt);
        const QStringList moved{QStringLiteral("/home/léa/Mes programmes/parlune"),
                                QStringLiteral("--shortcut")};
        QCOMPARE(GnomeKeybinding(moved).keys(), "Alt+Super+Espace");
        const QString command = entry(GnomeKeybinding::ourPath).string("command");
        gchar** arguments = nullptr;
        QVERIFY(g_shell_parse_argv(command.toUtf8().constData(), nullptr, &arguments, nullptr));
        QStringList parsed;
        for (gchar** argument = arguments; *argument; ++argument)
            parsed << QString::fromUtf8(*argument);
        g_strfreev(arguments);
        QCOMPARE(parsed, moved);
    }
};

QTEST_GUILESS_MAIN(TestGnomeKeybinding)
#include "tst_gnomekeybinding.moc"
