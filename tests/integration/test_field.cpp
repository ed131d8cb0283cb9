// SPDX-License-Identifier: GPL-3.0-or-later
// Another program on the test desktop. It answers on standard output, one line at a time.
//
//   test_field                        a line edit in front; "ready", then "press <X key code>" for each
//                                     key other than a modifier that reaches it
//   test_field line|button [TEXT]     a line edit (holding TEXT, the cursor at its end) or a button in
//                                     front; "ready", then "text <base64 of UTF-8>" on each change of the
//                                     line edit
//   test_field copy LABEL             owns the clipboard (text/plain LABEL and image/png) and the PRIMARY
//                                     selection (text/plain "LABEL selected"); "ready"
//   test_field copyfocused LABEL      the same from a focused window, as a Wayland compositor requires,
//                                     with text/html and an empty marker type besides; "ready"
//   test_field terminal               a terminal stand-in in front: on the bus a terminal without editable
//                                     text, pastes the clipboard's text on Control+Shift+V; "ready", then
//                                     "text <base64 of UTF-8>" on each change
//   test_field dump [primary]         "<type> <base64 of bytes>" for each type on the clipboard, or on the
//                                     PRIMARY selection
//   test_field press|release KEYSYM   presses or releases one key through XTest, and nothing else
#include <QAccessibleWidget>
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

// What terminal emulators show of themselves on the accessibility bus: their role, no editable text.
class TerminalView : public QWidget
{
public:
    TerminalView() { setFocusPolicy(Qt::StrongFocus); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_V && event->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)) {
            m_text += QGuiApplication::clipboard()->text();
            say("text " + m_text.toUtf8().toBase64());
        }
    }

private:
    QString m_text;
};

QMimeData* richContent(const char* label)
{
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("text/plain"), label);
    // A real 1x1 PNG, binary through and through.
    mime->setData(QStringLiteral("image/png"),
                  QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDw"
                                         "AEhQGAhKmMIQAAAABJRU5ErkJggg=="));
    return mime;
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
        const QMimeData* mime = clipboard->mimeData(
            argc > 2 && QByteArray(argv[2]) == "primary" ? QClipboard::Selection : QClipboard::Clipboard);
        for (const QString& format : mime ? mime->formats() : QStringList())
            say(format.toUtf8() + ' ' + mime->data(format).toBase64());
        return 0;
    }
    if (mode == "copy" && argc == 3) {
        clipboard->setMimeData(richContent(argv[2]));
        auto* selected = new QMimeData;
        selected->setData(QStringLiteral("text/plain"), QByteArray(argv[2]) + " selected");
        clipboard->setMimeData(selected, QClipboard::Selection);
        say("ready");
        return application.exec();
    }

    QWidget window;
    QWidget* focus = nullptr;
    if (mode == "line") {
        auto* edit = new QLineEdit(argc > 2 ? QString::fromUtf8(argv[2]) : QString());
        QObject::connect(edit, &QLineEdit::textChanged,
                         [](const QString& text) { say("text " + text.toUtf8().toBase64()); });
        focus = edit;
    } else if (mode == "button") {
        focus = new QPushButton(QStringLiteral("Valider"));
    } else if (mode == "terminal") {
        // Named as a native Wayland terminal emulator, so that the paste is Control+Shift+V.
        QCoreApplication::setApplicationName(QStringLiteral("foot"));
        QAccessible::installFactory([](const QString&, QObject* object) -> QAccessibleInterface* {
            auto* view = dynamic_cast<TerminalView*>(object);
            return view ? new QAccessibleWidget(view, QAccessible::Terminal) : nullptr;
        });
        focus = new TerminalView;
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
            if (mode == "copyfocused" && argc == 3) {
                QMimeData* mime = richContent(argv[2]);
                mime->setData(QStringLiteral("text/html"), QByteArray("<b>") + argv[2] + "</b>");
                mime->setData(QStringLiteral("application/x-parlune-marker"), QByteArray(""));
                clipboard->setMimeData(mime);
            }
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
