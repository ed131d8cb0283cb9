// SPDX-License-Identifier: GPL-3.0-or-later
// Another program on the test desktop, for the delivery tests: it shows a focused widget and reports
// what it receives, or owns and reads the clipboard. Everything it says goes to standard output, one
// line at a time.
//
//   test_field line|text|button|none   a window with a line edit, a text edit, a button or nothing
//                                      focused; "ready", then "text <base64 of UTF-8>" on each change
//   test_field copy LABEL              owns the clipboard with text/html, text/plain (LABEL) and
//                                      image/png; "ready"; copies again, as "LABEL-again", on each line
//                                      read from standard input, saying "copied"
//   test_field dump                    "<type> <base64 of bytes>" for each type on the clipboard, "end"
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray pngBytes()
{
    // A real 1x1 PNG, binary through and through.
    return QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");
}

void copy(const QByteArray& label)
{
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("text/html"), "<p><b>" + label + "</b> \xc3\xa9t\xc3\xa9</p>");
    mime->setData(QStringLiteral("text/plain"), label);
    mime->setData(QStringLiteral("image/png"), pngBytes());
    QGuiApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ParluneTestField"));
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    if (mode == QLatin1String("dump")) {
        const QMimeData* mime = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
        const QStringList formats = mime ? mime->formats() : QStringList();
        for (const QString& format : formats)
            say(format.toUtf8() + ' ' + mime->data(format).toBase64());
        say("end");
        return 0;
    }

    if (mode == QLatin1String("copy")) {
        const QByteArray label = argc > 2 ? QByteArray(argv[2]) : QByteArray("copie");
        copy(label);
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &application);
        QObject::connect(input, &QSocketNotifier::activated, [label, input] {
            char buffer[256];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
                input->setEnabled(false);
                QCoreApplication::quit();
                return;
            }
            copy(label + "-again");
            say("copied");
        });
        say("ready");
        return application.exec();
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Parlune test field"));
    auto* layout = new QVBoxLayout(&window);
    QWidget* focus = nullptr;
    if (mode == QLatin1String("line")) {
        auto* edit = new QLineEdit;
        QObject::connect(edit, &QLineEdit::textChanged,
                         [](const QString& text) { say("text " + text.toUtf8().toBase64()); });
        focus = edit;
    } else if (mode == QLatin1String("text")) {
        auto* edit = new QTextEdit;
        QObject::connect(edit, &QTextEdit::textChanged,
                         [edit] { say("text " + edit->toPlainText().toUtf8().toBase64()); });
        focus = edit;
    } else if (mode == QLatin1String("button")) {
        focus = new QPushButton(QStringLiteral("Valider"));
    } else {
        layout->addWidget(new QLabel(QStringLiteral("Rien à saisir ici")));
    }
    if (focus)
        layout->addWidget(focus);
    window.resize(400, 200);
    window.show();
    window.activateWindow();
    if (focus)
        focus->setFocus();

    // Ready once the window really has the keyboard focus.
    auto* poll = new QTimer(&application);
    QObject::connect(poll, &QTimer::timeout, [&window, focus, poll] {
        if (window.isActiveWindow() && (!focus || focus->hasFocus())) {
            poll->stop();
            say("ready");
        } else {
            window.activateWindow();
        }
    });
    poll->start(20);
    return application.exec();
}
