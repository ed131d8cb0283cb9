// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeClock.h"
#include "FakeKeySynth.h"
#include "FakePasteboard.h"
#include "FakeWorkspace.h"
#include "system/TextInjector.h"

#include <QTest>

using namespace parlune;
using namespace std::chrono_literals;

namespace {

PasteboardSnapshot copied(const char* text)
{
    return {PasteboardItem{{{QStringLiteral("text/plain"), QByteArray(text)}}}};
}

PasteboardSnapshot pasted(const char* text)
{
    return {TextInjector::textItem(QString::fromUtf8(text))};
}

} // namespace

class TextInjectorTest : public QObject
{
    Q_OBJECT

    FakePasteboard pasteboard;
    FakeKeySynth keys;
    FakeWorkspace workspace;
    FakeClock clock;
    TextInjector injector{pasteboard, keys, workspace, clock};

private Q_SLOTS:
    void init()
    {
        pasteboard = {};
        keys = {};
        workspace = {};
    }

    // A restore left waiting by a test must not land in the next one.
    void cleanup() { clock.advance(10s); }

    // Whole: several items and types, binary bytes included (also checked against a real clipboard).
    void previousContentComesBackWholeAfterTheDelay()
    {
        const PasteboardSnapshot before{{{{QStringLiteral("image/png"), QByteArray("\x89PNG\0\0", 6)},
                                          {QStringLiteral("text/plain"), "gras"}}},
                                        copied("second").front()};
        pasteboard.content = before;
        injector.pasteAtCursor(QStringLiteral("Bonjour à tous"), true);
        QCOMPARE(keys.posted, std::vector{PasteChord::controlV});
        clock.advance(TextInjector::restoreDelay - 1ms);
        QCOMPARE(pasteboard.content, pasted("Bonjour à tous"));
        clock.advance(1ms);
        QCOMPARE(pasteboard.content, before);
    }

    // A second delivery within the delay finds the first one's text and puts that back; the first restore
    // stands down, as it does for any copy made meanwhile.
    void aSecondDeliveryWithinTheDelayOutlivesTheFirstRestore()
    {
        pasteboard.content = copied("avant");
        injector.pasteAtCursor(QStringLiteral("un"), true);
        clock.advance(200ms);
        injector.pasteAtCursor(QStringLiteral("deux"), true);
        clock.advance(TextInjector::restoreDelay - 200ms);
        QCOMPARE(pasteboard.content, pasted("deux"));
        clock.advance(200ms);
        QCOMPARE(pasteboard.content, pasted("un"));
    }

    // Posted once the modifiers are up, or at the wait limit with them down; meanwhile the clipboard is
    // left alone and a later paste waits its turn. The restore counts from the keystroke, not the call.
    void heldModifiersAreWaitedOutBeforeTheKeystroke()
    {
        keys.held = true;
        keys.pasteboard = &pasteboard;
        pasteboard.content = copied("avant");
        injector.pasteAtCursor(QStringLiteral("un"), true);
        // The second paste would look at the keys first, were it not waiting for the first one.
        clock.advance(0.105s);
        injector.pasteAtCursor(QStringLiteral("deux"), true);
        clock.advance(95ms);
        QVERIFY(keys.posted.empty());
        QCOMPARE(pasteboard.content, copied("avant"));
        keys.held = false;
        clock.advance(TextInjector::modifierPollInterval);
        QCOMPARE(keys.clipboardWhenPosted, (std::vector{pasted("un"), pasted("deux")}));
        clock.advance(TextInjector::restoreDelay - 1ms);
        QCOMPARE(pasteboard.content, pasted("deux"));

        clock.advance(1s);
        keys = {};
        keys.held = true;
        injector.pasteAtCursor(QStringLiteral("texte"), true);
        clock.advance(TextInjector::modifierWaitLimit - 20ms);
        QVERIFY(keys.posted.empty());
        clock.advance(20ms);
        QCOMPARE(keys.posted.size(), 1u);
    }
};

QTEST_GUILESS_MAIN(TextInjectorTest)
#include "tst_textinjector.moc"
