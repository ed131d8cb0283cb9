// SPDX-License-Identifier: GPL-3.0-or-later
#include <QGuiApplication>

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Parlune"));
    return 0;
}
