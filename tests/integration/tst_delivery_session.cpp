// SPDX-License-Identifier: GPL-3.0-or-later
// Text delivery on a real X server: the paste reaches another program, the clipboard comes back. The
// restore's delay runs on a test clock, so that another program's copy lands surely inside it.
#include "FakeClock.h"
#include "SessionChild.h"
#include "input/GlobalHotkeys.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "platform/x11/ClipboardPasteboard.h"
#include "platform/x11/SyntheticKeys.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/x11/X11KeyboardTap.h"
#include "platform/x11/X11Workspace.h"
#include "system/Permissions.h"
#include "system/TextInjector.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <map>

#include <X11/Xlib.h>

using namespace parlune;

namespace {

// What another program reads from the clipboard, or the PRIMARY selection, type by type (protocol
// targets and Qt's types aside).
std::map<QByteArray, QByteArray> clipboardContent(const char* selection = "clipboard")
{
    std::map<QByteArray, QByteArray> content;
    for (const QByteArray& line :
         SessionChild(QStringLiteral(PARLUNE_TEST_FIELD), {"dump", selection}).lines()) {
        const QByteArray type = line.left(line.indexOf(' '));
        if (type.contains('/') && !type.startsWith("application/x-qt-"))
            content[type] = QByteArray::fromBase64(line.mid(type.size() + 1));
    }
    return content;
}

QCoro::Task<> keepOutcome(QCoro::Task<PasteOutcome> paste, std::optional<PasteOutcome>* outcome)
{
    *outcome = co_await std::move(paste);
}

} // namespace

class DeliverySessionTest : public QObject
{
    Q_OBJECT

    ClipboardPasteboard pasteboard{QGuiApplication::clipboard()};
    ClipboardPasteboard primary{QGuiApplication::clipboard(), QClipboard::Selection};
    SyntheticKeys ours;
    X11KeySynth keys{&ours};
    X11Workspace workspace;
    AtspiFocusedElement focused;
    FakeClock clock;
    TextInjector injector{
        pasteboard, keys, workspace, clock, {.readBack = &focused, .primarySelection = &primary}};

private Q_SLOTS:
    // Another program's rich content comes back byte for byte, on both selections. The line edit shows its
    // text on the accessibility bus: the paste is read back there. xterm types Control+Shift+V as a
    // control character: it gets Shift+Insert, which pastes PRIMARY, and the program running in it reads
    // the text.
    void bothSelectionsComeBackByteForByte_data()
    {
        QTest::addColumn<bool>("xterm");
        QTest::newRow("Qt line edit") << false;
        QTest::newRow("xterm") << true;
    }

    void bothSelectionsComeBackByteForByte()
    {
        QFETCH(bool, xterm);
        SessionChild owner(QStringLiteral(PARLUNE_TEST_FIELD), {"copy", "avant"});
        QVERIFY(owner.waitForLine("ready"));
        const auto clipboardBefore = clipboardContent();
        const auto primaryBefore = clipboardContent("primary");
        QVERIFY(clipboardBefore.count("image/png") && primaryBefore.count("text/plain"));

        const QString text = QStringLiteral("Dictée : « déjà vu », 3 € ✓");
        std::optional<PasteOutcome> outcome;
        if (xterm) {
            QTemporaryDir folder;
            const QString received = folder.filePath(QStringLiteral("received"));
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
            // What the program in the terminal reads, as it arrives, without echo; and the terminal's window.
            SessionChild terminal(QStringLiteral("xterm"),
                                  {"-e", "sh", "-c",
                                   R"(echo "$WINDOWID" > "$0.window"; stty -icanon -echo; exec cat > "$0")",
                                   received},
                                  environment);
            // No window manager gives it the keyboard focus: as one would.
            QVERIFY(waitUntil(
                [&] {
                    QFile window(received + QStringLiteral(".window"));
                    return window.open(QIODevice::ReadOnly) &&
                           workspace.activate({{}, {}, 0, window.readAll().trimmed().toULongLong()}) &&
                           workspace.frontmostApplication().value_or(RunningApplication()).bundleIdentifier ==
                               QLatin1String("XTerm");
                },
                10000));
            keepOutcome(injector.pasteAtCursor(text, true), &outcome);
            QVERIFY(waitUntil(
                [&] {
                    QFile file(received);
                    return file.open(QIODevice::ReadOnly) && file.readAll() == text.toUtf8();
                },
                10000));
        } else {
            TestField field;
            QVERIFY(field.isReady());
            QTRY_VERIFY_WITH_TIMEOUT(focused.textBeforeCaret(1).has_value(), 10000);
            keepOutcome(injector.pasteAtCursor(text, true), &outcome);
            QCOMPARE(field.waitForText(), text);
            clock.advance(TextInjector::readBackInterval);
        }
        QCOMPARE(outcome, std::optional(xterm ? PasteOutcome::sent : PasteOutcome::readBack));
        clock.advance(TextInjector::restoreDelay);
        QCOMPARE(clipboardContent(), clipboardBefore);
        QCOMPARE(clipboardContent("primary"), primaryBefore);
    }

    // Another program's copy made within the delay wins, even one made just before the restore is due,
    // which Qt has not heard of yet (its event loop has not run).
    void aCopyJustBeforeTheRestoreWins()
    {
        TestField field;
        QVERIFY(field.isReady());
        pasteboard.writeItems({PasteboardItem{{{QStringLiteral("text/plain"), "avant"}}}});
        injector.pasteAtCursor(QStringLiteral("dictée"), true);
        QCOMPARE(field.waitForText(), QStringLiteral("dictée"));

        Display* other = XOpenDisplay(nullptr);
        QVERIFY(other);
        const Window window = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
        const Atom clipboard = XInternAtom(other, "CLIPBOARD", False);
        const int ours = pasteboard.changeCount();
        XSetSelectionOwner(other, clipboard, window, CurrentTime);
        XSync(other, False);
        QVERIFY(pasteboard.changeCount() != ours);
        clock.advance(TextInjector::restoreDelay);
        const Window owner = XGetSelectionOwner(other, clipboard);
        XCloseDisplay(other);
        QCOMPARE(owner, window);
    }

    // Our paste (XTest, like the test's keys) is no tap of a left Control shortcut. Keys held at delivery
    // (the next dictation's shortcut already) stay held and hear nothing: the paste goes with those it can
    // go with (Control+V, Shift+Insert) and waits for the others.
    void keysHeldAtDeliveryStayHeld_data()
    {
        QTest::addColumn<QByteArray>("keysym");
        QTest::addColumn<quint16>("shortcut");
        QTest::addColumn<bool>("waits");
        QTest::newRow("nothing held") << QByteArray() << quint16(59) << false;
        QTest::newRow("left Control") << QByteArray("Control_L") << quint16(59) << false;
        QTest::newRow("left Shift") << QByteArray("Shift_L") << quint16(56) << false;
        QTest::newRow("left Alt spoils every chord") << QByteArray("Alt_L") << quint16(58) << true;
    }

    void keysHeldAtDeliveryStayHeld()
    {
        QFETCH(QByteArray, keysym);
        QFETCH(quint16, shortcut);
        QFETCH(bool, waits);
        X11KeyboardTap tap(&ours);
        QStringList heard;
        const auto record = [&heard](const char* name) { return [&heard, name] { heard << name; }; };
        GlobalHotkeys hotkeys(tap, {shortcut, 0, true}, record("press"), record("release"), record("other"),
                              {});
        hotkeys.start();
        TestField field;
        QVERIFY(field.isReady());
        const bool held = !keysym.isEmpty();
        if (held) {
            QVERIFY(holdKey(keysym, true));
            QTRY_COMPARE(heard, QStringList{"press"});
        }

        const QString text = QStringLiteral("pendant la suivante");
        injector.pasteAtCursor(text, true);
        if (waits)
            clock.advance(Seconds(1));
        QCOMPARE(field.waitForText(waits ? 500 : 10000), waits ? QString() : text);
        QCOMPARE(tap.isKeyDown(shortcut), std::optional(held));
        if (held)
            QVERIFY(holdKey(keysym, false));
        QTRY_COMPARE(heard, (held ? QStringList{"press", "release"} : QStringList()));
        if (waits) {
            clock.advance(TextInjector::modifierPollInterval);
            QCOMPARE(field.waitForText(), text);
        }
        clock.advance(TextInjector::restoreDelay);
    }

    // What another program's field holds before its cursor, counted in characters; a button tells nothing
    // and takes no text (a line edit takes it, and tells all it holds: the whole dictation shows it).
    void theFocusedFieldTellsWhatItHoldsAndAButtonTakesNoText()
    {
        TestField field("line", QStringLiteral("Il pleut depuis ce matin. « Déjà"));
        QVERIFY(field.isReady());
        QTRY_COMPARE_WITH_TIMEOUT(focused.textBeforeCaret(8), std::optional(QStringLiteral(". « Déjà")),
                                  10000);

        Permissions permissions(focused, workspace, QString());
        TestField button("button");
        QVERIFY(button.isReady());
        QTRY_COMPARE_WITH_TIMEOUT(permissions.focusedElementAcceptsText(), std::optional(false), 10000);
        QCOMPARE(focused.textBeforeCaret(8), std::optional<QString>());
    }
};

QTEST_MAIN(DeliverySessionTest)
#include "tst_delivery_session.moc"
