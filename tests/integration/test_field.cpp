// SPDX-License-Identifier: GPL-3.0-or-later
// Another program on the test desktop. It answers on standard output, one line at a time.
//
//   test_field                        a line edit in front; "ready", then "press <X key code>" for each
//                                     key other than a modifier that reaches it
//   test_field line|button            a line edit or a button in front; "ready", then "text <base64 of
//                                     UTF-8>" on each change of the line edit
//   test_field line TEXT              the same, with TEXT put on the clipboard by the field itself once it
//                                     has the focus (a Wayland compositor takes a copy only from there)
//   test_field copy LABEL             owns the clipboard (text/plain LABEL and image/png); "ready"
//   test_field dump                   "<type> <base64 of bytes>" for each type on the clipboard
//   test_field press|release KEYSYM   presses or releases one key through XTest, and nothing else
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

int sendKey(const char* keysym, bool down);

void say(const QByteArray& line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

class KeyField : public QLineEdit
{
protected:
    bool event(QEvent* event) override
    {
        static const QList<int> modifiers{Qt::Key_Control, Qt::Key_Shift,   Qt::Key_Alt,  Qt::Key_Meta,
                                          Qt::Key_Super_L, Qt::Key_Super_R, Qt::Key_AltGr};
        if (event->type() == QEvent::KeyPress) {
            if (const auto* key = static_cast<QKeyEvent*>(event); !modifiers.contains(key->key()))
                say("press " + QByteArray::number(key->nativeScanCode()));
        }
        return QLineEdit::event(event);
    }
};

} // namespace

int main(int argc, char** argv)
{
    const QByteArray mode = argc > 1 ? argv[1] : "";
    if ((mode == "press" || mode == "release") && argc == 3)
        return sendKey(argv[2], mode == "press");

    QApplication application(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (mode == "dump") {
        const QMimeData* mime = clipboard->mimeData();
        for (const QString& format : mime ? mime->formats() : QStringList())
            say(format.toUtf8() + ' ' + mime->data(format).toBase64());
        return 0;
    }
    if (mode == "copy" && argc == 3) {
        auto* mime = new QMimeData;
        mime->setData(QStringLiteral("text/plain"), argv[2]);
        // A real 1x1 PNG, binary through and through.
        mime->setData(
            QStringLiteral("image/png"),
            QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDw"
                                   "AEhQGAhKmMIQAAAABJRU5ErkJggg=="));
        clipboard->setMimeData(mime);
        say("ready");
        return application.exec();
    }

    QWidget window;
    QWidget* focus = nullptr;
    if (mode == "line") {
        auto* edit = new QLineEdit;
        QObject::connect(edit, &QLineEdit::textChanged,
                         [](const QString& text) { say("text " + text.toUtf8().toBase64()); });
        focus = edit;
    } else if (mode == "button") {
        focus = new QPushButton(QStringLiteral("Valider"));
    } else {
        focus = new KeyField;
    }
    (new QVBoxLayout(&window))->addWidget(focus);
    window.resize(400, 200);
    window.show();

    // Without a window manager nobody gives us the keyboard focus: ask until we have it.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.isActiveWindow() && focus->hasFocus()) {
            poll.stop();
            if (mode == "line" && argc == 3)
                clipboard->setText(QString::fromUtf8(argv[2]));
            say("ready");
            return;
        }
        window.activateWindow();
        focus->setFocus();
    });
    poll.start(20);
    return application.exec();
}

// Last: Xlib's macros (KeyPress, None, ...) would clash with Qt's names above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

int sendKey(const char* keysym, bool down)
{
    Display* display = XOpenDisplay(nullptr);
    const KeyCode keycode = display ? XKeysymToKeycode(display, XStringToKeysym(keysym)) : 0;
    if (keycode)
        XTestFakeKeyEvent(display, keycode, down, CurrentTime);
    if (display)
        XCloseDisplay(display);
    return keycode ? 0 : 1;
}

} // namespace
