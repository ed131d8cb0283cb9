// SPDX-License-Identifier: GPL-3.0-or-later
// Text delivery on a real X server: the paste reaches another program, the clipboard comes back. The
// restore's delay runs on a test clock, so that another program's copy lands surely inside it.
#include "FakeClock.h"
#include "SessionChild.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "platform/x11/ClipboardPasteboard.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/x11/X11Workspace.h"
#include "system/Permissions.h"
#include "system/TextInjector.h"

#include <QClipboard>
#include <QGuiApplication>

#include <map>

using namespace parlune;

namespace {

// What another program reads from the clipboard, type by type (the selection protocol's own targets and
// Qt's internal types left out).
std::map<QByteArray, QByteArray> clipboardContent()
{
    std::map<QByteArray, QByteArray> content;
    for (const QByteArray& line : SessionChild(QStringLiteral(PARLUNE_TEST_FIELD), {"dump"}).lines()) {
        const QByteArray type = line.left(line.indexOf(' '));
        if (type.contains('/') && !type.startsWith("application/x-qt-"))
            content[type] = QByteArray::fromBase64(line.mid(type.size() + 1));
    }
    return content;
}

} // namespace

class DeliverySessionTest : public QObject
{
    Q_OBJECT

    ClipboardPasteboard pasteboard{QGuiApplication::clipboard()};
    X11KeySynth keys;
    X11Workspace workspace;
    FakeClock clock;
    TextInjector injector{pasteboard, keys, workspace, clock};

private Q_SLOTS:
    void anotherProgramsClipboardComesBackWholeUnlessItCopiesAgain_data()
    {
        QTest::addColumn<bool>("copiedMeanwhile");
        QTest::newRow("rich content comes back byte for byte") << false;
        QTest::newRow("a copy within the delay wins") << true;
    }

    void anotherProgramsClipboardComesBackWholeUnlessItCopiesAgain()
    {
        QFETCH(bool, copiedMeanwhile);
        SessionChild owner(QStringLiteral(PARLUNE_TEST_FIELD), {"copy", "avant"});
        QVERIFY(owner.waitForLine("ready"));
        const auto before = clipboardContent();
        QVERIFY(before.count("image/png"));

        TestField field;
        QVERIFY(field.isReady());
        const QString text = QStringLiteral("Dictée : « déjà vu », 3 € ✓");
        injector.pasteAtCursor(text, true);
        QCOMPARE(field.waitForText(), text);
        std::optional<SessionChild> other;
        if (copiedMeanwhile) {
            other.emplace(QStringLiteral(PARLUNE_TEST_FIELD), QStringList{"copy", "copie"});
            QVERIFY(other->waitForLine("ready"));
        }
        const auto expected = copiedMeanwhile ? clipboardContent() : before;
        clock.advance(TextInjector::restoreDelay);
        QCOMPARE(clipboardContent(), expected);
    }

    // Control+Alt+Space still held when the dictation ends: Control+Alt+V would paste nothing.
    void heldShortcutModifiersDoNotSpoilThePaste()
    {
        TestField field;
        QVERIFY(field.isReady());
        QVERIFY(holdKey("Alt_L", true));
        injector.pasteAtCursor(QStringLiteral("malgré Alt"), true);
        clock.advance(TextInjector::modifierWaitLimit * 2);
        const QString text = field.waitForText();
        holdKey("Alt_L", false);
        QCOMPARE(text, QStringLiteral("malgré Alt"));
        clock.advance(TextInjector::restoreDelay);
    }

    // A line edit takes text: the whole dictation shows it.
    void focusedButtonTakesNoText()
    {
        AtspiFocusedElement focused;
        Permissions permissions(focused, workspace, QString());
        TestField button("button");
        QVERIFY(button.isReady());
        QTRY_COMPARE_WITH_TIMEOUT(permissions.focusedElementAcceptsText(), std::optional(false), 10000);
    }

    // What another program's field holds before its cursor, as far as asked; a button tells nothing.
    void textBeforeTheCursorComesFromTheFocusedField()
    {
        AtspiFocusedElement focused;
        TestField field("line", QStringLiteral("Il pleut depuis ce matin. « Déjà"));
        QVERIFY(field.isReady());
        QTRY_COMPARE_WITH_TIMEOUT(focused.textBeforeCaret(8), std::optional(QStringLiteral(". « Déjà")),
                                  10000);
        QCOMPARE(focused.textBeforeCaret(100),
                 std::optional(QStringLiteral("Il pleut depuis ce matin. « Déjà")));

        TestField button("button");
        QVERIFY(button.isReady());
        QTRY_COMPARE_WITH_TIMEOUT(focused.textBeforeCaret(8), std::optional<QString>(), 10000);
    }
};

QTEST_MAIN(DeliverySessionTest)
#include "tst_delivery_session.moc"
