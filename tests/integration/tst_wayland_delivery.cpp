// SPDX-License-Identifier: GPL-3.0-or-later
// The compositor's data-control clipboard while a text is pasted (the whole dictation's delivery is in
// tst_wayland_dictation). Runs inside scripts/session --wayland; wl-clipboard is the other program that
// reads and copies. The restore's delay runs on a test clock.
#include "FakeClock.h"
#include "FakeKeySynth.h"
#include "FakeWorkspace.h"
#include "SessionChild.h"
#include "platform/DisplaySession.h"
#include "platform/wayland/DataControlPasteboard.h"
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
    FakeWorkspace workspace;
    FakeClock clock;

private Q_SLOTS:
    void initTestCase()
    {
        PARLUNE_REQUIRE_WAYLAND_DESKTOP(displaySession() == DisplaySession::wayland, "a Wayland session");
        pasteboard = DataControlPasteboard::connect();
        QVERIFY2(pasteboard, "the compositor offers no data-control clipboard");
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
