// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/BrandMark.h"

#include <QPainter>
#include <QPainterPath>

#include <array>

namespace parlune::BrandMark {

namespace {

struct Bar
{
    double left;
    double idleHeight;
    double recordingHeight;
};

// On a 100 × 100 grid; every bar is 11 wide and centred on y = 50.
constexpr std::array<Bar, 5> bars{{
    {15.5, 64, 64},
    {30.5, 16, 35.2},
    {45.5, 26, 57.2},
    {60.5, 16, 35.2},
    {75.5, 64, 64},
}};

QImage drawMark(bool recording, int size, const QColor& colour)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const double unit = size / 100.0;
    for (const Bar& bar : bars) {
        const double height = recording ? bar.recordingHeight : bar.idleHeight;
        const QRectF rect(bar.left * unit, (50 - height / 2) * unit, 11 * unit, height * unit);
        painter.drawRoundedRect(rect, 5.5 * unit, 5.5 * unit);
    }
    return image;
}

} // namespace

QImage menuBarImage(bool recording, int size)
{
    return drawMark(recording, size, Qt::black);
}

QIcon trayIcon(bool recording, bool darkPanel)
{
    const QColor colour = darkPanel ? QColor(Qt::white) : QColor(0x1d, 0x1d, 0x1f);
    QIcon icon;
    for (int size : {16, 18, 22, 24, 32, 36, 44, 48, 64})
        icon.addPixmap(QPixmap::fromImage(drawMark(recording, size, colour)));
    return icon;
}

} // namespace parlune::BrandMark
