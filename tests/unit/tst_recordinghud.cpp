// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickRender.h"
#include "StagedCoordinator.h"
#include "app/AppWindowController.h"
#include "speech/SpeechEngine.h"
#include "ui/RecordingHUD.h"

#include <QPointer>
#include <QTest>

using namespace parlune;

using ScreenList = QList<RecordingHUD::ScreenArea>;
Q_DECLARE_METATYPE(std::optional<int>)
Q_DECLARE_METATYPE(std::optional<QPoint>)

class TestRecordingHud : public QObject
{
    Q_OBJECT

    std::unique_ptr<StagedDesktop> m_staged;
    std::unique_ptr<QuickRender> m_render;

    // The panel's content on the coordinator, rendered over a grey desktop.
    QQuickItem* showHud(const QString& name)
    {
        QQuickItem* hud = m_render->create(
            "HUDView {}", {{"coordinator", QVariant::fromValue<QObject*>(&m_staged->coordinator)}});
        return hud && m_render->render(hud, name, QColor(0x6b7b8c)).size() == QSize(420, 60) ? hud : nullptr;
    }

public:
    static void initMain() { QuickRender::useSoftwareRenderer(); }

private Q_SLOTS:
    void initTestCase() { m_render = std::make_unique<QuickRender>(); }
    void cleanupTestCase() { m_render.reset(); }

    void init() { m_staged = std::make_unique<StagedDesktop>(); }
    // The views go before the coordinator they watch.
    void cleanup() { m_render->clear(); }

    void placement_data()
    {
        QTest::addColumn<ScreenList>("screens");
        QTest::addColumn<std::optional<int>>("primary");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<std::optional<QPoint>>("origin");

        // Two screens side by side; the first has a 30-high panel at its bottom.
        const ScreenList two{{QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1050)},
                             {QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1024)}};
        QTest::newRow("the pointer's screen, not the primary")
            << two << std::optional(1) << QPoint(100, 100)
            << std::optional(QPoint(960 - 210, 1050 - 12 - 60));
        QTest::newRow("outside every screen: the primary")
            << two << std::optional(1) << QPoint(-5, 2000)
            << std::optional(QPoint(1920 + 640 - 210, 1024 - 12 - 60));
        QTest::newRow("no screen at all")
            << ScreenList{} << std::optional<int>() << QPoint() << std::optional<QPoint>();
    }

    void placement()
    {
        QFETCH(ScreenList, screens);
        QFETCH(std::optional<int>, primary);
        QFETCH(QPoint, pointer);
        QFETCH(std::optional<QPoint>, origin);
        QCOMPARE(RecordingHUD::placement(screens, primary, pointer, QSize(420, 60)), origin);
    }

    void panelIsReusedAndNotMovedWhileVisible()
    {
        RecordingHUD hud(m_staged->coordinator);
        hud.show();
        QQuickWindow* panel = hud.panel();
        QVERIFY(panel && panel->isVisible());
        // The application being dictated into keeps the focus.
        QVERIFY(panel->flags().testFlags(Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint));
        const QPoint placed = panel->position();

        // Shown again while on screen (the status changed): it stays where it is.
        panel->setPosition(placed + QPoint(5, 5));
        hud.show();
        QCOMPARE(panel->position(), placed + QPoint(5, 5));
        // Once hidden, the next show places the same panel again.
        hud.hide();
        QVERIFY(!panel->isVisible());
        hud.show();
        QCOMPARE(hud.panel(), panel);
        QCOMPARE(panel->position(), placed);
    }

    // The main window, unlike the panel, lives only while it is open: freed with its view when closed.
    void mainWindowIsFreedWhenClosedAndBuiltAgain()
    {
        QTemporaryDir folder;
        QFile view(folder.filePath(QStringLiteral("View.qml")));
        QVERIFY(view.open(QIODevice::WriteOnly));
        view.write("import QtQuick\nItem { required property QtObject coordinator; implicitWidth: 380; "
                   "implicitHeight: 200 }\n");
        view.close();
        AppWindowController windows(m_staged->coordinator, QUrl::fromLocalFile(view.fileName()));
        windows.show();
        QPointer<QQuickWindow> first = windows.window();
        QPointer<QQuickItem> content = first ? first->contentItem()->childItems().value(0) : nullptr;
        QVERIFY(content && first->isVisible() && first->size() == QSize(380, 200));
        windows.show(); // while open, the same window comes forward
        QCOMPARE(windows.window(), first.data());

        first->close();
        QVERIFY(!windows.window());
        QTRY_VERIFY(!first && !content);
        windows.show();
        QVERIFY(windows.window() && windows.window()->isVisible());
    }

    // Hands-free, the caption says so; a live preview too long for the panel keeps its end in sight.
    void recordingShowsItsCaptionThenTheEndOfItsPreview()
    {
        m_staged->coordinator.setStatus(RecordingStatus::recording());
        m_staged->coordinator.setHandsFree(true);
        QQuickItem* hud = showHud(QStringLiteral("hud-hands-free"));
        QVERIFY(hud && shown(hud, "recordingCaption"));
        QCOMPARE(shown(hud, "recordingCaption")->property("text").toString(), "FR · mains libres");

        const QString preview =
            QStringLiteral("je dicte une phrase qui ne tient pas dans le panneau et qui finit ici");
        m_staged->coordinator.setLivePreview(preview);
        hud = showHud(QStringLiteral("hud-long-preview"));
        QQuickItem* shownPreview = hud ? shown(hud, "livePreview") : nullptr;
        QVERIFY(shownPreview && shownPreview->property("truncated").toBool());
        QCOMPARE(shownPreview->property("text").toString(), preview);
        QCOMPARE(shownPreview->width(), 250.0);
        QCOMPARE(shownPreview->property("elide").toInt(), int(Qt::ElideLeft));
    }

    // While the language's model downloads, the panel tells how far it has come and can stop it.
    void modelDownloadIsShownAndCancelledFromThePanel()
    {
        auto installation = std::make_shared<FakeInstallation>();
        m_staged->desktop.recognizer->installation = installation;
        auto preparation = m_staged->coordinator.engine().prepare(Language::fr);
        m_staged->coordinator.setStatus(
            RecordingStatus::preparing(QStringLiteral("Préparation : Français…")));
        installation->progress()->setTransfer(283'000'000, 670'000'000, 2'100'000);
        QQuickItem* hud = showHud(QStringLiteral("hud-model-download"));
        QVERIFY(hud);
        QCOMPARE(
            shown(hud, "progressText")->property("text").toString(),
            QStringLiteral(
                "Téléchargement du modèle français… 42\u00a0% — 2,1\u00a0Mo/\u2060s, encore 4\u00a0min"));
        QVERIFY(QMetaObject::invokeMethod(shown(hud, "cancelModelDownload"), "clicked"));
        QVERIFY(!QCoro::waitFor(preparation));
        QVERIFY(!shown(hud, "cancelModelDownload"));
    }
};

QTEST_MAIN(TestRecordingHud)
#include "tst_recordinghud.moc"
