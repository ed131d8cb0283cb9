// SPDX-License-Identifier: GPL-3.0-or-later
// From the key press to the recording started, through the session's real keyboard backend: on X11
// an XTest key seen by the X11 tap; on Wayland a key typed on a RemoteDesktop portal keyboard, which
// KWin turns into the GlobalShortcuts portal's Activated. The coordinator runs on fakes for everything
// else (microphone, recogniser), so the figure is the shortcut's road alone. Run it inside
// scripts/session, and inside scripts/session --wayland for the Wayland figure.
#include "FakeDesktop.h"
#include "PortalKeyboard.h"
#include "QtBenchmarkMain.h"
#include "platform/DisplaySession.h"
#include "platform/KeyCodes.h"
#include "platform/portal/PortalKeyboardTap.h"
#include "platform/x11/X11KeyboardTap.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

using namespace parlune;

namespace {

using Clock = std::chrono::steady_clock;

constexpr quint16 space = 49, leftCtrl = 59, leftOption = 58;

// The shortcut Control-Option-Space, pressed and released.
class Keys
{
public:
    virtual ~Keys() = default;
    virtual void shortcut(bool down) = 0;
};

class X11Keys final : public Keys
{
public:
    X11Keys()
        : m_display(XOpenDisplay(nullptr))
    {}
    ~X11Keys() override
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool isReady() const { return m_display; }
    void shortcut(bool down) override
    {
        const quint16 keys[] = {leftCtrl, leftOption, space};
        for (int i = 0; i < 3; ++i) {
            const quint16 key = keys[down ? i : 2 - i];
            XTestFakeKeyEvent(m_display, *KeyCodes::x11ForVirtual(key), down, CurrentTime);
        }
        XFlush(m_display);
    }

private:
    Display* m_display;
};

class WaylandKeys final : public Keys
{
public:
    void shortcut(bool down) override
    {
        m_keyboard.chord({PortalKeyboard::leftControl, PortalKeyboard::leftAlt, PortalKeyboard::space}, down);
    }
    bool isReady() const { return m_keyboard.isReady(); }

private:
    PortalKeyboard m_keyboard;
};

template <typename Predicate> bool runEventsUntil(Predicate done)
{
    const auto limit = Clock::now() + std::chrono::seconds(5);
    while (!done() && Clock::now() < limit)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

void keyPressToRecording(benchmark::State& state)
{
    const bool wayland = displaySession() == DisplaySession::wayland;
    QTemporaryDir folder;
    FakeDesktop desktop(folder.path());
    AppCoordinatorServices services = desktop.services();
    std::unique_ptr<KeyboardTap> tap;
    std::unique_ptr<Keys> keys;
    if (wayland) {
        auto portalTap = std::make_unique<PortalKeyboardTap>();
        services.desktopShortcut = portalTap.get();
        tap = std::move(portalTap);
        auto waylandKeys = std::make_unique<WaylandKeys>();
        if (!waylandKeys->isReady()) {
            state.SkipWithError("no RemoteDesktop portal: run inside scripts/session --wayland");
            return;
        }
        keys = std::move(waylandKeys);
    } else {
        tap = std::make_unique<X11KeyboardTap>();
        auto x11Keys = std::make_unique<X11Keys>();
        if (!x11Keys->isReady()) {
            state.SkipWithError("no X display: run inside scripts/session");
            return;
        }
        keys = std::move(x11Keys);
    }
    services.keyboardTap = tap.get();
    AppCoordinator coordinator(std::move(services), true);
    coordinator.setShortcut({space, ModifierFlag::control | ModifierFlag::option, false});
    if (!runEventsUntil([&] { return coordinator.shortcutReady(); })) {
        state.SkipWithError("the shortcut was not bound");
        return;
    }
    Clock::time_point startedAt;
    QObject::connect(&coordinator, &AppCoordinator::isRecordingChanged, [&] {
        if (coordinator.isRecording())
            startedAt = Clock::now();
    });

    std::vector<double> samples;
    for (auto _ : state) {
        const auto sentAt = Clock::now();
        keys->shortcut(true);
        if (!runEventsUntil([&] { return coordinator.isRecording(); })) {
            state.SkipWithError(
                ("the press never started a recording, after " + std::to_string(samples.size())).c_str());
            break;
        }
        const std::chrono::duration<double> elapsed = startedAt - sentAt;
        state.SetIterationTime(elapsed.count());
        samples.push_back(elapsed.count() * 1000.0);
        // The release of a tap leaves it hands-free; the menu's stop ends it.
        keys->shortcut(false);
        runEventsUntil([&] { return coordinator.handsFree(); });
        coordinator.toggle();
        runEventsUntil([&] { return !coordinator.isRecording(); });
    }
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    state.SetLabel(wayland ? "Wayland (portals)" : "X11");
    state.counters["median_ms"] = samples[samples.size() / 2];
    state.counters["worst_ms"] = samples.back();
}

} // namespace

BENCHMARK(keyPressToRecording)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

PARLUNE_QT_BENCHMARK_MAIN(QGuiApplication)
