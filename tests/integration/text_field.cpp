// SPDX-License-Identifier: GPL-3.0-or-later
// A window with one text field, standing for "the application in front" in the keyboard tests. It
// prints "ready" once the field has the keyboard focus, then "press <X key code>" for every key
// other than a modifier that reaches the field.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>

namespace {

class KeyPrinter : public QObject
{
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool modifier = key->key() == Qt::Key_Control || key->key() == Qt::Key_Shift ||
                                  key->key() == Qt::Key_Alt || key->key() == Qt::Key_Meta ||
                                  key->key() == Qt::Key_Super_L || key->key() == Qt::Key_Super_R ||
                                  key->key() == Qt::Key_AltGr;
            if (!modifier) {
                std::printf("press %u\n", key->nativeScanCode());
                std::fflush(stdout);
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QLineEdit field;
    KeyPrinter printer;
    field.installEventFilter(&printer);
    field.setGeometry(0, 0, 400, 60);
    field.show();

    // Without a window manager nobody gives us the focus: ask until we have it.
    QTimer focus;
    QObject::connect(&focus, &QTimer::timeout, &field, [&] {
        if (field.isActiveWindow() && field.hasFocus()) {
            focus.stop();
            std::printf("ready\n");
            std::fflush(stdout);
            return;
        }
        field.activateWindow();
        field.setFocus();
    });
    focus.start(50);
    return application.exec();
}
