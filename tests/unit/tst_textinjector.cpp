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

PasteboardItem richText()
{
    return PasteboardItem{{
        {QStringLiteral("text/html"), QByteArray("<b>gras</b>")},
        {QStringLiteral("text/plain"), QByteArray("gras")},
        // Binary bytes, zeros included, must survive untouched.
        {QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
    }};
}

PasteboardItem plain(const char* text)
{
    return PasteboardItem{{{QStringLiteral("text/plain"), QByteArray(text)}}};
}

} // namespace

class TextInjectorTest : public QObject
{
    Q_OBJECT

    FakePasteboard pasteboard;
    FakeKeySynth keys;
    FakeWorkspace workspace;
    FakeClock clock;

private Q_SLOTS:
    void init()
    {
        pasteboard = {};
        keys = {};
        workspace = {};
    }

    // A restore left waiting by a test must not land in the next one.
    void cleanup() { clock.advance(10s); }

    void previousContentComesBackByteForByteAfterTheDelay()
    {
        const PasteboardSnapshot before{richText(), plain("second")};
        pasteboard.content = before;
        TextInjector injector(pasteboard, keys, workspace, clock);

        injector.pasteAtCursor(QStringLiteral("Bonjour à tous"), true);
        QCOMPARE(pasteboard.content,
                 PasteboardSnapshot{TextInjector::textItem(QStringLiteral("Bonjour à tous"))});
        QCOMPARE(keys.posted, std::vector{PasteChord::controlV});

        clock.advance(TextInjector::restoreDelay - 1ms);
        QCOMPARE(pasteboard.content.size(), 1u);
        QCOMPARE(pasteboard.content.front(), TextInjector::textItem(QStringLiteral("Bonjour à tous")));

        clock.advance(1ms);
        QCOMPARE(pasteboard.content, before);
    }

    void emptyClipboardIsEmptyAgainAfterTheDelay()
    {
        TextInjector injector(pasteboard, keys, workspace, clock);
        injector.pasteAtCursor(QStringLiteral("texte"), true);
        QVERIFY(!pasteboard.content.empty());
        clock.advance(TextInjector::restoreDelay);
        QVERIFY(pasteboard.content.empty());
    }

    void copyMadeWithinTheDelayWins()
    {
        pasteboard.content = {richText()};
        TextInjector injector(pasteboard, keys, workspace, clock);
        injector.pasteAtCursor(QStringLiteral("dictée"), true);
        clock.advance(0.3s);
        pasteboard.copyFromOtherProgram({plain("copie de l'utilisateur")});
        clock.advance(1s);
        QCOMPARE(pasteboard.content, PasteboardSnapshot{plain("copie de l'utilisateur")});
    }

    void withoutRestoreTheTextStaysMarkedTransient()
    {
        pasteboard.content = {richText()};
        TextInjector injector(pasteboard, keys, workspace, clock);
        injector.pasteAtCursor(QStringLiteral("à coller"), false);
        clock.advance(2s);

        QCOMPARE(pasteboard.content.size(), 1u);
        const auto& data = pasteboard.content.front().data;
        auto valueOf = [&](const QString& type) -> std::optional<QByteArray> {
            for (const auto& [t, bytes] : data)
                if (t == type)
                    return bytes;
            return std::nullopt;
        };
        QCOMPARE(valueOf(QStringLiteral("text/plain")), QStringLiteral("à coller").toUtf8());
        QCOMPARE(valueOf(QStringLiteral("org.nspasteboard.TransientType")), QByteArray(""));
        QCOMPARE(valueOf(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
        QCOMPARE(clock.pendingSleeps(), 0u);
    }

    // The earlier restore finds the later delivery's writes and stands down; the later one puts back
    // what it found, which was the earlier dictated text.
    void secondDeliveryWithinTheDelayRestoresWhatItFound()
    {
        pasteboard.content = {plain("original")};
        TextInjector injector(pasteboard, keys, workspace, clock);
        injector.pasteAtCursor(QStringLiteral("un"), true);
        clock.advance(0.2s);
        injector.pasteAtCursor(QStringLiteral("deux"), true);

        clock.advance(0.4s); // the first restore is due
        QCOMPARE(pasteboard.content, PasteboardSnapshot{TextInjector::textItem(QStringLiteral("deux"))});
        clock.advance(0.2s); // the second one
        QCOMPARE(pasteboard.content, PasteboardSnapshot{TextInjector::textItem(QStringLiteral("un"))});
    }

    void heldModifiersAreWaitedOutBeforeTheKeystroke()
    {
        keys.held = true;
        pasteboard.content = {plain("original")};
        TextInjector injector(pasteboard, keys, workspace, clock);
        injector.pasteAtCursor(QStringLiteral("texte"), true);
        clock.advance(0.1s);
        QVERIFY(keys.posted.empty());

        keys.held = false;
        clock.advance(TextInjector::modifierPollInterval);
        QCOMPARE(keys.heldWhenPosted, std::vector{false});

        // The restore counts from the keystroke, not from the call.
        clock.advance(TextInjector::restoreDelay - 1ms);
        QCOMPARE(pasteboard.content.front(), TextInjector::textItem(QStringLiteral("texte")));
        clock.advance(1ms);
        QCOMPARE(pasteboard.content, PasteboardSnapshot{plain("original")});
    }

    void modifiersHeldTooLongDoNotBlockThePaste()
    {
        keys.held = true;
        TextInjector injector(pasteboard, keys, workspace, clock);
        injector.pasteAtCursor(QStringLiteral("texte"), true);
        clock.advance(TextInjector::modifierWaitLimit - 20ms);
        QVERIFY(keys.posted.empty());
        clock.advance(20ms);
        // Posted with the modifiers still down: releasing them is the keystroke's job.
        QCOMPARE(keys.heldWhenPosted, std::vector{true});
    }

    void terminalsGetControlShiftV_data()
    {
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<QString>("instance");
        QTest::addColumn<bool>("terminal");
        QTest::newRow("xterm") << "XTerm"
                               << "xterm" << true;
        QTest::newRow("gnome-terminal") << "Gnome-terminal"
                                        << "gnome-terminal-server" << true;
        QTest::newRow("konsole") << "konsole"
                                 << "konsole" << true;
        QTest::newRow("kitty") << "kitty"
                               << "kitty" << true;
        QTest::newRow("alacritty") << "Alacritty"
                                   << "Alacritty" << true;
        QTest::newRow("xfce4-terminal") << "Xfce4-terminal"
                                        << "xfce4-terminal" << true;
        QTest::newRow("browser") << "firefox-esr"
                                 << "Navigator" << false;
        QTest::newRow("editor") << "Gedit"
                                << "gedit" << false;
        QTest::newRow("no active window") << ""
                                          << "" << false;
    }

    void terminalsGetControlShiftV()
    {
        QFETCH(QString, windowClass);
        QFETCH(QString, instance);
        QFETCH(bool, terminal);
        if (!windowClass.isEmpty())
            workspace.frontmost = RunningApplication{windowClass, instance, 42, 0x400001};
        TextInjector injector(pasteboard, keys, workspace, clock);
        injector.pasteAtCursor(QStringLiteral("ls"), false);
        QCOMPARE(keys.posted, std::vector{terminal ? PasteChord::controlShiftV : PasteChord::controlV});
    }
};

QTEST_GUILESS_MAIN(TextInjectorTest)
#include "tst_textinjector.moc"
