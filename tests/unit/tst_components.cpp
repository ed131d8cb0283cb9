// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickRender.h"
#include "ui/BrandMark.h"

#include <QTest>

using namespace parlune;

namespace {

// Rows of the image that hold at least one visible pixel, top to bottom.
QPair<int, int> inkedRows(const QImage& image, int column)
{
    int first = -1;
    int last = -1;
    for (int y = 0; y < image.height(); ++y) {
        if (qAlpha(image.pixel(column, y)) > 128) {
            if (first < 0)
                first = y;
            last = y;
        }
    }
    return {first, last};
}

} // namespace

class TestComponents : public QObject
{
    Q_OBJECT

public:
    static void initMain() { QuickRender::useSoftwareRenderer(); }

private Q_SLOTS:
    void trayMarkGrowsItsInnerBarsWhileRecording()
    {
        const QImage idle = BrandMark::menuBarImage(false, 100);
        const QImage recording = BrandMark::menuBarImage(true, 100);
        QCOMPARE(BrandMark::menuBarImage(false).size(), QSize(18, 18));
        QuickRender::save(idle, QStringLiteral("tray-idle-100"));
        QuickRender::save(recording, QStringLiteral("tray-recording-100"));

        // Columns through the middle of each bar: outer bars 64 high both times, the middle one 26 then
        // 57.2, its neighbours 16 then 35.2, all centred on the grid's middle.
        const auto height = [](const QImage& image, int column) {
            const auto [first, last] = inkedRows(image, column);
            return last - first + 1;
        };
        QCOMPARE(height(idle, 21), 64);
        QCOMPARE(height(recording, 21), 64);
        QCOMPARE(height(idle, 81), 64);
        QCOMPARE(height(idle, 51), 26);
        QVERIFY(qAbs(height(recording, 51) - 57) <= 1);
        QCOMPARE(height(idle, 36), 16);
        QVERIFY(qAbs(height(recording, 66) - 35) <= 1);
        QCOMPARE(inkedRows(idle, 51).first, 37);
        // Only black: the tray tints the shape.
        QCOMPARE(QColor(idle.pixel(51, 50)).rgb() & 0xffffff, 0u);
        // The gaps between bars stay clear.
        QCOMPARE(qAlpha(recording.pixel(28, 50)), 0);
    }

    void trayIconSuitsLightAndDarkPanels()
    {
        const QImage onDark = BrandMark::trayIcon(false, true).pixmap(QSize(22, 22)).toImage();
        const QImage onLight = BrandMark::trayIcon(false, false).pixmap(QSize(22, 22)).toImage();
        QCOMPARE(onDark.size(), QSize(22, 22));
        QVERIFY(QColor(onDark.pixel(4, 11)).lightness() > 200);
        QVERIFY(QColor(onLight.pixel(4, 11)).lightness() < 60);
    }

    void keycapSizes_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("large");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<bool>("widerThanMinimum");

        QTest::newRow("one letter") << QStringLiteral("A") << false << false << QSize(34, 26) << false;
        QTest::newRow("one letter pressed") << QStringLiteral("A") << false << true << QSize(34, 26) << false;
        QTest::newRow("long label") << QStringLiteral("Contrôle droit") << false << false << QSize(34, 26)
                                    << true;
        QTest::newRow("large") << QStringLiteral("⌥") << true << false << QSize(76, 64) << false;
        QTest::newRow("large pressed") << QStringLiteral("⌥") << true << true << QSize(76, 64) << false;
        QTest::newRow("large long label")
            << QStringLiteral("Espace") << true << false << QSize(76, 64) << true;
    }

    void keycapSizes()
    {
        QFETCH(QString, label);
        QFETCH(bool, large);
        QFETCH(bool, pressed);
        QFETCH(QSize, minimum);
        QFETCH(bool, widerThanMinimum);

        QuickRender render;
        QQuickItem* key =
            render.create("Keycap {}", {{"label", label}, {"large", large}, {"pressed", pressed}});
        QVERIFY(key);
        const QSizeF size(key->implicitWidth(), key->implicitHeight());
        QCOMPARE(size.height(), minimum.height());
        if (widerThanMinimum)
            QVERIFY(size.width() > minimum.width());
        else
            QCOMPARE(size.width(), minimum.width());

        // Room below the key for its edge.
        const QImage image = render.render(
            key,
            QStringLiteral("keycap-%1").arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-')),
            size.toSize() + QSize(0, 4), QColor(0xec, 0xec, 0xec));
        QVERIFY(!image.isNull());
    }

    void pressedKeycapSinksOntoItsEdge()
    {
        QuickRender render;
        QQuickItem* key = render.create("Keycap { label: \"K\"; large: true }");
        QVERIFY(key);
        render.render(key, QStringLiteral("keycap-large-rest"), QSize(76, 70), Qt::white);
        const QImage rest = render.rerender(QStringLiteral("keycap-large-rest"));
        // At rest the dark edge shows below the face.
        QVERIFY(QColor(rest.pixel(38, 65)).lightness() < 235);

        key->setProperty("pressed", true);
        QTRY_COMPARE(key->property("pressure").toDouble(), 1.0);
        const QImage pressed = render.rerender(QStringLiteral("keycap-large-sunk"));
        // The key sank by its edge's depth and hid its edge: nothing dark left under it, and its face,
        // now the accent colour, reaches where the edge was.
        QCOMPARE(pressed.pixel(38, 69), QColor(Qt::white).rgb());
        QVERIFY(pressed.pixel(38, 4) != rest.pixel(38, 4));

        key->setProperty("pressed", false);
        QTRY_COMPARE(key->property("pressure").toDouble(), 0.0);
        QCOMPARE(render.rerender(QStringLiteral("keycap-large-released")), rest);
    }

    void panelRows()
    {
        QuickRender render;
        QQuickItem* panel = render.create(R"(
Panel {
    width: 360
    PanelRow { icon: "mic"; title: "Micro"; detail: "Micro intégré" ; Rectangle { width: 36; height: 20; radius: 10; color: Theme.accent } }
    PanelRow { icon: "keyboard"; title: "Raccourci" }
    PanelRow { icon: "speaker.wave.2"; title: "Sons"; detail: "Au début et à la fin de la dictée" }
}
)");
        QVERIFY(panel);
        const QImage image =
            render.render(panel, QStringLiteral("panel-rows"), QSize(360, int(panel->implicitHeight())),
                          QColor(0xf4, 0xf4, 0xf6));
        QVERIFY(!image.isNull());
        const auto rows = panel->childItems().last()->childItems();
        QCOMPARE(rows.size(), 3);
        // A row without detail still keeps its minimum height; every row spans the panel.
        for (QQuickItem* row : rows) {
            QVERIFY(row->height() >= 46);
            QCOMPARE(row->width(), 360.0);
        }
        QCOMPARE(panel->implicitHeight(), rows[0]->height() + rows[1]->height() + rows[2]->height());
    }
};

QTEST_MAIN(TestComponents)
#include "tst_components.moc"
