// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's content and every walkthrough page, built from their QML and rendered offscreen in
// the light and the dark scheme. The pictures are kept in $PARLUNE_RENDER_DIR (default: "renders" beside
// the test) for a person to look at.
#include "../unit/QuickRender.h"
#include "../unit/TestCoordinator.h"
#include "FakePasteboard.h"
#include "diagnostics/WindowSnapshot.h"
#include "ui/MainWindowModel.h"
#include "ui/MainWindowView.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>

using namespace parlune;

namespace {

// Any QML warning (a broken binding, an unknown property) fails the test that caused it.
QStringList qmlWarnings;
QtMessageHandler previousHandler = nullptr;

void collectQmlWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg &&
        (message.contains(QLatin1String(".qml")) || message.contains(QLatin1String("QML"))))
        qmlWarnings << message;
    previousHandler(type, context, message);
}

// Items by name through the visual tree: repeated rows have no QObject parent to search.
QList<QQuickItem*> items(QQuickItem* root, const char* name)
{
    QList<QQuickItem*> found;
    for (QQuickItem* item : root->childItems()) {
        if (item->objectName() == QLatin1String(name))
            found << item;
        found << items(item, name);
    }
    return found;
}

QQuickItem* child(QQuickItem* root, const char* name)
{
    const QList<QQuickItem*> found = items(root, name);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace

class TestWindowViews : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<TestCoordinator> m_coordinator;
    FakePasteboard m_pasteboard;
    bool m_micAuthorized = true;

    ViewServices services()
    {
        ViewServices services;
        services.pasteboard = &m_pasteboard;
        services.microphoneAuthorized = [this] { return m_micAuthorized; };
        return services;
    }

    // The window's content on its model, rendered; the render owns the window and the view.
    QQuickItem* show(QuickRender& render, MainWindowModel& model, const QString& name)
    {
        std::unique_ptr<QQuickItem> view = createMainWindowView(render.engine(), model);
        if (!view)
            return nullptr;
        QQuickItem* item = view.release();
        render.render(item, name, {}, QGuiApplication::palette().color(QPalette::Window));
        return item;
    }

    // Waits for the layout, then gives the window the view's new height.
    static void fit(QuickRender& render, QQuickItem* view)
    {
        settle();
        render.window()->resize(QSizeF(view->implicitWidth(), view->implicitHeight()).toSize());
        view->setSize(QSizeF(view->implicitWidth(), view->implicitHeight()));
    }

    // Lets page transitions and springs come to rest.
    static void settle() { QTest::qWait(450); }

private Q_SLOTS:
    static void initMain() { QuickRender::useSoftwareRenderer(); }

    void initTestCase() { previousHandler = qInstallMessageHandler(collectQmlWarnings); }

    void init()
    {
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
        m_coordinator = std::make_unique<TestCoordinator>(*m_desktop);
        m_coordinator->setShortcut(KeyCombo{62, 0, true});
        m_micAuthorized = true;
        qmlWarnings.clear();
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    }

    void cleanup()
    {
        QVERIFY2(qmlWarnings.isEmpty(), qPrintable(qmlWarnings.join(u'\n')));
        m_coordinator.reset();
        m_desktop.reset();
        QGuiApplication::setPalette(QPalette());
    }

    void schemes_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void mainWindowSections_data() { schemes_data(); }

    void mainWindowSections()
    {
        QFETCH(bool, dark);
        const QString scheme = dark ? QStringLiteral("dark") : QStringLiteral("light");
        if (dark)
            QGuiApplication::setPalette(WindowSnapshot::darkPalette());
        m_coordinator->setAccessibilityGranted(true);
        // The view goes before its model.
        MainWindowModel model(*m_coordinator, services());
        QuickRender render;
        QQuickItem* view = show(render, model, QStringLiteral("main-ready-") + scheme);
        QVERIFY(view);
        QCOMPARE(view->implicitWidth(), 380.0);
        QVERIFY(!child(view, "permissions")->isVisible());
        QVERIFY(!child(view, "recent")->isVisible());
        QVERIFY(!child(view, "latencyPill")->isVisible());
        const qreal bare = view->implicitHeight();

        // Five transcripts: three rows.
        QList<TranscriptEntry> history;
        const QDateTime now = QDateTime::currentDateTime();
        const QStringList texts{
            QStringLiteral("Je serai là vers dix-huit heures, garde-moi une place."),
            QStringLiteral("Merci pour le compte rendu, je relis la deuxième partie ce soir et "
                           "je te réponds demain matin sans faute."),
            QStringLiteral("Penser à rappeler le garage."), QStringLiteral("Quatrième"),
            QStringLiteral("Cinquième")};
        for (int i = 0; i < texts.size(); ++i)
            history << TranscriptEntry{QUuid::createUuid(), Date::fromDateTime(now.addSecs(-600 * i)),
                                       texts[i]};
        m_coordinator->setHistory(history);
        m_coordinator->setLastLatency(0.4249);
        fit(render, view);
        settle();
        QVERIFY(child(view, "recent")->isVisible());
        QVERIFY(child(view, "latencyPill")->isVisible());
        QVERIFY(view->implicitHeight() > bare);
        render.rerender(QStringLiteral("main-history-") + scheme);

        const QList<QQuickItem*> rows = items(view, "historyRow");
        QCOMPARE(rows.size(), 3);
        QMetaObject::invokeMethod(rows.at(1), "clicked");
        QCOMPARE(m_pasteboard.content.size(), std::size_t(1));
        QCOMPARE(QString::fromUtf8(m_pasteboard.content.front().data.front().second), texts[1]);
        QVERIFY(rows.at(1)->property("copied").toBool());
        QVERIFY(!rows.at(0)->property("copied").toBool());
        // A new transcript at the top keeps the mark on the one copied.
        history.prepend(
            TranscriptEntry{QUuid::createUuid(), Date::fromDateTime(now), QStringLiteral("Nouveau")});
        m_coordinator->setHistory(history);
        const QList<QQuickItem*> after = items(view, "historyRow");
        int copied = 0;
        for (QQuickItem* row : after) {
            if (row->property("copied").toBool()) {
                ++copied;
                QCOMPARE(row->property("entryText").toString(), texts[1]);
            }
        }
        QCOMPARE(copied, 1);
        fit(render, view);
        render.rerender(QStringLiteral("main-copied-") + scheme);

        // Missing accessibility and a dictation under way.
        m_coordinator->setAccessibilityGranted(false);
        m_coordinator->setStatus(RecordingStatus::recording());
        m_coordinator->setIsRecording(true);
        fit(render, view);
        settle();
        QVERIFY(child(view, "permissions")->isVisible());
        QVERIFY(!child(view, "latencyPill")->isVisible());
        render.rerender(QStringLiteral("main-recording-") + scheme);

        m_coordinator->clearHistory();
        QVERIFY(!child(view, "recent")->isVisible());
    }

    // The window controller hands the view the coordinator alone.
    void viewGivenOnlyTheCoordinatorBuildsItsModel()
    {
        m_coordinator->setAccessibilityGranted(true);
        QuickRender render;
        QQmlComponent component(&render.engine(),
                                QUrl(QStringLiteral("qrc:/qt/qml/Parlune/Ui/MainWindowView.qml")));
        std::unique_ptr<QObject> view(component.createWithInitialProperties(
            {{QStringLiteral("coordinator"),
              QVariant::fromValue(static_cast<AppCoordinator*>(m_coordinator.get()))}}));
        QVERIFY2(view, qPrintable(component.errorString()));
        auto* model = view->property("model").value<MainWindowModel*>();
        QVERIFY(model);
        QCOMPARE(model->title(), QStringLiteral("Prêt"));
    }

    void walkthroughPages_data() { schemes_data(); }

    void walkthroughPages()
    {
        QFETCH(bool, dark);
        const QString scheme = dark ? QStringLiteral("dark") : QStringLiteral("light");
        if (dark)
            QGuiApplication::setPalette(WindowSnapshot::darkPalette());
        // fn as the shortcut, and fn busy as it always is under X11: all seven pages.
        m_coordinator->setShortcut(KeyCombo::defaultCombo());
        m_coordinator->setOnboardingDone(false);
        // The view goes before its model.
        MainWindowModel model(*m_coordinator, services());
        QuickRender render;
        QQuickItem* view = show(render, model, QStringLiteral("walkthrough-0-") + scheme);
        QVERIFY(view);
        QCOMPARE(QSizeF(view->implicitWidth(), view->implicitHeight()), QSizeF(380, 500));
        auto* onboarding = child(view, "onboarding");
        QVERIFY(onboarding);
        auto* flow = onboarding->property("flow").value<OnboardingModel*>();
        QVERIFY(flow);
        QCOMPARE(flow->stepCount(), 7);

        for (int page = 1; page < flow->stepCount(); ++page) {
            if (flow->step() == OnboardingModel::Accessibility)
                m_coordinator->setAccessibilityGranted(true);
            // Return presses the main button on every page.
            QTest::keyClick(render.window(), Qt::Key_Return);
            if (flow->stepIndex() != page)
                flow->next();
            QCOMPARE(flow->stepIndex(), page);
            settle();
            render.rerender(QStringLiteral("walkthrough-%1-").arg(page) + scheme);
            if (flow->step() == OnboardingModel::Practice) {
                // A real, focused text field: a practice dictation pastes into it.
                QQuickItem* field = render.window()->activeFocusItem();
                QVERIFY(field);
                QVERIFY(field->inherits("QQuickTextEdit"));
                QCOMPARE(field->objectName(), QStringLiteral("practiceField"));
                QVERIFY(QMetaObject::invokeMethod(field, "insert", Q_ARG(int, 0),
                                                  Q_ARG(QString, QStringLiteral("Bonjour à tous"))));
                QCOMPARE(flow->practiceText(), QStringLiteral("Bonjour à tous"));
                m_coordinator->setLastLatency(0.38);
                settle();
                render.rerender(QStringLiteral("walkthrough-%1-text-").arg(page) + scheme);
            }
        }
        QCOMPARE(flow->step(), OnboardingModel::Done);
        QVERIFY(m_coordinator->launchAtLogin());
        QTest::keyClick(render.window(), Qt::Key_Return);
        QVERIFY(m_coordinator->onboardingDone());
        fit(render, view);
        settle();
        QVERIFY(!child(view, "onboarding"));
        render.rerender(QStringLiteral("walkthrough-finished-") + scheme);
    }
};

QTEST_MAIN(TestWindowViews)
#include "tst_windowviews.moc"
