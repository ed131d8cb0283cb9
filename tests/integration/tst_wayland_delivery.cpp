// SPDX-License-Identifier: GPL-3.0-or-later
// Text delivery in a Wayland session (KWin): straight into a native Wayland field through the
// accessibility bus, pasted into a terminal through the compositor's clipboard, and that clipboard read
// and put back byte for byte. Runs inside scripts/session --wayland; wl-clipboard is the other program
// that reads and copies. The restore's delay runs on a test clock.
#include "FakeClock.h"
#include "FakeKeySynth.h"
#include "SessionChild.h"
#include "platform/DisplaySession.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "platform/atspi/AtspiWorkspace.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/x11/X11Workspace.h"
#include "system/TextInjector.h"

using namespace parlune;

namespace {

using Content = std::map<QString, QByteArray>;

Content contentOf(const PasteboardSnapshot& snapshot)
{
    Content content;
    for (const PasteboardItem& item : snapshot) {
        for (const auto& [type, bytes] : item.data)
            content.emplace(type, bytes);
    }
    return content;
}

} // namespace

class WaylandDeliveryTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<DataControlPasteboard> pasteboard;
    X11KeySynth keys;
    X11Workspace xwayland;
    AtspiWorkspace workspace{xwayland};
    AtspiFocusedElement focused;
    FakeClock clock;
    std::unique_ptr<TextInjector> injector;

private Q_SLOTS:
    void initTestCase()
    {
        PARLUNE_REQUIRE_WAYLAND_DESKTOP(displaySession() == DisplaySession::wayland, "a Wayland session");
        pasteboard = DataControlPasteboard::connect();
        QVERIFY2(pasteboard, "the compositor offers no data-control clipboard");
        injector = std::make_unique<TextInjector>(*pasteboard, keys, workspace, clock, &focused);
    }

    // No clipboard touched, the caret left after the text for the next dictation.
    void nativeFieldTakesTheTextStraightAndShowsIt()
    {
        TestField field("line", {}, QStringLiteral("wayland"));
        QVERIFY(field.isReady());
        const int changes = pasteboard->changeCount();
        // The field shows on the bus a moment after it shows on the screen.
        TextInsertion outcome = TextInsertion::notInserted;
        const auto insertOnce = [&] {
            if (outcome == TextInsertion::notInserted)
                outcome = focused.insertText(QStringLiteral("Dictée : « déjà vu »"));
            return outcome != TextInsertion::notInserted;
        };
        QTRY_VERIFY_WITH_TIMEOUT(insertOnce(), 10000);
        QCOMPARE(outcome, TextInsertion::confirmed);
        QCOMPARE(field.waitForText(), QStringLiteral("Dictée : « déjà vu »"));
        QVERIFY(injector->insertDirectly(QStringLiteral(", 3 € ✓")));
        QCOMPARE(field.waitForText(), QStringLiteral("Dictée : « déjà vu », 3 € ✓"));
        QCOMPARE(pasteboard->changeCount(), changes);
    }

    // A terminal has no editable text: the text is pasted with Control+Shift+V, the terminal being
    // known by its name on the bus, and the rich content copied before comes back whole.
    void terminalGetsThePasteAndTheClipboardComesBack()
    {
        SessionChild owner(QStringLiteral(PARLUNE_TEST_FIELD), {"copyfocused", "avant"},
                           TestField::onPlatform(QStringLiteral("wayland")));
        QVERIFY(owner.waitForLine("ready"));
        Content before;
        QTRY_VERIFY_WITH_TIMEOUT((before = waylandClipboard()).count(QStringLiteral("text/html")), 10000);
        QVERIFY(before.count(QStringLiteral("image/png")));
        QCOMPARE(before.at(QStringLiteral("application/x-parlune-marker")), QByteArray());
        QTRY_COMPARE_WITH_TIMEOUT(contentOf(pasteboard->items()), before, 5000);

        TestField terminal("terminal", {}, QStringLiteral("xcb"));
        QVERIFY(terminal.isReady());
        const QString text = QStringLiteral("ls -l « déjà »");
        QVERIFY(!injector->insertDirectly(text));
        injector->pasteAtCursor(text, true);
        QCOMPARE(terminal.waitForText(), text);
        clock.advance(TextInjector::restoreDelay);
        QCOMPARE(waylandClipboard(), before);
    }

    // The dictated text goes with the types that keep clipboard histories from recording it. Our own
    // write is no change of someone else; a copy made meanwhile is, and it stays.
    void aCopyMadeWhilePastingIsNeverOverwritten()
    {
        FakeKeySynth noKeys;
        TextInjector paster(*pasteboard, noKeys, workspace, clock);
        SessionChild owner(QStringLiteral(PARLUNE_TEST_FIELD), {"copyfocused", "avant"},
                           TestField::onPlatform(QStringLiteral("wayland")));
        QVERIFY(owner.waitForLine("ready"));
        QTRY_COMPARE_WITH_TIMEOUT(contentOf(pasteboard->items()).count(QStringLiteral("text/html")), 1u,
                                  10000);

        paster.pasteAtCursor(QStringLiteral("dictée"), true);
        const int ours = pasteboard->changeCount();
        const Content pasting = waylandClipboard();
        QCOMPARE(pasting.at(QStringLiteral("text/plain")), QByteArray("dictée"));
        QCOMPARE(pasting.at(TextInjector::transientType), QByteArray());
        QCOMPARE(pasting.at(TextInjector::passwordManagerHintType), QByteArray("secret"));
        QTest::qWait(200);
        QCOMPARE(pasteboard->changeCount(), ours);

        SessionChild copier(QStringLiteral("wl-copy"),
                            {QStringLiteral("--foreground"), QStringLiteral("plus récent")});
        QTRY_VERIFY_WITH_TIMEOUT(pasteboard->changeCount() != ours, 10000);
        clock.advance(TextInjector::restoreDelay);
        QTest::qWait(200);
        QCOMPARE(waylandClipboard().at(QStringLiteral("text/plain")), QByteArray("plus récent"));
    }
};

QTEST_MAIN(WaylandDeliveryTest)
#include "tst_wayland_delivery.moc"
