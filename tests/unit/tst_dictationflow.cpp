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

Q_DECLARE_METATYPE(parlune::TextInsertion)

namespace {

const RunningApplication editor{QStringLiteral("Gedit"), QStringLiteral("gedit"), 42, 7};
const RunningApplication browser{QStringLiteral("firefox-esr"), QStringLiteral("Navigator"), 43, 8};
// Who is in front: this program, the editor or the browser.
constexpr int self = 0, inEditor = 1, inBrowser = 2;
constexpr quint32 speakers = 1;

QString clipboardText(const FakePasteboard& pasteboard)
{
    for (const PasteboardItem& item : pasteboard.content) {
        for (const auto& [type, bytes] : item.data) {
            if (type == QLatin1String("text/plain"))
                return QString::fromUtf8(bytes);
        }
    }
    return {};
}

} // namespace

Q_DECLARE_METATYPE(parlune::MicrophoneAuthorization)

class TestDictationFlow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<AppCoordinator> m_coordinator;

    FakeDesktop& desktop() { return *m_desktop; }
    AppCoordinator& app() { return *m_coordinator; }
    FakeAnalyzer& analyzer() { return desktop().recognizer->lastAnalyzer(); }
    int pastes() { return int(desktop().keySynth.posted.size()); }

    void build() { m_coordinator = std::make_unique<AppCoordinator>(desktop().services(), true); }

    // Presses the shortcut; the dictation, if one starts, will give `text`.
    void press(const QString& text = QStringLiteral("bonjour"))
    {
        app().shortcutPressed();
        if (app().isRecording())
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
        QFile::remove(m_dir.filePath(QStringLiteral("history.json")));
        QFile::remove(m_dir.filePath(QStringLiteral("settings.json")));
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
        desktop().workspace.frontmost = editor;
        desktop().focusedElement.facts = FocusedElementFacts{QStringLiteral("text"), true};
        desktop().mixer.defaultDevice = speakers;
        desktop().mixer.mute[speakers] = false;
        build();
        QVERIFY(app().engine().readyFormat(Language::fr));
    }

    void cleanup()
    {
        m_coordinator.reset();
        m_desktop.reset();
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

    void outcomeDependsOnAccessAndTheFocusedField_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<std::optional<FocusedElementFacts>>("focus");
        QTest::addColumn<RecordingStatus>("status");
        QTest::addColumn<int>("pastes");

        const auto field = FocusedElementFacts{QStringLiteral("entry"), true};
        const auto button = FocusedElementFacts{QStringLiteral("push button"), false};
        QTest::newRow("text field") << true << std::optional(field) << RecordingStatus::inserted(2) << 1;
        QTest::newRow("not a text field")
            << true << std::optional(button)
            << RecordingStatus::message(
                   QStringLiteral("Aucun champ de texte actif : le texte est copié, collez-le avec ⌘V"))
            << 1;
        QTest::newRow("no input access")
            << false << std::optional(field)
            << RecordingStatus::message(QStringLiteral("Copié dans le presse-papier (Accessibilité requise)"))
            << 0;
    }

    void outcomeDependsOnAccessAndTheFocusedField()
    {
        QFETCH(bool, trusted);
        QFETCH(std::optional<FocusedElementFacts>, focus);
        QFETCH(RecordingStatus, status);
        QFETCH(int, pastes);
        desktop().inputAccess.trusted = trusted;
        desktop().focusedElement.facts = focus;
        desktop().pasteboard.copyFromOtherProgram(
            {PasteboardItem{{{QStringLiteral("text/plain"), "avant"}}}});

        press(QStringLiteral("deux mots"));
        releaseAfter(1);
        QCOMPARE(app().status(), status);
        QCOMPARE(this->pastes(), pastes);
        QCOMPARE(clipboardText(desktop().pasteboard), QStringLiteral("Deux mots"));

        // Only a paste into a field gets the user's clipboard back, 0.6 s later.
        advance(0.6);
        const bool restored = trusted && (!focus || focus->editable);
        QCOMPARE(clipboardText(desktop().pasteboard),
                 restored ? QStringLiteral("avant") : QStringLiteral("Deux mots"));
    }

    // Where the session lets the focused widget take the text straight (Wayland), the clipboard and the
    // keys are left alone and no right to type is needed; a widget that refuses gets the paste.
    void fieldTakingTheTextStraightKeepsTheClipboard_data()
    {
        QTest::addColumn<TextInsertion>("insertion");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<int>("pastes");
        QTest::newRow("inserted and read back") << TextInsertion::confirmed << false << 0;
        QTest::newRow("handed over without read-back, never pasted a second time")
            << TextInsertion::unconfirmed << true << 0;
        QTest::newRow("refused, then pasted") << TextInsertion::notInserted << true << 1;
    }

    void fieldTakingTheTextStraightKeepsTheClipboard()
    {
        QFETCH(TextInsertion, insertion);
        QFETCH(bool, trusted);
        QFETCH(int, pastes);
        m_coordinator.reset();
        desktop().directInsertion = true;
        build();
        desktop().inputAccess.trusted = trusted;
        desktop().focusedElement.insertion = insertion;
        desktop().pasteboard.copyFromOtherProgram(
            {PasteboardItem{{{QStringLiteral("text/plain"), "avant"}}}});
        const int changes = desktop().pasteboard.changeCount();

        press(QStringLiteral("deux mots"));
        releaseAfter(1);
        QCOMPARE(app().status(), RecordingStatus::inserted(2));
        QCOMPARE(this->pastes(), pastes);
        QCOMPARE(app().history().size(), 1);
        if (pastes == 0)
            QCOMPARE(desktop().pasteboard.changeCount(), changes);
        advance(0.6);
        QCOMPARE(clipboardText(desktop().pasteboard), QStringLiteral("avant"));
    }

    // Where the desktop lends the keyboard (Wayland) and has not been asked yet, a widget that does not
    // take the text straight leaves it on the clipboard, and the message names the consent to give.
    void withoutTypingOnWaylandTheTextWaitsOnTheClipboard()
    {
        m_coordinator.reset();
        FakeDesktopShortcut shortcut;
        desktop().desktopShortcut = &shortcut;
        desktop().directInsertion = true;
        build();
        desktop().inputAccess.trusted = false;
        desktop().focusedElement.insertion = TextInsertion::notInserted;

        press(QStringLiteral("deux mots"));
        releaseAfter(1);
        QCOMPARE(app().status(), RecordingStatus::message(QStringLiteral(
                                     "Copié dans le presse-papier (Saisie au clavier requise)")));
        QCOMPARE(pastes(), 0);
        QCOMPARE(clipboardText(desktop().pasteboard), QStringLiteral("Deux mots"));
        m_coordinator.reset();
    }

    // This program in front when the text is ready: the application of the dictation is brought back and
    // given 0.15 s to take the focus. Where no program may do that (Wayland), nothing is waited for.
    void reactivationWaitsOnlyWhenItHappens_data()
    {
        QTest::addColumn<bool>("canActivate");
        QTest::newRow("brought back, then pasted") << true;
        QTest::newRow("cannot be brought back, pasted at once") << false;
    }

    void reactivationWaitsOnlyWhenItHappens()
    {
        QFETCH(bool, canActivate);
        desktop().workspace.canActivate = canActivate;
        press(QStringLiteral("texte"));
        desktop().workspace.frontmost = desktop().workspace.self;
        releaseAfter(1);
        QCOMPARE(pastes(), canActivate ? 0 : 1);
        advance(0.15);
        QCOMPARE(pastes(), 1);
        QCOMPARE(desktop().workspace.activated.size(), canActivate ? 1u : 0u);
    }

    // The application in front at the start gets the text. It is brought back first only when this
    // program took its place (its panel or window was clicked), and given 0.15 s to take the focus.
    void theTargetComesBackOnlyFromThisProgram_data()
    {
        QTest::addColumn<int>("atStart");
        QTest::addColumn<int>("atDelivery");
        QTest::addColumn<bool>("activated");
        QTest::newRow("this program in front at the start: no target") << self << self << false;
        QTest::newRow("the user moved on: the text goes there") << inEditor << inBrowser << false;
        QTest::newRow("this program took the focus: the target first") << inEditor << self << true;
    }

    void theTargetComesBackOnlyFromThisProgram()
    {
        QFETCH(int, atStart);
        QFETCH(int, atDelivery);
        QFETCH(bool, activated);
        const RunningApplication fronts[] = {desktop().workspace.self, editor, browser};
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

    // Nothing recognised: neither the clipboard nor the history is touched.
    void anEmptyTextChangesNothing()
    {
        desktop().pasteboard.copyFromOtherProgram(
            {PasteboardItem{{{QStringLiteral("text/plain"), "avant"}}}});
        press();
        analyzer().readingsOnFinalize = {};
        releaseAfter(1);
        QCOMPARE(app().status(), RecordingStatus::idle());
        QCOMPARE(clipboardText(desktop().pasteboard), QStringLiteral("avant"));
        QVERIFY(app().history().isEmpty());
        QCOMPARE(pastes(), 0);
    }

    // A press that cannot record tells why; its release does nothing.
    void aStartThatCannotRecordSaysWhy_data()
    {
        QTest::addColumn<MicrophoneAuthorization>("microphone");
        QTest::addColumn<bool>("languageLoads");
        QTest::addColumn<RecordingStatus>("atPress");
        QTest::addColumn<RecordingStatus>("oncePrepared");
        const auto refused =
            RecordingStatus::message(QStringLiteral("Micro refusé : autorisez-le dans Parlune"));
        const auto preparing = RecordingStatus::preparing(QStringLiteral("Préparation : Français…"));
        QTest::newRow("microphone denied") << MicrophoneAuthorization::Denied << true << refused << refused;
        QTest::newRow("language being prepared")
            << MicrophoneAuthorization::Authorized << true << preparing << RecordingStatus::idle();
        QTest::newRow("language unavailable")
            << MicrophoneAuthorization::Authorized << false << preparing
            << RecordingStatus::message(QStringLiteral("Français n'est pas disponible sur ce Mac."));
    }

    void aStartThatCannotRecordSaysWhy()
    {
        QFETCH(MicrophoneAuthorization, microphone);
        QFETCH(bool, languageLoads);
        QFETCH(RecordingStatus, atPress);
        QFETCH(RecordingStatus, oncePrepared);
        m_coordinator.reset();
        desktop().recognizer->holdLoads = true;
        desktop().recognizer->supported = languageLoads;
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

    void dictationLimits_data()
    {
        QTest::addColumn<bool>("handsFree");
        QTest::addColumn<double>("limit");
        QTest::newRow("30 s of silence end a hands-free dictation") << true << 30.0;
        QTest::newRow("a held dictation runs up to 600 s, silent or not") << false << 600.0;
    }

    void dictationLimits()
    {
        QFETCH(bool, handsFree);
        QFETCH(double, limit);
        press();
        if (handsFree)
            releaseAfter(0.1);
        advance(limit - 0.1);
        app().tick();
        QVERIFY(app().isRecording());
        advance(0.2);
        app().tick();
        QVERIFY(!app().isRecording());
        QCOMPARE(app().history().size(), 1); // what was said is still delivered
    }

    // The field's text before the cursor, read for the preview and again just before the paste, gives
    // the leading space and the capital; the history keeps exactly what was pasted.
    void wordsMeetTheTextBeforeTheCursor_data()
    {
        QTest::addColumn<std::optional<QString>>("before");
        QTest::addColumn<QString>("preview");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<bool>("arrivedMeanwhile");

        const auto row = [](const char* name, std::optional<QString> before, const char* preview,
                            const char* pasted, bool meanwhile = false) {
            QTest::newRow(name) << before << QString::fromUtf8(preview) << QString::fromUtf8(pasted)
                                << meanwhile;
        };
        row("empty field", QString(), "Merci pour", "Merci pour tout.");
        row("after a sentence", QStringLiteral("Bonjour."), "Merci pour", " Merci pour tout.");
        row("after a word", QStringLiteral("Bonjour"), "merci pour", " merci pour tout.");
        row("after a trailing space", QStringLiteral("Bonjour "), "merci pour", "merci pour tout.");
        row("after a line break", QStringLiteral("Bonjour,\n"), "Merci pour", "Merci pour tout.");
        row("field without a text interface", std::nullopt, "Merci pour", "Merci pour tout.");
        row("an earlier dictation arrived while speaking", QStringLiteral("Bonjour."), "Merci pour",
            " Merci pour tout.", true);
    }

    void wordsMeetTheTextBeforeTheCursor()
    {
        QFETCH(std::optional<QString>, before);
        QFETCH(QString, preview);
        QFETCH(QString, pasted);
        QFETCH(bool, arrivedMeanwhile);
        desktop().focusedElement.textBefore = arrivedMeanwhile ? QString() : before;

        press(QStringLiteral("merci pour tout point"));
        analyzer().deliver(QStringLiteral("merci pour"), false);
        QCOMPARE(app().livePreview(), preview);
        desktop().focusedElement.textBefore = before;
        releaseAfter(1);

        QCOMPARE(clipboardText(desktop().pasteboard), pasted);
        QCOMPARE(app().history().first().text, pasted);
        QCOMPARE(app().status(), RecordingStatus::inserted(3));
    }
};

QTEST_GUILESS_MAIN(TestDictationFlow)
#include "tst_dictationflow.moc"
