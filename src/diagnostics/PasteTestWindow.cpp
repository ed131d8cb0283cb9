// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/PasteTestWindow.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace parlune {

PasteTestWindow::PasteTestWindow()
    : m_window(std::make_unique<QWidget>(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint))
    , m_textField(new QPlainTextEdit(m_window.get()))
{
    m_window->setWindowTitle(QStringLiteral("Parlune : test de collage"));
    m_window->setFixedSize(520, 160);
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(18);
    m_textField->setFont(font);
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_textField);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), m_window->size());
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
}

PasteTestWindow::~PasteTestWindow() = default;

void PasteTestWindow::show()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_textField->setFocus(Qt::OtherFocusReason);
}

bool PasteTestWindow::isApplicationActive() const
{
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

bool PasteTestWindow::isKey() const
{
    return m_window->isActiveWindow();
}

bool PasteTestWindow::textFieldHasFocus() const
{
    return m_window->focusWidget() == m_textField;
}

QString PasteTestWindow::text() const
{
    return m_textField->toPlainText();
}

void PasteTestWindow::close()
{
    m_window->close();
}

} // namespace parlune
