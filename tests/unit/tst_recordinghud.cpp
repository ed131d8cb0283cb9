// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeDesktop.h"
#include "QuickRender.h"
#include "StagedCoordinator.h"
#include "ui/RecordingHUD.h"

#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace parlune;

using ScreenList = QList<RecordingHUD::ScreenArea>;
Q_DECLARE_METATYPE(std::optional<int>)
Q_DECLARE_METATYPE(std::optional<QPoint>)

namespace {

// The visible one of the items named `name` under `root`.
QQuickItem* visibleChild(QQuickItem* root, const char* name)
{
    for (QQuickItem* item : root->findChildren<QQuickItem*>(QString::fromLatin1(name))) {
        if (item->isVisible())
            return item;
    }
    return nullptr;
}

} // namespace

class TestRecordingHud : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<StagedCoordinator> m_coordinator;

public:
    static void initMain() { QuickRender::useSoftwareRenderer(); }

private Q_SLOTS:
    void init()
    {
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
        m_coordinator = std::make_unique<StagedCoordinator>(m_desktop->services(), false);
    }

    void cleanup()
    {
        m_coordinator.reset();
        m_desktop.reset();
    }

    void placement_data()
    {
        QTest::addColumn<ScreenList>("screens");
        QTest::addColumn<std::optional<int>>("primary");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<std::optional<QPoint>>("origin");

        // Two screens side by side; the first has a 30-high panel at its bottom.
        const ScreenList two{{QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1050)},
                             {QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1024)}};
        QTest::newRow("first screen") << two << std::optional<int>(0) << QPoint(100, 100)
                                      << std::optional(QPoint(960 - 210, 1050 - 12 - 60));
        QTest::newRow("second screen") << two << std::optional<int>(0) << QPoint(2500, 900)
                                       << std::optional(QPoint(1920 + 640 - 210, 1024 - 12 - 60));
        QTest::newRow("outside every screen: the primary")
            << two << std::optional<int>(1) << QPoint(-5, 2000)
            << std::optional(QPoint(1920 + 640 - 210, 1024 - 12 - 60));
        QTest::newRow("no screen at all")
            << ScreenList{} << std::optional<int>() << QPoint(0, 0) << std::optional<QPoint>();
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
        RecordingHUD hud(*m_coordinator);
        hud.hide(); // nothing to hide yet
        QVERIFY(!hud.panel());

        hud.show();
        QQuickWindow* panel = hud.panel();
        QVERIFY(panel);
        QVERIFY(panel->isVisible());
        QVERIFY(panel->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(panel->flags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(panel->size(), QSize(420, 60));
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

    void contentPerStatus_data()
    {
        QTest::addColumn<RecordingStatus>("status");
        QTest::addColumn<bool>("handsFree");
        QTest::addColumn<QString>("preview");
        QTest::addColumn<QByteArray>("shownItem");
        QTest::addColumn<QString>("text");

        QTest::newRow("idle") << RecordingStatus::idle() << false << QString() << QByteArray("notice")
                              << QStringLiteral("Prêt");
        QTest::newRow("message") << RecordingStatus::message(QStringLiteral("Aucun micro disponible."))
                                 << false << QString() << QByteArray("notice")
                                 << QStringLiteral("Aucun micro disponible.");
        QTest::newRow("preparing") << RecordingStatus::preparing(QStringLiteral("Préparation : Français…"))
                                   << false << QString() << QByteArray("progressText")
                                   << QStringLiteral("Préparation : Français…");
        QTest::newRow("transcribing") << RecordingStatus::transcribing() << false << QString()
                                      << QByteArray("progressText") << QStringLiteral("Transcription");
        QTest::newRow("inserted") << RecordingStatus::inserted(3) << false << QString()
                                  << QByteArray("insertedText") << QStringLiteral("3 mots insérés");
        QTest::newRow("recording held") << RecordingStatus::recording() << false << QString()
                                        << QByteArray("recordingCaption") << QStringLiteral("FR");
        QTest::newRow("recording hands-free")
            << RecordingStatus::recording() << true << QString() << QByteArray("recordingCaption")
            << QStringLiteral("FR · mains libres");
        QTest::newRow("recording with preview")
            << RecordingStatus::recording() << true << QStringLiteral("bonjour tout le monde")
            << QByteArray("livePreview") << QStringLiteral("bonjour tout le monde");
    }

    void contentPerStatus()
    {
        QFETCH(RecordingStatus, status);
        QFETCH(bool, handsFree);
        QFETCH(QString, preview);
        QFETCH(QByteArray, shownItem);
        QFETCH(QString, text);

        m_coordinator->setStatus(status);
        m_coordinator->setHandsFree(handsFree);
        m_coordinator->setLivePreview(preview);
        m_coordinator->setAudioLevel(0.6f);

        QuickRender render;
        QQuickItem* hud = render.create(
            "HUDView {}", {{"coordinator", QVariant::fromValue<QObject*>(m_coordinator.get())}});
        QVERIFY(hud);
        const QString name =
            QStringLiteral("hud-") + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-');
        const QImage image = render.render(hud, name, {}, QColor(0x6b, 0x7b, 0x8c));
        QCOMPARE(QuickRender::logicalSize(image), QSize(420, 60));

        QQuickItem* shown = visibleChild(hud, shownItem.constData());
        QVERIFY(shown);
        QCOMPARE(shown->property("text").toString(), text);
        // The capsule hugs its content and stays inside the panel.
        QQuickItem* capsule = hud->findChild<QQuickItem*>(QStringLiteral("capsule"));
        QVERIFY(capsule->width() < 420);
        QVERIFY(capsule->height() <= 60);
    }

    void longTextsAreCut()
    {
        m_coordinator->setStatus(RecordingStatus::message(
            QString(QStringLiteral("Un message bien trop long pour le panneau. ")).repeated(6)));
        QuickRender render;
        QQuickItem* hud = render.create(
            "HUDView {}", {{"coordinator", QVariant::fromValue<QObject*>(m_coordinator.get())}});
        QVERIFY(hud);
        render.render(hud, QStringLiteral("hud-long-message"), {}, QColor(0x6b, 0x7b, 0x8c));
        QQuickItem* notice = visibleChild(hud, "notice");
        QVERIFY(notice->property("truncated").toBool());
        QCOMPARE(notice->property("lineCount").toInt(), 2);
        QVERIFY(notice->width() <= 300);

        // A long live preview keeps its end in sight, in at most 250.
        m_coordinator->setStatus(RecordingStatus::recording());
        const QString words =
            QStringLiteral("je dicte une phrase qui ne tient pas dans le panneau et qui finit ici");
        m_coordinator->setLivePreview(words);
        QQuickItem* preview = visibleChild(hud, "livePreview");
        QVERIFY(preview);
        QTRY_VERIFY(preview->parentItem()->width() == 250);
        QVERIFY(preview->property("truncated").toBool());
        QCOMPARE(preview->property("elide").toInt(), int(Qt::ElideLeft));
        render.rerender(QStringLiteral("hud-long-preview"));
    }

    void levelBarsFollowTheWave_data()
    {
        QTest::addColumn<double>("level");
        QTest::addColumn<double>("time");
        QTest::newRow("silence") << 0.0 << 0.0;
        QTest::newRow("silence later") << 0.0 << 1.3;
        QTest::newRow("full level") << 1.0 << 0.0;
        QTest::newRow("full level later") << 1.0 << 0.2;
    }

    void levelBarsFollowTheWave()
    {
        QFETCH(double, level);
        QFETCH(double, time);

        QuickRender render;
        QQuickItem* meter = render.create("LevelBars { animated: false; bars: 10; height: 18 }",
                                          {{"level", level}, {"time", time}});
        QVERIFY(meter);
        QCOMPARE(meter->implicitWidth(), 10 * 2.4 + 9 * 2);
        const QList<QQuickItem*> bars = meter->childItems().first()->childItems();
        double tallest = 0;
        double lowest = 18;
        int index = 0;
        for (QQuickItem* bar : bars) {
            if (bar->width() != 2.4) // the Repeater itself
                continue;
            const double wave = (std::sin(8 * time + 0.55 * index) + 1) / 2;
            QVERIFY(qAbs(bar->height() - (3 + 15 * std::max(level, 0.07) * wave)) < 1e-9);
            tallest = std::max(tallest, bar->height());
            lowest = std::min(lowest, bar->height());
            ++index;
        }
        QCOMPARE(index, 10);
        // A silent microphone keeps a low ripple between 3 and 4.05; a full level reaches near 18.
        QVERIFY(lowest >= 3);
        if (level == 0)
            QVERIFY(tallest <= 4.05 + 1e-9);
        else
            QVERIFY(tallest > 17);
    }
};

QTEST_MAIN(TestRecordingHud)
#include "tst_recordinghud.moc"
