// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeClock.h"
#include "FakeFocusedElement.h"
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

QCoro::Task<> keepOutcome(QCoro::Task<PasteOutcome> paste, std::optional<PasteOutcome>* outcome)
{
    *outcome = co_await std::move(paste);
}

} // namespace

Q_DECLARE_METATYPE(parlune::PasteOutcome)

class TextInjectorTest : public QObject
{
    Q_OBJECT

    FakePasteboard pasteboard;
    FakePasteboard primary;
    FakeKeySynth keys;
    FakeWorkspace workspace;
    FakeFocusedElement field;
    FakeClock clock;
    TextInjector injector{
        pasteboard, keys, workspace, clock, {.readBack = &field, .primarySelection = &primary}};

private Q_SLOTS:
    void init()
    {
        pasteboard = {};
        primary = {};
        keys = {};
        workspace = {};
        field = {};
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

    // Known at the keystroke, or once a field that shows its text shows it, at the latest when the restore is
    // due; what is not known to have arrived stays on the clipboard. The xterm family pastes PRIMARY: both
    // selections are lent and given back.
    void whatBecameOfThePaste_data()
    {
        QTest::addColumn<QString>("front");
        QTest::addColumn<std::optional<bool>>("fieldTakesPastes"); // none: the field does not show its text
        QTest::addColumn<PasteOutcome>("outcome");
        QTest::addColumn<double>("knownAfter");
        QTest::addColumn<QString>("clipboardAfterwards");
        const QString editor = QStringLiteral("gedit"), dictated = QStringLiteral("dictée"),
                      before = QStringLiteral("avant");
        QTest::newRow("off the bus") << editor << std::optional<bool>() << PasteOutcome::sent << 0.0
                                     << before;
        QTest::newRow("shows the paste")
            << editor << std::optional(true) << PasteOutcome::readBack << 0.05 << before;
        QTest::newRow("does not show it")
            << editor << std::optional(false) << PasteOutcome::notTaken << 0.6 << dictated;
        QTest::newRow("xterm") << QStringLiteral("xterm") << std::optional(true) << PasteOutcome::readBack
                               << 0.05 << before;
        QTest::newRow("xev takes no paste") << QStringLiteral("xev") << std::optional<bool>()
                                            << PasteOutcome::noPasteChord << 0.0 << dictated;
    }

    void whatBecameOfThePaste()
    {
        QFETCH(QString, front);
        QFETCH(std::optional<bool>, fieldTakesPastes);
        QFETCH(PasteOutcome, outcome);
        QFETCH(double, knownAfter);
        QFETCH(QString, clipboardAfterwards);
        pasteboard.content = copied("avant");
        primary.content = copied("sélection");
        workspace.frontmost = RunningApplication{front, front, 42, 7};
        if (fieldTakesPastes)
            field.textBefore = QStringLiteral("Il pleut.");
        field.takesPastes = fieldTakesPastes.value_or(false);
        keys.onPaste = [this](PasteChord chord) {
            field.paste((chord == PasteChord::shiftInsert ? primary : pasteboard).text());
        };

        std::optional<PasteOutcome> known;
        keepOutcome(injector.pasteAtCursor(QStringLiteral("dictée"), true), &known);
        if (knownAfter > 0) {
            clock.advance(Seconds(knownAfter) - 1ms);
            QVERIFY(!known);
            clock.advance(1ms);
        }
        QCOMPARE(known, std::optional(outcome));
        QCOMPARE(keys.posted.size(), outcome == PasteOutcome::noPasteChord ? 0u : 1u);
        if (!keys.posted.empty())
            QCOMPARE(keys.posted.front(),
                     front == QLatin1String("xterm") ? PasteChord::shiftInsert : PasteChord::controlV);
        clock.advance(TextInjector::restoreDelay);
        QCOMPARE(pasteboard.text(), clipboardAfterwards);
        QCOMPARE(primary.text(), QStringLiteral("sélection"));
    }
};

QTEST_GUILESS_MAIN(TextInjectorTest)
#include "tst_textinjector.moc"
