// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's content and the walkthrough from their QML, rendered offscreen (pictures kept in
// "renders" for a person to look at): what the user clicks or types reaches the program; any QML warning
// fails the test that caused it.
#include "../unit/QuickRender.h"
#include "../unit/StagedCoordinator.h"
#include "FakeDesktopKeybinding.h"
#include "FakeDesktopShortcut.h"
#include "platform/DesktopShortcutChoice.h"
#include "ui/MainWindowModel.h"
#include "ui/MainWindowView.h"

#include <QGuiApplication>
#include <QTest>

#include <functional>

using namespace parlune;

namespace {

QStringList qmlWarnings;
QtMessageHandler previousHandler = nullptr;

void collectQmlWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg &&
        (message.contains(QLatin1String(".qml")) || message.contains(QLatin1String("QML"))))
        qmlWarnings << message;
    previousHandler(type, context, message);
}

// Every text and button shown lies within the view's width: nothing runs out of the window.
void verifyNothingCutOff(QQuickItem* view)
{
    const std::function<void(QQuickItem*)> check = [&](QQuickItem* item) {
        if (!item->isVisible())
            return;
        if (item->inherits("QQuickText") || item->inherits("QQuickAbstractButton")) {
            const QRectF box = item->mapRectToItem(view, item->boundingRect());
            QVERIFY2(box.left() >= -0.5 && box.right() <= view->width() + 0.5,
                     qPrintable(QStringLiteral("%1 \"%2\" spans %3 to %4 of %5")
                                    .arg(QString::fromLatin1(item->metaObject()->className()),
                                         item->property("text").toString())
                                    .arg(box.left())
                                    .arg(box.right())
                                    .arg(view->width())));
        }
        for (QQuickItem* child : item->childItems())
            check(child);
    };
    check(view);
}

TranscriptEntry entry(const QString& text, int minutesAgo)
{
    return {QUuid::createUuid(), Date::fromDateTime(QDateTime::currentDateTime().addSecs(-60 * minutesAgo)),
            text};
}

} // namespace

class TestWindowViews : public QObject
{
    Q_OBJECT

    std::unique_ptr<QuickRender> m_render;
    std::unique_ptr<StagedDesktop> m_staged;
    std::unique_ptr<MainWindowModel> m_model;

    StagedCoordinator& coordinator() { return m_staged->coordinator; }

    // The window's content on its model, shown.
    QQuickItem* show(const QString& name, AppCoordinator* on = nullptr,
                     DesktopKeybinding* keybinding = nullptr)
    {
        ViewServices services;
        services.keybinding = keybinding;
        services.pasteboard = &m_staged->desktop.pasteboard;
        services.microphoneAuthorized = [] { return true; };
        services.canRequestAccessibility = [] { return true; };
        m_model = std::make_unique<MainWindowModel>(on ? *on : coordinator(), services);
        QQuickItem* view = createMainWindowView(m_render->engine(), *m_model).release();
        if (view)
            m_render->render(view, name, QGuiApplication::palette().color(QPalette::Window));
        return view;
    }

    // Lets page transitions and springs come to rest, gives the window the view's height and renders it.
    void settle(QQuickItem* view, const QString& name)
    {
        QTest::qWait(450);
        view->setSize(QSizeF(view->implicitWidth(), view->implicitHeight()));
        m_render->window()->resize(view->size().toSize());
        m_render->rerender(name);
    }

public:
    static void initMain() { QuickRender::useSoftwareRenderer(); }

private Q_SLOTS:
    void initTestCase()
    {
        previousHandler = qInstallMessageHandler(collectQmlWarnings);
        m_render = std::make_unique<QuickRender>();
    }

    void cleanupTestCase() { m_render.reset(); }

    void init()
    {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        m_staged = std::make_unique<StagedDesktop>();
        coordinator().setShortcut(KeyCombo{62, 0, true});
        coordinator().setAccessibilityGranted(true);
        qmlWarnings.clear();
    }

    void cleanup()
    {
        // The view goes before its model and the coordinator.
        m_render->clear();
        m_model.reset();
        QVERIFY2(qmlWarnings.isEmpty(), qPrintable(qmlWarnings.join(u'\n')));
    }

    void mainWindowFollowsTheStateAndCopiesAClickedTranscript()
    {
        QQuickItem* view = show(QStringLiteral("main-ready"));
        QVERIFY(view);
        settle(view, QStringLiteral("main-ready"));
        QVERIFY(!shown(view, "permissions") && !shown(view, "recent") && !shown(view, "latencyPill"));

        // Five transcripts make three rows; a dictation's latency shows in its pill.
        const QStringList texts{QStringLiteral("Je serai là vers dix-huit heures."),
                                QStringLiteral("Merci pour le compte rendu, je relis la deuxième partie ce "
                                               "soir et je te réponds demain matin sans faute."),
                                "Troisième", "Quatrième", "Cinquième"};
        QList<TranscriptEntry> history;
        for (int i = 0; i < texts.size(); ++i)
            history << entry(texts[i], 10 * i);
        coordinator().setHistory(history);
        coordinator().setLastLatency(0.4249);
        settle(view, QStringLiteral("main-history"));
        QVERIFY(shown(view, "recent") && shown(view, "latencyPill"));
        QCOMPARE(items(view, "historyRow").size(), 3);

        // A click copies the row's text and marks it; a new transcript at the top keeps the mark on it.
        QMetaObject::invokeMethod(items(view, "historyRow").at(1), "clicked");
        QCOMPARE(QString::fromUtf8(m_staged->desktop.pasteboard.content.at(0).data.at(0).second), texts[1]);
        history.prepend(entry(QStringLiteral("Nouveau"), 0));
        coordinator().setHistory(history);
        QStringList marked;
        for (QQuickItem* row : items(view, "historyRow"))
            marked << (row->property("copied").toBool() ? row->property("entryText").toString() : "");
        QCOMPARE(marked, QStringList({"", "", texts[1]}));

        // A stored fn shortcut is warned about with what is still missing.
        coordinator().setShortcut(KeyCombo{63, 0, true});
        settle(view, QStringLiteral("main-fn"));
        QVERIFY(shown(view, "fnWarning") && shown(view, "permissions"));
    }

    // A model that cannot be loaded is told under the keycap, with the button that downloads it again.
    void modelThatCannotBeLoadedOffersAFreshCopy()
    {
        m_staged = std::make_unique<StagedDesktop>(true);
        coordinator().setOnboardingDone(true);
        coordinator().setAccessibilityGranted(true);
        const QString problem =
            QStringLiteral("Español : le modèle de reconnaissance n'a pas pu être chargé.");
        m_staged->desktop.recognizer->problems[QStringLiteral("es-ES")] = {problem, true};
        m_staged->desktop.recognizer->prepareError = RecognitionError{problem};
        coordinator().setLanguage(Language::es);
        QQuickItem* view = show(QStringLiteral("main-model-problem"));
        QVERIFY(view);
        settle(view, QStringLiteral("main-model-problem"));
        QQuickItem* told = shown(view, "modelProblemText");
        QVERIFY(told && shown(view, "downloadModelAgain"));
        QCOMPARE(told->property("text").toString(), problem);
        QVERIFY(QMetaObject::invokeMethod(shown(view, "downloadModelAgain"), "clicked"));
        QCOMPARE(m_staged->desktop.recognizer->setAside, std::vector<QString>{QStringLiteral("es-ES")});
        QVERIFY(!shown(view, "modelProblemText"));
    }

    // GNOME without the shortcuts portal, with the microphone and typing still to allow: the window says
    // there is no shortcut and offers GNOME's keybinding, then shows it; with the portal, its keys. The
    // long French texts wrap inside the window, and no button leaves it.
    void shortcutStatesOnWaylandFitTheWindow()
    {
        QTemporaryDir folder;
        FakeDesktop desktop(folder.path());
        FakeDesktopShortcut portal;
        FakeDesktopKeybinding keybinding;
        DesktopShortcutChoice choice(portal, keybinding);
        desktop.desktopShortcut = &choice;
        StagedCoordinator gnome(desktop, false);
        gnome.setAccessibilityGranted(false);
        portal.set({},
                   QStringLiteral("Ce bureau ne prête pas de raccourcis globaux aux applications (portail "
                                  "GlobalShortcuts absent) : lancez les dictées depuis le menu de Parlune."));
        // The problem is said once as a message, which the window's title shows for a while.
        gnome.setStatus(RecordingStatus::message(gnome.shortcutProblem()));
        QQuickItem* view = show(QStringLiteral("gnome-no-shortcut"), &gnome, &keybinding);
        QVERIFY(view);
        settle(view, QStringLiteral("gnome-no-shortcut"));
        QVERIFY(shown(view, "shortcutRow") && shown(view, "createKeybinding") &&
                !shown(view, "keybindingRow"));
        verifyNothingCutOff(view);

        gnome.setStatus(RecordingStatus::idle());
        QMetaObject::invokeMethod(shown(view, "createKeybinding"), "clicked");
        settle(view, QStringLiteral("gnome-keybinding"));
        QVERIFY(!shown(view, "shortcutRow") && shown(view, "keybindingRow"));
        QVERIFY(shown(view, "subtitle")->property("text").toString().contains("Alt+Super+Espace"));
        verifyNothingCutOff(view);

        // GNOME 48 and KDE bind it through the portal.
        QMetaObject::invokeMethod(shown(view, "removeKeybinding"), "clicked");
        portal.set(QStringLiteral("Ctrl+Alt+Space"));
        settle(view, QStringLiteral("portal"));
        QVERIFY(!shown(view, "shortcutRow") && !shown(view, "keybindingRow"));
        verifyNothingCutOff(view);
        // The view and its model go before this test's coordinator.
        m_render->clear();
        m_model.reset();
    }

    // The choice of recognition in the window and on its walkthrough page: while the accurate model
    // downloads, once its download was called off, once it serves.
    void recognitionChoiceFollowsTheAccurateModel()
    {
        m_staged = std::make_unique<StagedDesktop>(true, true);
        coordinator().setShortcut(KeyCombo{62, 0, true});
        coordinator().setAccessibilityGranted(true);
        coordinator().setOnboardingDone(true);
        auto download = std::make_shared<FakeInstallation>();
        m_staged->desktop.accurate->installation = download;
        QQuickItem* view = show(QStringLiteral("recognition-fast"));
        QVERIFY(view);
        settle(view, QStringLiteral("recognition-fast"));
        QVERIFY(shown(view, "recognitionRow") && !shown(view, "recognitionState"));

        // "Précise" clicked in the window.
        QVERIFY(QMetaObject::invokeMethod(shown(view, "recognitionPicker"), "activated", Q_ARG(int, 1)));
        QCOMPARE(coordinator().recognition(), Recognition::accurate);
        download->progress()->setFractionCompleted(0.42);
        settle(view, QStringLiteral("recognition-downloading"));
        QVERIFY(shown(view, "recognitionState") && shown(view, "recognitionProgress"));

        QMetaObject::invokeMethod(shown(view, "cancelRecognitionDownload"), "clicked");
        settle(view, QStringLiteral("recognition-called-off"));
        QVERIFY(!shown(view, "recognitionProgress"));
        QMetaObject::invokeMethod(shown(view, "retryRecognition"), "clicked");
        QVERIFY(coordinator().accurateInUse());
        settle(view, QStringLiteral("recognition-accurate"));
        QVERIFY(!shown(view, "recognitionState") && !shown(view, "retryRecognition"));

        // The walkthrough's page, while the model downloads again.
        coordinator().setRecognition(Recognition::fast);
        m_staged->desktop.accurate->installation = download = std::make_shared<FakeInstallation>();
        coordinator().setOnboardingDone(false);
        auto* flow = items(view, "onboarding").first()->property("flow").value<OnboardingModel*>();
        while (flow->step() != OnboardingModel::Recognition)
            flow->next();
        coordinator().setRecognition(Recognition::accurate);
        download->progress()->setFractionCompleted(0.07);
        settle(view, QStringLiteral("walkthrough-recognition-downloading"));
        QVERIFY(shown(view, "recognitionProgress"));
        download->end();
    }

    // Given the coordinator alone, as the window controller does, the view builds its own model.
    void walkthroughPagesAnswerReturnAndEndOnTheMainContent()
    {
        // fn as the shortcut, which programs never see: all eight pages.
        coordinator().setShortcut(KeyCombo{63, 0, true});
        coordinator().setOnboardingDone(false);
        coordinator().setAccessibilityGranted(false);
        QQmlComponent component(&m_render->engine(),
                                QUrl(QStringLiteral("qrc:/qt/qml/Parlune/Ui/MainWindowView.qml")));
        auto* view = qobject_cast<QQuickItem*>(component.createWithInitialProperties(
            {{QStringLiteral("coordinator"), QVariant::fromValue<QObject*>(&coordinator())}}));
        QVERIFY2(view, qPrintable(component.errorString()));
        m_render->render(view, QStringLiteral("walkthrough-0"),
                         QGuiApplication::palette().color(QPalette::Window));
        QVERIFY(shown(view, "onboarding"));
        auto* flow = items(view, "onboarding").first()->property("flow").value<OnboardingModel*>();
        QCOMPARE(flow->stepCount(), 8);
        settle(view, QStringLiteral("walkthrough-0"));
        for (int page = 1; page < flow->stepCount(); ++page) {
            if (flow->step() == OnboardingModel::Accessibility)
                coordinator().setAccessibilityGranted(true);
            // Return presses the main button; on the fn page it first swaps fn for the default shortcut.
            if (flow->step() == OnboardingModel::FnKey) {
                QTest::keyClick(m_render->window(), Qt::Key_Return);
                QCOMPARE(coordinator().shortcut(), KeyCombo::defaultCombo());
                settle(view, QStringLiteral("walkthrough-%1-swapped").arg(page - 1));
            }
            QTest::keyClick(m_render->window(), Qt::Key_Return);
            QCOMPARE(flow->stepIndex(), page);
            settle(view, QStringLiteral("walkthrough-%1").arg(page));
            if (flow->step() == OnboardingModel::Practice) {
                // A real, focused text field: a practice dictation pastes into it.
                QQuickItem* field = m_render->window()->activeFocusItem();
                QVERIFY(field && field->objectName() == QStringLiteral("practiceField"));
                QCOMPARE(flow->secondary(), OnboardingModel::SkipPractice);
                QVERIFY(QMetaObject::invokeMethod(field, "insert", Q_ARG(int, 0),
                                                  Q_ARG(QString, "Bonjour à tous")));
                QCOMPARE(flow->practiceText(), QStringLiteral("Bonjour à tous"));
                // Once the practice dictation arrived, nothing to skip, and its latency in the user's
                // decimals.
                coordinator().setLastLatency(0.38);
                QCOMPARE(flow->secondary(), OnboardingModel::Nothing);
                QVERIFY(flow->practiceInstruction().startsWith(QStringLiteral("Texte prêt 0,38 s après")));
                settle(view, QStringLiteral("walkthrough-%1-text").arg(page));
            }
        }
        QCOMPARE(flow->step(), OnboardingModel::Done);
        QTest::keyClick(m_render->window(), Qt::Key_Return);
        QVERIFY(coordinator().onboardingDone());
        settle(view, QStringLiteral("walkthrough-finished"));
        QVERIFY(!shown(view, "onboarding"));
    }
};

QTEST_MAIN(TestWindowViews)
#include "tst_windowviews.moc"
