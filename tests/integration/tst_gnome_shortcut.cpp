// SPDX-License-Identifier: GPL-3.0-or-later
// The shortcut on GNOME without the GlobalShortcuts portal, in the private GNOME session of
// scripts/session --gnome: the program dictates through the keybinding it adds to GNOME's, held or
// tapped. Keys are typed through GNOME's compositor, as on a real keyboard.
#include "MutterKeyboard.h"
#include "SessionChild.h"
#include "platform/gnome/GnomeKeybinding.h"

#include <gio/gio.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

// Where GNOME is not there the test skips; unless the run was promised it (scripts/test's GNOME step sets
// PARLUNE_REQUIRE_GNOME), where a missing piece is a failure.
#define PARLUNE_REQUIRE_GNOME_DESKTOP(present, what)                                                         \
    do {                                                                                                     \
        if (!(present)) {                                                                                    \
            if (qEnvironmentVariableIsSet("PARLUNE_REQUIRE_GNOME"))                                          \
                QFAIL("no GNOME session in a run that requires one: " what);                                 \
            QSKIP("needs the GNOME session of scripts/session --gnome: " what);                              \
        }                                                                                                    \
    } while (false)

namespace {

// What a keybinding's command wrote: one line per run.
int runs(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
}

// Waits until no run has come for `quiet` milliseconds (the settings daemon starts each command in its
// own time), and gives the count.
int settledRuns(const QString& path, int quiet = 1000)
{
    int count = runs(path);
    QElapsedTimer still;
    still.start();
    QElapsedTimer total;
    total.start();
    while (still.elapsed() < quiet && total.elapsed() < 20000) {
        QTest::qWait(50);
        if (const int now = runs(path); now != count) {
            count = now;
            still.restart();
        }
    }
    return count;
}

// A command that writes one line into `path` at each run.
QStringList recorder(const QString& path)
{
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("echo run >> \"$0\""), path};
}

// The program, started as a user starts it, and what it logs, each line with the moment it came.
class Program
{
public:
    Program()
    {
        m_clock.start();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_process, &QProcess::readyRead, [this] {
            while (m_process.canReadLine())
                m_lines.push_back({m_clock.elapsed(), QString::fromUtf8(m_process.readLine().trimmed())});
        });
        m_process.start(QStringLiteral(PARLUNE_BINARY), {});
    }
    ~Program()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }

    qint64 now() const { return m_clock.elapsed(); }
    // When the first line containing `text` came after `since`; none within `milliseconds`.
    std::optional<qint64> waitForLine(const QString& text, qint64 since, int milliseconds = 10000)
    {
        std::optional<qint64> found;
        (void)waitUntil(
            [&] {
                for (const auto& [at, line] : m_lines) {
                    if (at >= since && line.contains(text))
                        found = at;
                }
                return found.has_value() || m_process.state() == QProcess::NotRunning;
            },
            milliseconds);
        return found;
    }
    // Waits until the program has said nothing for `quiet` milliseconds.
    void waitForQuiet(int quiet = 1000)
    {
        std::size_t count = m_lines.size();
        QElapsedTimer still;
        still.start();
        (void)waitUntil(
            [&] {
                if (m_lines.size() != count) {
                    count = m_lines.size();
                    still.restart();
                }
                return still.elapsed() >= quiet;
            },
            20000);
    }

private:
    QElapsedTimer m_clock;
    QProcess m_process;
    std::vector<std::pair<qint64, QString>> m_lines;
};

// A picture of the program's main window from Xwayland, kept in "renders" for a person to look at.
bool captureMainWindow(const QString& name)
{
    QProcess tree;
    tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    tree.waitForFinished(10000);
    QString window;
    for (const QString& line : QString::fromUtf8(tree.readAllStandardOutput()).split(u'\n')) {
        if (line.contains(QLatin1String("\"Parlune\"")) && !line.contains(QLatin1String("1x1+")))
            window = line.trimmed().section(u' ', 0, 0);
    }
    if (window.isEmpty())
        return false;
    QDir().mkpath(QStringLiteral("renders"));
    return QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), window,
                                                        QStringLiteral("renders/") + name + ".png"}) == 0;
}

} // namespace

class TestGnomeShortcut : public QObject
{
    Q_OBJECT

    std::unique_ptr<MutterKeyboard> m_keyboard;
    QTemporaryDir m_folder;

    // Presses the keys and lets them go after `milliseconds`.
    void press(const std::vector<int>& keys, int milliseconds)
    {
        m_keyboard->chord(keys, true);
        QTest::qWait(milliseconds);
        m_keyboard->chord(keys, false);
    }

    // Taps the keys until their command runs: the settings daemon grabs new keys in its own time.
    bool tapUntilRun(const std::vector<int>& keys, const QString& path)
    {
        for (int attempt = 0; attempt < 30 && runs(path) == 0; ++attempt) {
            press(keys, 50);
            QTest::qWait(300);
        }
        return runs(path) > 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        PARLUNE_REQUIRE_GNOME_DESKTOP(qEnvironmentVariable("XDG_CURRENT_DESKTOP") == QLatin1String("GNOME"),
                                      "XDG_CURRENT_DESKTOP is not GNOME");
        m_keyboard = std::make_unique<MutterKeyboard>();
        PARLUNE_REQUIRE_GNOME_DESKTOP(m_keyboard->isReady(),
                                      "no remote desktop session of GNOME's compositor");
        PARLUNE_REQUIRE_GNOME_DESKTOP(GnomeKeybinding({}).isAvailable(),
                                      "GNOME's keybinding settings are missing");
        QVERIFY(m_folder.isValid());
    }

    // The program's own keybinding on the program itself: a hold dictates from the press until the runs
    // stop, a moment after the release; a tap dictates hands-free until the next press. The window, first
    // without a shortcut, then showing the keybinding's keys, is pictured for a person to look at.
    void holdAndTapDictateThroughTheProgram()
    {
        QVERIFY(writeDictationSettings());
        Program program;
        QVERIFY(program.waitForLine(QStringLiteral("GNOME's keybinding"), 0, 30000));
        QTest::qWait(2000);
        QVERIFY(captureMainWindow(QStringLiteral("gnome-window-no-shortcut")));

        // Grabbed by GNOME once it runs its command; then the program, started again with its keybinding
        // there, makes it its own.
        const QString ours = m_folder.filePath(QStringLiteral("grabbed"));
        QCOMPARE(GnomeKeybinding(recorder(ours)).create(), std::nullopt);
        const std::vector<int> keys{MutterKeyboard::leftSuper, MutterKeyboard::leftAlt,
                                    MutterKeyboard::space};
        QVERIFY(tapUntilRun(keys, ours));
        (void)settledRuns(ours);
        const QStringList command{QStringLiteral(PARLUNE_BINARY), QStringLiteral("--shortcut")};
        GnomeKeybinding keybinding(command);
        QCOMPARE(keybinding.keys(), "Alt+Super+Espace");
        QTest::qWait(1000);
        QVERIFY(captureMainWindow(QStringLiteral("gnome-window-keybinding")));

        // Held 1.5 s.
        qint64 pressed = program.now();
        m_keyboard->chord(keys, true);
        const auto recording = program.waitForLine(QStringLiteral("Parlune: recording"), pressed, 5000);
        QVERIFY(recording);
        QTest::qWait(int(std::max<qint64>(0, 1500 - (program.now() - pressed))));
        // GNOME's runs come late on a busy computer; a gap in them must not end the hold early.
        QVERIFY2(!program.waitForLine(QStringLiteral("Parlune: shortcut released"), pressed, 0),
                 "the dictation ended while the keys were still down");
        const qint64 released = program.now();
        m_keyboard->chord(keys, false);
        const auto seen = program.waitForLine(QStringLiteral("Parlune: shortcut released"), released, 5000);
        QVERIFY(seen);
        QVERIFY(program.waitForLine(QStringLiteral("characters, ready"), released, 10000));
        qInfo("held: recording %lld ms after the press, release seen %lld ms after the keys came up",
              *recording - pressed, *seen - released);

        // Tapped: still dictating well after the keys came up, until the next tap.
        program.waitForQuiet();
        pressed = program.now();

        press(keys, 60);
        QVERIFY(program.waitForLine(QStringLiteral("Parlune: recording"), pressed, 5000));
        QVERIFY(!program.waitForLine(QStringLiteral("characters, ready"), pressed, 2000));
        const qint64 tapped = program.now();
        press(keys, 60);
        QVERIFY(program.waitForLine(QStringLiteral("characters, ready"), tapped, 10000));
        keybinding.remove();
    }
};

QTEST_GUILESS_MAIN(TestGnomeShortcut)
#include "tst_gnome_shortcut.moc"
