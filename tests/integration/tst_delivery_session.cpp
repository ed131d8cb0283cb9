// SPDX-License-Identifier: GPL-3.0-or-later
// Text delivery on a real X server: the paste reaches another program, the clipboard comes back.
#include "SessionChild.h"
#include "platform/Clock.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "platform/x11/ClipboardPasteboard.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/x11/X11Workspace.h"
#include "system/Permissions.h"
#include "system/TextInjector.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <map>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using namespace parlune;

using Verdict = std::optional<bool>;
Q_DECLARE_METATYPE(Verdict)

namespace {

const QString testField = QStringLiteral(PARLUNE_TEST_FIELD);

std::map<QString, QByteArray> dumpClipboard()
{
    SessionChild dump(testField, {QStringLiteral("dump")});
    std::map<QString, QByteArray> content;
    for (const QByteArray& line : dump.linesUntil("end")) {
        const qsizetype space = line.indexOf(' ');
        content[QString::fromUtf8(line.left(space))] = QByteArray::fromBase64(line.mid(space + 1));
    }
    return content;
}

} // namespace

class DeliverySessionTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ClipboardPasteboard> pasteboard;
    X11KeySynth keys;
    X11Workspace workspace;
    std::unique_ptr<TextInjector> injector;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("PARLUNE_SESSION_DIR"), "run inside scripts/session");
        pasteboard = std::make_unique<ClipboardPasteboard>(QGuiApplication::clipboard());
        injector = std::make_unique<TextInjector>(*pasteboard, keys, workspace, SystemClock::instance());
    }

    void pasteLandsInAnotherProgramsField_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::newRow("line edit") << "line";
        QTest::newRow("text edit") << "text";
    }

    void pasteLandsInAnotherProgramsField()
    {
        QFETCH(QString, widget);
        SessionChild field(testField, {widget});
        QVERIFY(field.waitForLine("ready"));
        const auto frontmost = workspace.frontmostApplication();
        QVERIFY(frontmost);
        QCOMPARE(frontmost->bundleIdentifier, QStringLiteral("ParluneTestField"));
        QCOMPARE(frontmost->processIdentifier, field.processId());

        const QString text = QStringLiteral("Dictée : « déjà vu », 3 € ✓");
        injector->pasteAtCursor(text, true);
        const auto got = field.waitForLine("text ");
        QVERIFY(got);
        QCOMPARE(QString::fromUtf8(QByteArray::fromBase64(*got)), text);
    }

    // Control+Alt+Space still held when the dictation ends: Control+Alt+V would paste nothing.
    void heldShortcutModifiersDoNotSpoilThePaste()
    {
        SessionChild field(testField, {QStringLiteral("line")});
        QVERIFY(field.waitForLine("ready"));
        Display* display = XOpenDisplay(nullptr);
        QVERIFY(display);
        const auto alt = XKeysymToKeycode(display, XK_Alt_L);
        XTestFakeKeyEvent(display, alt, True, CurrentTime);
        XSync(display, False);

        injector->pasteAtCursor(QStringLiteral("malgré Alt"), true);
        const auto got = field.waitForLine("text ");
        XTestFakeKeyEvent(display, alt, False, CurrentTime);
        XCloseDisplay(display);
        QVERIFY(got);
        QCOMPARE(QString::fromUtf8(QByteArray::fromBase64(*got)), QStringLiteral("malgré Alt"));
    }

    void previousClipboardComesBackByteForByte()
    {
        SessionChild owner(testField, {QStringLiteral("copy"), QStringLiteral("avant")});
        QVERIFY(owner.waitForLine("ready"));
        const auto before = dumpClipboard();
        QVERIFY(before.count(QStringLiteral("text/html")) && before.count(QStringLiteral("image/png")));

        SessionChild field(testField, {QStringLiteral("line")});
        QVERIFY(field.waitForLine("ready"));
        injector->pasteAtCursor(QStringLiteral("texte dicté"), true);
        QVERIFY(field.waitForLine("text "));
        QTest::qWait(int(TextInjector::restoreDelay.count() * 1000) + 300);

        const auto after = dumpClipboard();
        for (const QString& type :
             {QStringLiteral("text/html"), QStringLiteral("text/plain"), QStringLiteral("image/png")}) {
            QVERIFY2(after.count(type), qPrintable(type));
            QCOMPARE(after.at(type), before.at(type));
        }
        QVERIFY(!after.count(TextInjector::transientType));
    }

    void emptyClipboardIsEmptyAgainAfterThePaste()
    {
        pasteboard->clearContents();
        QTRY_VERIFY(dumpClipboard().empty());
        SessionChild field(testField, {QStringLiteral("line")});
        QVERIFY(field.waitForLine("ready"));
        injector->pasteAtCursor(QStringLiteral("texte dicté"), true);
        QVERIFY(field.waitForLine("text "));
        QVERIFY(!dumpClipboard().empty());
        QTest::qWait(int(TextInjector::restoreDelay.count() * 1000) + 300);
        QVERIFY(dumpClipboard().empty());
    }

    void copyByAnotherProgramWithinTheDelayWins()
    {
        SessionChild owner(testField, {QStringLiteral("copy"), QStringLiteral("avant")});
        QVERIFY(owner.waitForLine("ready"));
        SessionChild field(testField, {QStringLiteral("line")});
        QVERIFY(field.waitForLine("ready"));

        injector->pasteAtCursor(QStringLiteral("texte dicté"), true);
        QVERIFY(field.waitForLine("text "));
        owner.write("copy");
        QVERIFY(owner.waitForLine("copied", 500));
        QTest::qWait(int(TextInjector::restoreDelay.count() * 1000) + 300);

        QCOMPARE(dumpClipboard()[QStringLiteral("text/plain")], QByteArray("avant-again"));
    }

    void pasteLandsInAnXterm()
    {
        QTemporaryDir folder;
        const QString received = folder.filePath(QStringLiteral("received"));
        const QString text = QStringLiteral("echo bonjour");
        // WORKAROUND: xterm: a stock xterm pastes the CLIPBOARD selection from no key at all; this is
        // the usual Control+Shift+V binding its users add.
        SessionChild xterm(QStringLiteral("xterm"),
                           {QStringLiteral("-T"), QStringLiteral("parlune-xterm"), QStringLiteral("-xrm"),
                            QStringLiteral("XTerm*VT100.translations: #override Ctrl Shift <Key>V: "
                                           "insert-selection(CLIPBOARD)"),
                            QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                            QStringLiteral("stty raw -echo; head -c %1 > \"$0\"").arg(text.toUtf8().size()),
                            received});
        // Without a window manager nothing gives the new window the focus: find it by its title.
        quint64 window = 0;
        (void)QTest::qWaitFor(
            [&] {
                QProcess info;
                info.start(QStringLiteral("xwininfo"),
                           {QStringLiteral("-name"), QStringLiteral("parlune-xterm")});
                info.waitForFinished(2000);
                const auto match = QRegularExpression(QStringLiteral("Window id: (0x[0-9a-f]+)"))
                                       .match(QString::fromUtf8(info.readAll()));
                window = match.hasMatch() ? match.captured(1).toULongLong(nullptr, 16) : 0;
                return window != 0;
            },
            10000);
        QVERIFY(window);
        QTest::qWait(300); // the shell's stty has run
        QVERIFY(workspace.activate(
            RunningApplication{QStringLiteral("XTerm"), QStringLiteral("xterm"), 0, window}));
        QTRY_COMPARE(workspace.frontmostApplication().value_or(RunningApplication{}).bundleIdentifier,
                     QStringLiteral("XTerm"));

        injector->pasteAtCursor(text, true);
        QTRY_COMPARE_WITH_TIMEOUT(
            [&] {
                QFile file(received);
                return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
            }(),
            text, 10000);
    }

    void focusedWidgetVerdictThroughTheAccessibilityBus_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<Verdict>("verdict");
        QTest::newRow("line edit") << "line" << Verdict(true);
        QTest::newRow("text edit") << "text" << Verdict(true);
        QTest::newRow("button") << "button" << Verdict(false);
        QTest::newRow("nothing focused") << "none" << Verdict();
    }

    void focusedWidgetVerdictThroughTheAccessibilityBus()
    {
        QFETCH(QString, widget);
        QFETCH(Verdict, verdict);
        AtspiFocusedElement focused;
        Permissions permissions(focused, workspace, QString());
        SessionChild field(testField, {widget});
        QVERIFY(field.waitForLine("ready"));
        if (verdict) {
            QTRY_COMPARE_WITH_TIMEOUT(permissions.focusedElementAcceptsText(), verdict, 10000);
        } else {
            // The window is up and known to the bus, and still there is nothing to answer about.
            QTest::qWait(1000);
            QCOMPARE(permissions.focusedElementAcceptsText(), verdict);
        }
    }
};

QTEST_MAIN(DeliverySessionTest)
#include "tst_delivery_session.moc"
