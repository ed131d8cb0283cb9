// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickRender.h"
#include "ui/BrandMark.h"

#include <QTest>

using namespace parlune;

class TestComponents : public QObject
{
    Q_OBJECT

    std::unique_ptr<QuickRender> m_render;

public:
    static void initMain() { QuickRender::useSoftwareRenderer(); }

private Q_SLOTS:
    void initTestCase() { m_render = std::make_unique<QuickRender>(); }
    void cleanupTestCase() { m_render.reset(); }

    void trayMarkGrowsItsInnerBarsWhileRecording()
    {
        QCOMPARE(BrandMark::menuBarImage(false).size(), QSize(18, 18));
        const QImage idle = BrandMark::menuBarImage(false, 100);
        const QImage recording = BrandMark::menuBarImage(true, 100);
        QuickRender::save(idle, QStringLiteral("tray-idle-100"));
        QuickRender::save(recording, QStringLiteral("tray-recording-100"));
        // The rows more than half inked through a column, as "top+height".
        const auto bar = [](const QImage& image, int x) {
            QList<int> rows;
            for (int y = 0; y < image.height(); ++y) {
                if (qAlpha(image.pixel(x, y)) > 128)
                    rows << y;
            }
            return rows.isEmpty() ? QString() : QStringLiteral("%1+%2").arg(rows.first()).arg(rows.size());
        };
        // On the 100-point grid the outer bars stay 64 high; the middle one grows from 26 to 57.2 and its
        // neighbours from 16 to 35.2, all centred on the middle row.
        QCOMPARE(QStringList({bar(idle, 21), bar(idle, 36), bar(idle, 51), bar(idle, 81)}),
                 QStringList({"18+64", "42+16", "37+26", "18+64"}));
        QCOMPARE(QStringList({bar(recording, 21), bar(recording, 36), bar(recording, 51)}),
                 QStringList({"18+64", "33+34", "22+56"}));
        // Only black, which the tray tints; the gaps between bars stay clear.
        QCOMPARE(QColor(idle.pixel(51, 50)).rgb() & 0xffffff, 0u);
        QCOMPARE(qAlpha(recording.pixel(28, 50)), 0);
    }

    void trayIconSuitsLightAndDarkPanels()
    {
        const QImage onDark = BrandMark::trayIcon(false, true).pixmap(QSize(22, 22)).toImage();
        const QImage onLight = BrandMark::trayIcon(false, false).pixmap(QSize(22, 22)).toImage();
        QVERIFY(QColor(onDark.pixel(4, 11)).lightness() > 200);
        QVERIFY(QColor(onLight.pixel(4, 11)).lightness() < 60);
    }

    void keycapKeepsItsMinimumSizeAndGrowsForLongLabels()
    {
        const struct
        {
            const char* label;
            bool large;
            QSize minimum;
            bool wider;
        } keys[] = {{"A", false, {34, 26}, false},
                    {"Contrôle droit", false, {34, 26}, true},
                    {"⌥", true, {76, 64}, false},
                    {"Espace", true, {76, 64}, true}};
        for (const auto& [label, large, minimum, wider] : keys) {
            QQuickItem* key =
                m_render->create("Keycap {}", {{"label", QString::fromUtf8(label)}, {"large", large}});
            QVERIFY(key);
            const QSize size = QSizeF(key->implicitWidth(), key->implicitHeight()).toSize();
            QCOMPARE(size.height(), minimum.height());
            QCOMPARE(size.width() > minimum.width(), wider);
            QVERIFY(size.width() >= minimum.width());
            // Room below the key for its edge.
            const QString name =
                QStringLiteral("keycap-%1-%2").arg(large ? "large" : "small", QString::fromUtf8(label));
            QVERIFY(!m_render->render(key, name, size + QSize(0, 4), QColor(0xec, 0xec, 0xec)).isNull());
        }
    }

    void pressedKeycapSinksOntoItsEdge()
    {
        QQuickItem* key = m_render->create("Keycap { label: \"K\"; large: true }");
        QVERIFY(key);
        const QImage rest =
            m_render->render(key, QStringLiteral("keycap-large-rest"), QSize(76, 70), Qt::white);
        // At rest the dark edge shows below the face.
        QVERIFY(QColor(rest.pixel(38, 65)).lightness() < 235);
        key->setProperty("pressed", true);
        QTRY_COMPARE(key->property("pressure").toDouble(), 1.0);
        const QImage pressed = m_render->rerender(QStringLiteral("keycap-large-sunk"));
        // Sunk by its edge's depth: nothing dark left under it, and its face, now the accent colour,
        // reaches where the edge was.
        QCOMPARE(pressed.pixel(38, 69), QColor(Qt::white).rgb());
        QVERIFY(pressed.pixel(38, 4) != rest.pixel(38, 4));
        key->setProperty("pressed", false);
        QTRY_COMPARE(key->property("pressure").toDouble(), 0.0);
        QCOMPARE(m_render->rerender(QStringLiteral("keycap-large-released")), rest);
    }

    void panelRowsSpanThePanelAndKeepTheirHeight()
    {
        QQuickItem* panel = m_render->create(R"(Panel {
    width: 360
    PanelRow { icon: "mic"; title: "Micro"; detail: "Micro intégré"; Rectangle { width: 36; height: 20; radius: 10; color: Theme.accent } }
    PanelRow { icon: "keyboard"; title: "Raccourci" }
    PanelRow { icon: "speaker.wave.2"; title: "Sons"; detail: "Au début et à la fin de la dictée" }
})");
        QVERIFY(panel);
        m_render->render(panel, QStringLiteral("panel-rows"), QSize(360, int(panel->implicitHeight())),
                         QColor(0xf4f4f6));
        const auto rows = panel->childItems().last()->childItems();
        QCOMPARE(rows.size(), 3);
        // A row without detail still keeps its minimum height.
        for (QQuickItem* row : rows)
            QVERIFY(row->height() >= 46 && row->width() == 360);
        QCOMPARE(panel->implicitHeight(), rows[0]->height() + rows[1]->height() + rows[2]->height());
    }
};

QTEST_MAIN(TestComponents)
#include "tst_components.moc"
