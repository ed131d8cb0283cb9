// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/InstallationText.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace parlune {

namespace {

const QChar nbsp(0x00a0);

QString translated(const char* text)
{
    return QCoreApplication::translate("InstallationText", text);
}

// Three significant digits at most: "850", "42,2", "2,1", "1,3".
QString decimal(double value)
{
    const QLocale french(QLocale::French);
    const int decimals = value >= 100 ? 0 : 1;
    QString text = french.toString(value, 'f', decimals);
    // "2,0" reads better as "2".
    const QString zero = french.decimalPoint() + QLatin1Char('0');
    if (text.endsWith(zero))
        text.chop(zero.size());
    return text;
}

} // namespace

QString InstallationText::describe(const InstallationProgress& progress, const QString& model)
{
    using Step = InstallationProgress::Step;
    const int percent = std::min(99, int(std::floor(progress.fractionCompleted() * 100)));
    const QString percentText = QString::number(percent) + nbsp + QLatin1Char('%');
    switch (progress.step()) {
    case Step::waiting:
        return translated("Téléchargement du %1 par un autre Parlune… %2").arg(model, percentText);
    case Step::downloading: {
        QString text = translated("Téléchargement du %1… %2").arg(model, percentText);
        const std::optional<double> rate = progress.bytesPerSecond();
        const std::optional<double> left = progress.secondsRemaining();
        if (rate && left)
            text += translated(" — %1, encore %2").arg(speed(*rate), duration(*left));
        return text;
    }
    case Step::verifying:
        return translated("Vérification du %1…").arg(model);
    case Step::installing:
        return translated("Installation du %1…").arg(model);
    case Step::loading:
        return translated("Chargement du %1…").arg(model);
    }
    return {};
}

QString InstallationText::size(qint64 bytes)
{
    if (bytes >= 1'000'000'000)
        return decimal(double(bytes) / 1e9) + nbsp + translated("Go");
    if (bytes >= 1'000'000)
        return decimal(double(bytes) / 1e6) + nbsp + translated("Mo");
    return QString::number(std::max<qint64>(1, (bytes + 999) / 1000)) + nbsp + translated("ko");
}

QString InstallationText::speed(double bytesPerSecond)
{
    // A word joiner after the slash: a line never ends between "Mo/" and "s".
    return size(qint64(std::llround(bytesPerSecond))) + QStringLiteral("/\u2060s");
}

QString InstallationText::duration(double seconds)
{
    const qint64 whole = std::max<qint64>(1, qint64(std::ceil(seconds)));
    if (whole < 90)
        return QString::number(whole) + nbsp + QLatin1Char('s');
    const qint64 minutes = (whole + 59) / 60;
    if (minutes < 60)
        return QString::number(minutes) + nbsp + QLatin1String("min");
    return QStringLiteral("%1%2h%2%3").arg(minutes / 60).arg(nbsp).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace parlune
