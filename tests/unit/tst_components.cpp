// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/BrandMark.h"

#include <QTest>

using namespace parlune;

class TestComponents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void trayIconSuitsLightAndDarkPanels()
    {
        const QImage onDark = BrandMark::trayIcon(false, true).pixmap(QSize(22, 22)).toImage();
        const QImage onLight = BrandMark::trayIcon(false, false).pixmap(QSize(22, 22)).toImage();
        QVERIFY(QColor(onDark.pixel(4, 11)).lightness() > 200);
        QVERIFY(QColor(onLight.pixel(4, 11)).lightness() < 60);
    }
};

QTEST_MAIN(TestComponents)
#include "tst_components.moc"
