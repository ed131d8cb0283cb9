// SPDX-License-Identifier: GPL-3.0-or-later
// One dictation from the shortcut to the delivered text, on fakes of the desktop: the exact texts and
// time limits. The random sequences of tst_dictationproperties cover the rest.
#include "FakeDesktop.h"
#include "FakeDesktopShortcut.h"
#include "input/GlobalHotkeys.h"
#include "speech/SpeechEngine.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

namespace {

const RunningApplication editor{QStringLiteral("Gedit"), QStringLiteral("gedit"), 42, 7};
const RunningApplication browser{QStringLiteral("firefox-esr"), QStringLiteral("Navigator"), 43, 8};
// Who is in front: this program, the editor or the browser.
constexpr int self = 0, inEditor = 1, inBrowser = 2;

QString clipboardText(const FakePasteboard& pasteboard)
{
    for (const PasteboardItem& item : pasteboard.content)
        for (const auto& [type, bytes] : item.data)
            if (type == QLatin1String("text/plain"))
                return QString::fromUtf8(bytes);
    return {};
}

} // namespace

Q_DECLARE_METATYPE(parlune::MicrophoneAuthorization)

class TestDictationFlow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FakeDesktopShortcut m_desktopShortcut;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<AppCoordinator> m_coordinator;

    FakeDesktop& desktop() { return *m_desktop; }
    AppCoordinator& app() { return *m_coordinator; }
    FakeAnalyzer& analyzer() { return desktop().recognizer->lastAnalyzer(); }
    int pastes() { return int(desktop().keySynth.posted.size()); }

    void build() { m_coordinator = std::make_unique<AppCoordinator>(desktop().services(), true); }

    // Presses the shortcut; the dictation, if one starts, will give `text` (nothing when empty).
    void press(const QString& text = QStringLiteral("bonjour"))
    {
        app().shortcutPressed();
        if (app().isRecording() && !text.isEmpty())
            analyzer().readingsOnFinalize = {{text, true}};
    }

    // Queued calls run (levels, notices), and time passes for the coordinator and the media queue.
    void advance(double seconds)
    {
        QCoreApplication::sendPostedEvents();
        desktop().clock.advance(Seconds(seconds));
        desktop().mediaQueue.advance(Seconds(seconds));
        QCoreApplication::sendPostedEvents();
    }

    void releaseAfter(double seconds)
    {
        advance(seconds);
        app().shortcutReleased();
        advance(0);
    }

private Q_SLOTS:
    void init()
    {
        m_coordinator.reset();
        QFile::remove(m_dir.filePath(QStringLiteral("history.json")));
        QFile::remove(m_dir.filePath(QStringLiteral("settings.json")));
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
        build();
        QVERIFY(app().engine().readyFormat(Language::fr));
    }

    void gestureDecidesHowTheDictationGoesOn_data()
    {
        QTest::addColumn<double>("held");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("recording");
        QTest::addColumn<bool>("cancelled");

        QTest::newRow("a tap shorter than 0.3 s keeps recording hands-free")
            << 0.299 << QString() << true << false;
        QTest::newRow("a release at 0.3 s finishes") << 0.3 << QString() << false << false;
        QTest::newRow("another key during the hold abandons")
            << 1.0 << QStringLiteral("other during") << false << true;
        QTest::newRow("typing during a hands-free dictation is ignored")
            << 0.1 << QStringLiteral("other after") << true << false;
        QTest::newRow("escape ends a hands-free dictation too")
            << 0.1 << QStringLiteral("escape after") << false << true;
    }

    void gestureDecidesHowTheDictationGoesOn()
    {
        QFETCH(double, held);
        QFETCH(QString, key);
        QFETCH(bool, recording);
        QFETCH(bool, cancelled);

        press(QStringLiteral(" bonjour  le monde "));
        QVERIFY(app().hotkeys()->capturesEscape());
        if (key == QLatin1String("other during"))
            app().otherKeyPressed();
        releaseAfter(held);
        if (key == QLatin1String("other after"))
            app().otherKeyPressed();
        if (key == QLatin1String("escape after"))
            app().escapePressed();

        QCOMPARE(app().isRecording(), recording);
        QCOMPARE(app().hotkeys()->capturesEscape(), recording);
        QCOMPARE(analyzer().cancelCalls, cancelled ? 1 : 0);
        QCOMPARE(app().history().size(), !recording && !cancelled ? 1 : 0);
        if (!recording && !cancelled) {
            QCOMPARE(app().status(), RecordingStatus::inserted(3));
            QCOMPARE(app().history().first().text, QStringLiteral("Bonjour le monde"));
        }
    }

    // Other launches' commands act as the shortcut does. A desktop that only runs a command (GNOME) runs
    // `--shortcut` at the press and at each keyboard repeat, the first 0.5 s later, then every 30 ms: a
    // run within 0.75 s of the press, then within 0.15 s of the last one (more once runs came late),
    // is the same hold.
    void commandsActLikeTheShortcut_data()
    {
        // "word@seconds" in order; what the coordinator went through by `until`, and whether it is then
        // hands-free.
        QTest::addColumn<QString>("commands");
        QTest::addColumn<double>("until");
        QTest::addColumn<QString>("happened");
        QTest::addColumn<bool>("handsFree");

        QString gnomeHold = QStringLiteral("shortcut@0");
        for (int repeat = 0; repeat < 34; ++repeat)
            gnomeHold += QStringLiteral(" shortcut@%1").arg(0.5 + 0.03 * repeat);
        const auto row = [](const char* tag, const char* commands, double until, const char* happened,
                            bool handsFree = false) {
            QTest::newRow(tag) << QString(commands) << until << QString(happened) << handsFree;
        };
        QTest::newRow("held on GNOME: the end of the repeats finishes")
            << gnomeHold << 2.0 << QStringLiteral("start finish") << false;
        row("tapped on GNOME: no repeat keeps recording hands-free", "shortcut@0", 2, "start", true);
        row("tapped on GNOME, the next press finishes", "shortcut@0 shortcut@1.5", 2, "start finish");
        row("a repeat just within the gap is the same hold", "shortcut@0 shortcut@0.5 shortcut@0.649", 0.79,
            "start");
        row("a repeat just after the gap is the next press", "shortcut@0 shortcut@0.5 shortcut@0.651", 0.7,
            "start finish start");
        row("repeats that came 0.1 s late are waited for 0.23 s",
            "shortcut@0 shortcut@0.5 shortcut@0.53 shortcut@0.66 shortcut@0.889", 1.0, "start");
        row("repeats that came 0.1 s late, then none for 0.23 s",
            "shortcut@0 shortcut@0.5 shortcut@0.53 shortcut@0.66", 0.891, "start finish");
        row("a first repeat late but within 0.75 s is a hold", "shortcut@0 shortcut@0.749", 0.8, "start");
        row("a first run after 0.75 s is the next press", "shortcut@0 shortcut@0.751", 0.8, "start finish");
        row("a press the desktop repeats is one press", "press@0 press@0.5 press@0.54 release@1", 1.5,
            "start finish");
        row("press and release 0.2 s apart: hands-free", "press@0 release@0.2", 1, "start", true);
        row("cancel abandons, its release does nothing", "press@0 cancel@0.5 release@1", 1.5, "start cancel");
        row("toggle starts hands-free and finishes", "toggle@0 toggle@1", 1.5, "start finish");
        row("a release without a press does nothing", "release@0 cancel@0.1", 1, "");
    }

    void commandsActLikeTheShortcut()
    {
        QFETCH(QString, commands);
        QFETCH(double, until);
        QFETCH(QString, happened);
        QFETCH(bool, handsFree);

        QStringList seen;
        RecordingStatus::Kind last = RecordingStatus::Idle;
        connect(&app(), &AppCoordinator::statusChanged, this, [&] {
            const RecordingStatus::Kind kind = app().status().kind();
            if (kind == RecordingStatus::Recording)
                seen << QStringLiteral("start");
            else if (kind == RecordingStatus::Transcribing)
                seen << QStringLiteral("finish");
            else if (kind == RecordingStatus::Idle && last == RecordingStatus::Recording)
                seen << QStringLiteral("cancel");
            last = kind;
        });
        double now = 0;
        for (const QString& command : commands.split(u' ', Qt::SkipEmptyParts)) {
            const double at = command.section(u'@', 1).toDouble();
            advance(at - now);
            now = at;
            app().runCommand(*commandFromWord(command.section(u'@', 0, 0).toStdString()));
        }
        advance(until - now);
        QCOMPARE(seen.join(u' '), happened);
        QCOMPARE(app().handsFree(), handsFree);
    }

    // Where the text goes and what the clipboard holds at once and 0.6 s later: only a paste into a field
    // gives the user's clipboard back; a widget that takes the text straight (Wayland) leaves it alone.
    void outcomeDependsOnAccessAndTheFocusedField_data()
    {
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<std::optional<FocusedElementFacts>>("focus");
        QTest::addColumn<std::optional<TextInsertion>>("straight");
        QTest::addColumn<RecordingStatus>("status");
        QTest::addColumn<int>("pastes");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("afterwards");

        const auto row = [](const char* name, const char* said, bool trusted,
                            std::optional<FocusedElementFacts> focus, std::optional<TextInsertion> straight,
                            const RecordingStatus& status, int pastes, const char* clipboard,
                            const char* afterwards) {
            QTest::newRow(name) << QString::fromUtf8(said) << trusted << focus << straight << status << pastes
                                << QString::fromUtf8(clipboard) << QString::fromUtf8(afterwards);
        };
        const FocusedElementFacts field{QStringLiteral("entry"), true};
        const FocusedElementFacts button{QStringLiteral("push button"), false};
        const auto inserted = RecordingStatus::inserted(2);
        const auto copied = [](const char* missing) {
            return RecordingStatus::message(
                QStringLiteral("Copié dans le presse-papier (%1 requise)").arg(QString::fromUtf8(missing)));
        };
        row("text field", "deux mots", true, field, {}, inserted, 1, "Deux mots", "avant");
        row("no answer about the focus counts as a field", "deux mots", true, {}, {}, inserted, 1,
            "Deux mots", "avant");
        row("not a text field", "deux mots", true, button, {},
            RecordingStatus::message(
                QStringLiteral("Aucun champ de texte actif : le texte est copié, collez-le avec ⌘V")),
            1, "Deux mots", "Deux mots");
        row("no input access", "deux mots", false, field, {}, copied("Accessibilité"), 0, "Deux mots",
            "Deux mots");
        row("nothing recognised", "", true, field, {}, RecordingStatus::idle(), 0, "avant", "avant");
        row("taken straight, unread and with no right to type: never pasted a second time", "deux mots",
            false, field, TextInsertion::unconfirmed, inserted, 0, "avant", "avant");
        row("refused straight, then pasted", "deux mots", true, field, TextInsertion::notInserted, inserted,
            1, "Deux mots", "avant");
        // Where the desktop lends the keyboard, the message names the consent to give.
        row("refused straight, no consent to type", "deux mots", false, field, TextInsertion::notInserted,
            copied("Saisie au clavier"), 0, "Deux mots", "Deux mots");
    }

    void outcomeDependsOnAccessAndTheFocusedField()
    {
        QFETCH(QString, said);
        QFETCH(bool, trusted);
        QFETCH(std::optional<FocusedElementFacts>, focus);
        QFETCH(std::optional<TextInsertion>, straight);
        QFETCH(RecordingStatus, status);
        QFETCH(int, pastes);
        QFETCH(QString, clipboard);
        QFETCH(QString, afterwards);
        if (straight) {
            // A Wayland session: the desktop binds the shortcut, widgets may take the text straight.
            m_coordinator.reset();
            desktop().desktopShortcut = &m_desktopShortcut;
            desktop().directInsertion = true;
            build();
            desktop().focusedElement.insertion = *straight;
        }
        desktop().inputAccess.trusted = trusted;
        desktop().focusedElement.facts = focus;
        desktop().pasteboard.copyFromOtherProgram(
            {PasteboardItem{{{QStringLiteral("text/plain"), "avant"}}}});
        const int changes = desktop().pasteboard.changeCount();

        press(said);
        releaseAfter(1);
        QCOMPARE(app().status(), status);
        QCOMPARE(this->pastes(), pastes);
        QCOMPARE(app().history().size(), said.isEmpty() ? 0 : 1);
        QCOMPARE(clipboardText(desktop().pasteboard), clipboard);
        if (clipboard == QLatin1String("avant"))
            QCOMPARE(desktop().pasteboard.changeCount(), changes);
        advance(0.6);
        QCOMPARE(clipboardText(desktop().pasteboard), afterwards);
    }

    // The application in front at the start gets the text. It is brought back first only when this
    // program took its place (its panel or window was clicked), and given 0.15 s to take the focus; where
    // no program may do that (Wayland), nothing is waited for.
    void theTargetComesBackOnlyFromThisProgram_data()
    {
        QTest::addColumn<int>("atStart");
        QTest::addColumn<int>("atDelivery");
        QTest::addColumn<bool>("canActivate");
        QTest::addColumn<bool>("activated");
        QTest::newRow("this program in front at the start: no target") << self << self << true << false;
        QTest::newRow("the user moved on: the text goes there") << inEditor << inBrowser << true << false;
        QTest::newRow("this program took the focus: the target first") << inEditor << self << true << true;
        QTest::newRow("the target cannot be brought back: pasted at once")
            << inEditor << self << false << false;
    }

    void theTargetComesBackOnlyFromThisProgram()
    {
        QFETCH(int, atStart);
        QFETCH(int, atDelivery);
        QFETCH(bool, canActivate);
        QFETCH(bool, activated);
        const RunningApplication fronts[] = {desktop().workspace.self, editor, browser};
        desktop().workspace.canActivate = canActivate;
        desktop().workspace.frontmost = fronts[atStart];
        press();
        desktop().workspace.frontmost = fronts[atDelivery];
        releaseAfter(1);
        QCOMPARE(desktop().workspace.activated,
                 activated ? std::vector{editor} : std::vector<RunningApplication>());
        if (activated) {
            advance(0.149);
            QCOMPARE(pastes(), 0);
            advance(0.001);
        }
        QCOMPARE(pastes(), 1);
    }

    // A press that cannot record tells why; its release does nothing.
    void aStartThatCannotRecordSaysWhy_data()
    {
        QTest::addColumn<MicrophoneAuthorization>("microphone");
        QTest::addColumn<RecordingStatus>("atPress");
        QTest::addColumn<RecordingStatus>("oncePrepared");
        const auto refused =
            RecordingStatus::message(QStringLiteral("Micro refusé : autorisez-le dans Parlune"));
        const auto preparing = RecordingStatus::preparing(QStringLiteral("Préparation : Français…"));
        QTest::newRow("microphone denied") << MicrophoneAuthorization::Denied << refused << refused;
        QTest::newRow("language being prepared")
            << MicrophoneAuthorization::Authorized << preparing << RecordingStatus::idle();
    }

    void aStartThatCannotRecordSaysWhy()
    {
        QFETCH(MicrophoneAuthorization, microphone);
        QFETCH(RecordingStatus, atPress);
        QFETCH(RecordingStatus, oncePrepared);
        m_coordinator.reset();
        desktop().recognizer->holdLoads = true;
        desktop().microphone = microphone;
        build();
        press();
        QCOMPARE(app().status(), atPress);
        QVERIFY(desktop().hud.visible);
        releaseAfter(1);
        desktop().recognizer->releaseLoads();
        advance(0);
        QCOMPARE(app().status(), oncePrepared);
        QVERIFY(!app().isRecording());
    }

    // A held dictation runs up to 600 s, silent or not, and is delivered (hands-free silence: see the
    // random sequences).
    void aHeldDictationEndsAfter600Seconds()
    {
        press();
        advance(599.9);
        app().tick();
        QVERIFY(app().isRecording());
        advance(0.2);
        app().tick();
        QVERIFY(!app().isRecording());
        QCOMPARE(app().history().size(), 1);
    }

    // The text before the cursor is read for the preview (none here) and again just before the paste, where
    // an earlier dictation has arrived: the space and capital follow it, and the history keeps the paste.
    void wordsMeetTheTextBeforeTheCursorAtThePaste()
    {
        press(QStringLiteral("merci pour tout point"));
        analyzer().deliver(QStringLiteral("merci pour"), false);
        QCOMPARE(app().livePreview(), QStringLiteral("Merci pour"));
        desktop().focusedElement.textBefore = QStringLiteral("Bonjour.");
        releaseAfter(1);

        const QString pasted = QStringLiteral(" Merci pour tout.");
        QCOMPARE(clipboardText(desktop().pasteboard), pasted);
        QCOMPARE(app().history().first().text, pasted);
        QCOMPARE(app().status(), RecordingStatus::inserted(3));
    }
};

QTEST_GUILESS_MAIN(TestDictationFlow)
#include "tst_dictationflow.moc"
