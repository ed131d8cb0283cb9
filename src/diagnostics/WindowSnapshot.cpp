// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/WindowSnapshot.h"

#include "app/HudPresenter.h"
#include "diagnostics/InertDesktop.h"
#include "store/AppSettingsStore.h"
#include "ui/MainWindowModel.h"
#include "ui/MainWindowView.h"
#include "ui/QmlSetup.h"

#include <QCoreApplication>
#include <QCoroSignal>
#include <QCoroTimer>
#include <QGuiApplication>
#include <QPalette>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickItemGrabResult>
#include <QQuickWindow>

#include <cmath>

namespace parlune {

QPalette WindowSnapshot::darkPalette()
{
    QPalette palette;
    const QColor window(0x1e, 0x1e, 0x20);
    const QColor text(0xf2, 0xf2, 0xf2);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2c));
    palette.setColor(QPalette::AlternateBase, QColor(0x32, 0x32, 0x34));
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3c));
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    palette.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    return palette;
}

std::optional<QString> WindowSnapshot::prepare(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--snapshot") == 0) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
            return QString::fromLocal8Bit(argv[i + 1]);
        }
    }
    return std::nullopt;
}

std::unique_ptr<AppCoordinator> WindowSnapshot::storedState()
{
    // A quiet coordinator reads the history; the settings are applied by hand, which saves nothing. Its
    // services do nothing, and live to the end of the run, after any coordinator built on them.
    static InertDesktop desktop;
    auto coordinator = std::make_unique<AppCoordinator>(desktop.services(), false);
    const AppSettings settings = AppSettingsStore().load();
    coordinator->setLanguage(settings.language);
    coordinator->setShortcut(settings.shortcut);
    coordinator->setLaunchAtLogin(settings.launchAtLogin);
    coordinator->setMuteWhileRecording(settings.muteWhileRecording);
    coordinator->setSoundsEnabled(settings.soundsEnabled);
    coordinator->setOnboardingDone(settings.onboardingDone);
    coordinator->setRecognition(settings.recognition);
    return coordinator;
}

QCoro::Task<QImage> WindowSnapshot::render(AppCoordinator& coordinator, ViewServices services, double scale)
{
    QGuiApplication::setPalette(darkPalette());
    QQmlEngine engine;
    prepareQmlEngine(engine);
    MainWindowModel model(coordinator, std::move(services));
    std::unique_ptr<QQuickItem> view = createMainWindowView(engine, model);
    if (!view)
        co_return QImage();

    QQuickWindow window;
    window.setColor(darkPalette().color(QPalette::Window));
    view->setParentItem(window.contentItem());
    const auto fit = [&] {
        const QSize size(int(std::ceil(view->implicitWidth())), int(std::ceil(view->implicitHeight())));
        window.resize(size);
        view->setSize(size);
    };
    fit();
    window.show();
    // The first frames can still be laying out text: the size settles after a few.
    for (int frame = 0; frame < 4; ++frame) {
        co_await QCoro::sleepFor(std::chrono::milliseconds(40));
        fit();
    }
    if (view->width() <= 0 || view->height() <= 0)
        co_return QImage();
    const QSharedPointer<QQuickItemGrabResult> grab = view->grabToImage(
        QSize(int(std::lround(view->width() * scale)), int(std::lround(view->height() * scale))));
    if (!grab)
        co_return QImage();
    co_await qCoro(grab.data(), &QQuickItemGrabResult::ready);
    QImage image = grab->image();
    view.reset();
    co_return image;
}

QCoro::Task<> WindowSnapshot::run(QString path, AppCoordinator& coordinator, ViewServices services)
{
    // Gives the coordinator a moment to finish starting, as the window would see it.
    co_await services.clock->sleep(Seconds(1.0));
    const QImage image = co_await render(coordinator, std::move(services), scale);
    // A folder that does not exist or a failed rendering leaves no file; the exit is normal either way.
    if (!image.isNull())
        image.save(path, "PNG");
    QCoreApplication::exit(0);
}

} // namespace parlune
