// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11KeyboardTap.h"

#include "input/KeyCombo.h"
#include "platform/KeyCodes.h"
#include "platform/Log.h"
#include "platform/x11/SyntheticKeys.h"

#include <QTimer>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace parlune {

namespace {

constexpr quint16 capsLockKeyCode = 57;

// The modifier keys by flag, left key first, as virtual key codes.
struct ModifierKeys
{
    quint64 flag;
    quint16 left;
    quint16 right;
};
constexpr std::array<ModifierKeys, 4> modifierKeys{{
    {ModifierFlag::shift, 56, 60},
    {ModifierFlag::control, 59, 62},
    {ModifierFlag::option, 58, 61},
    {ModifierFlag::command, 55, 54},
}};

// Collects the X errors of a run of requests instead of letting Xlib's default handler end the
// program (XGrabKey fails with BadAccess when another client grabbed the same combination).
class ErrorTrap
{
public:
    explicit ErrorTrap(Display* display)
        : m_display(display)
    {
        s_active = this;
        m_previous = XSetErrorHandler(&ErrorTrap::handler);
    }
    ~ErrorTrap()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
        s_active = nullptr;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits for the server's answer to every request so far; the serials of those that failed.
    const std::vector<unsigned long>& failedRequests()
    {
        XSync(m_display, False);
        return m_failed;
    }

private:
    static int handler(Display* display, XErrorEvent* error)
    {
        if (s_active && display == s_active->m_display) {
            s_active->m_failed.push_back(error->serial);
            return 0;
        }
        return s_active && s_active->m_previous ? s_active->m_previous(display, error) : 0;
    }

    static inline ErrorTrap* s_active = nullptr;
    Display* m_display;
    XErrorHandler m_previous = nullptr;
    std::vector<unsigned long> m_failed;
};

// WORKAROUND: Xlib's default handler of a broken connection ends the program; only when the
// process-wide handler returns does Xlib go on to the connection's own exit handler, which may return
// too. Our connections' breaks are let through to it; every other connection keeps the handler it had.
std::vector<Display*> tapConnections;
XIOErrorHandler previousIOErrorHandler = nullptr;

int onIOError(Display* display)
{
    if (std::find(tapConnections.begin(), tapConnections.end(), display) != tapConnections.end())
        return 0;
    return previousIOErrorHandler ? previousIOErrorHandler(display) : 0;
}

void watchIOErrors(Display* display)
{
    // Again at each connection, in case another library set its own handler since.
    const XIOErrorHandler current = XSetIOErrorHandler(&onIOError);
    if (current != &onIOError)
        previousIOErrorHandler = current;
    tapConnections.push_back(display);
}

void closeConnection(Display* display)
{
    XCloseDisplay(display);
    tapConnections.erase(std::remove(tapConnections.begin(), tapConnections.end(), display),
                         tapConnections.end());
}

std::optional<unsigned> x11Keycode(quint16 virtualKeyCode)
{
    const auto keycode = KeyCodes::x11ForVirtual(virtualKeyCode);
    return keycode && *keycode < 256 ? std::optional<unsigned>(*keycode) : std::nullopt;
}

} // namespace

X11KeyboardTap::X11KeyboardTap(SyntheticKeys* ours)
    : m_ours(ours)
{}

X11KeyboardTap::~X11KeyboardTap()
{
    disconnectFromServer();
}

bool X11KeyboardTap::install(Handler handler)
{
    remove();
    m_handler = std::move(handler);
    m_enabled = true;
    if (connectToServer())
        return true;
    m_handler = nullptr;
    m_enabled = false;
    return false;
}

void X11KeyboardTap::remove()
{
    disconnectFromServer();
    m_handler = nullptr;
    m_enabled = false;
}

bool X11KeyboardTap::isEnabled() const
{
    return m_display && !m_connectionLost && m_enabled && m_grabsHeld;
}

void X11KeyboardTap::setEnabled(bool enabled)
{
    if (!m_handler)
        return;
    m_enabled = enabled;
    if (!m_display) {
        if (enabled)
            connectToServer();
        return;
    }
    updateGrabs();
}

void X11KeyboardTap::setSwallowedKeys(std::vector<SwallowedKey> keys)
{
    if (keys == m_swallowed)
        return;
    m_swallowed = std::move(keys);
    if (m_display)
        updateGrabs();
}

std::optional<bool> X11KeyboardTap::isKeyDown(quint16 keyCode)
{
    const auto keycode = x11Keycode(keyCode);
    if (!m_display || m_connectionLost || !keycode)
        return std::nullopt;
    std::array<char, 32> keys{};
    XQueryKeymap(m_display, keys.data());
    // Waiting for the answer may have queued events that the socket will not announce again.
    readEventsLater();
    if (m_connectionLost)
        return std::nullopt;
    return ((keys[*keycode / 8] >> (*keycode % 8)) & 1) != 0;
}

unsigned long X11KeyboardTap::connectionId() const
{
    return m_connectionId;
}

bool X11KeyboardTap::connectToServer()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    // A lost connection is reported as a disabled tap instead of ending the program.
    watchIOErrors(display);
    XSetIOErrorExitHandler(display, &X11KeyboardTap::onIOErrorExit, this);

    int event = 0, error = 0;
    // Raw events reach clients whatever grabs are active only for clients of version 2.1 or later.
    int major = 2, minor = 2;
    if (!XQueryExtension(display, "XInputExtension", &m_xinputOpcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success || major < 2) {
        closeConnection(display);
        return false;
    }

    std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
    XISetMask(bits.data(), XI_RawKeyPress);
    XISetMask(bits.data(), XI_RawKeyRelease);
    // WORKAROUND: while a client grabs the keyboard, X keeps the master keyboard's raw events from
    // that client (it would have them through its grab, were it an XInput2 grab). Our grabs are core
    // grabs, so we would lose the keys of our own shortcut: we listen to the physical keyboards (the
    // slave devices), which nobody grabs, instead.
    XIEventMask mask{XIAllDevices, static_cast<int>(bits.size()), bits.data()};
    {
        ErrorTrap trap(display);
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
        if (!trap.failedRequests().empty()) {
            closeConnection(display);
            return false;
        }
    }

    // Keys already down when we connect (the shortcut's modifiers, typically) count as down.
    std::array<char, 32> keys{};
    XQueryKeymap(display, keys.data());
    m_down.reset();
    for (unsigned keycode = 0; keycode < 256; ++keycode)
        m_down[keycode] = (keys[keycode / 8] >> (keycode % 8)) & 1;

    m_display = display;
    findXTestDevices();
    if (m_ours)
        m_ours->setListening(true);
    // Any resource of ours names the connection; this pixmap is only that.
    m_connectionId = XCreatePixmap(display, DefaultRootWindow(display), 1, 1, 1);
    m_connectionLost = false;
    readModifierMapping();
    m_held.clear();
    updateGrabs();

    m_notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, m_context.get());
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { readEvents(); });
    readEventsLater();
    return true;
}

void X11KeyboardTap::disconnectFromServer()
{
    if (m_notifier) {
        m_notifier->setEnabled(false);
        // This may run inside the notifier's own signal.
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_readScheduled = false;
    if (m_display) {
        if (m_ours)
            m_ours->setListening(false);
        // Closing the connection releases every grab we hold.
        closeConnection(m_display);
        m_display = nullptr;
        m_connectionId = 0;
    }
    m_held.clear();
    m_grabsHeld = true;
    m_down.reset();
}

void X11KeyboardTap::findXTestDevices()
{
    m_xtestDevices.clear();
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(m_display, XIAllDevices, &count);
    for (int i = 0; devices && i < count; ++i) {
        // The server names them after their master: "Virtual core XTEST keyboard".
        const std::string_view name = devices[i].name ? devices[i].name : "";
        if (devices[i].use == XISlaveKeyboard && name.ends_with(" XTEST keyboard"))
            m_xtestDevices.push_back(devices[i].deviceid);
    }
    if (devices)
        XIFreeDeviceInfo(devices);
}

bool X11KeyboardTap::isXTestDevice(int deviceId) const
{
    return m_xtestDevices.empty() ||
           std::find(m_xtestDevices.begin(), m_xtestDevices.end(), deviceId) != m_xtestDevices.end();
}

void X11KeyboardTap::onIOErrorExit(_XDisplay*, void* tap)
{
    static_cast<X11KeyboardTap*>(tap)->m_connectionLost = true;
}

void X11KeyboardTap::readEventsLater()
{
    // Xlib may have read events into its queue while waiting for a reply; the socket then stays quiet.
    if (m_readScheduled || !m_display || !m_notifier || XEventsQueued(m_display, QueuedAlready) == 0)
        return;
    m_readScheduled = true;
    QTimer::singleShot(0, m_context.get(), [this] {
        m_readScheduled = false;
        readEvents();
    });
}

void X11KeyboardTap::readEvents()
{
    Display* const display = m_display;
    bool mappingChanged = false;
    // The handler may remove the tap or reconnect: stop as soon as the connection is not this one.
    while (display && m_display == display && !m_connectionLost && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == GenericEvent && event.xcookie.extension == m_xinputOpcode) {
            if (!XGetEventData(display, &event.xcookie))
                continue;
            const int type = event.xcookie.evtype;
            const auto* raw = static_cast<XIRawEvent*>(event.xcookie.data);
            const unsigned keycode = raw->detail;
            // A master keyboard's copy of a slave's event names the slave as its source.
            const bool fromSlave = raw->deviceid == raw->sourceid;
            const int source = raw->sourceid;
            XFreeEventData(display, &event.xcookie);
            if (fromSlave && (type == XI_RawKeyPress || type == XI_RawKeyRelease)) {
                const bool down = type == XI_RawKeyPress;
                const bool ours = m_ours && isXTestDevice(source) && m_ours->claim(keycode, down);
                keyChanged(keycode, down, ours);
            }
        } else if (event.type == MappingNotify && event.xmapping.request != MappingPointer) {
            XRefreshKeyboardMapping(&event.xmapping);
            mappingChanged = true;
        }
        // The core key events that our grabs bring were already seen as raw events.
    }
    if (m_connectionLost && m_display == display) {
        connectionLost();
        return;
    }
    if (mappingChanged && m_display == display) {
        // Modifiers may sit on other masks now, and the key codes behind our grabs may have moved.
        readModifierMapping();
        if (!updateGrabs(true))
            reportDisabled();
    }
}

void X11KeyboardTap::keyChanged(unsigned keycode, bool down, bool ours)
{
    if (keycode >= m_down.size())
        return;
    const bool wasDown = m_down[keycode];
    m_down[keycode] = down;
    // Our own paste keys change the keyboard's state, but the user did not press them.
    if (ours || !m_enabled || !m_handler)
        return;

    const quint16 key = KeyCodes::virtualForX11(keycode).value_or(unmappedKeyCode);
    if (KeyCombo::isModifierKeyCode(key) || key == capsLockKeyCode) {
        // Left and right keys have key codes of their own: the event tells which one changed, and how.
        if (wasDown != down)
            deliver(EventType::flagsChanged, {key, modifierFlags(), false, down});
        return;
    }
    // The server's auto-repeat brings no raw events; a client that sends a key-down for a key
    // that is down (XTest, some remote desktops) repeats it.
    deliver(down ? EventType::keyDown : EventType::keyUp, {key, modifierFlags(), down && wasDown});
}

quint64 X11KeyboardTap::modifierFlags() const
{
    quint64 flags = 0;
    for (const ModifierKeys& keys : modifierKeys) {
        for (const quint16 key : {keys.left, keys.right}) {
            const auto keycode = x11Keycode(key);
            if (keycode && m_down[*keycode])
                flags |= keys.flag;
        }
    }
    return flags;
}

void X11KeyboardTap::deliver(EventType type, const Event& event)
{
    // The handler decides about swallowing, but here the grabs already did: its answer has no use.
    // A copy, as the handler may remove the tap.
    const Handler handler = m_handler;
    handler(type, event);
}

void X11KeyboardTap::readModifierMapping()
{
    m_flagMasks.clear();
    m_numLockMask = 0;
    XModifierKeymap* map = XGetModifierMapping(m_display);
    if (!map)
        return;
    const auto maskOf = [map](std::optional<unsigned> keycode) -> unsigned {
        if (!keycode || *keycode == 0)
            return 0;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < map->max_keypermod; ++i) {
                if (map->modifiermap[modifier * map->max_keypermod + i] == *keycode)
                    return 1u << modifier;
            }
        }
        return 0;
    };
    for (const ModifierKeys& keys : modifierKeys)
        m_flagMasks.push_back({keys.flag, maskOf(x11Keycode(keys.left)), maskOf(x11Keycode(keys.right))});
    m_numLockMask = maskOf(XKeysymToKeycode(m_display, XK_Num_Lock));
    XFreeModifiermap(map);
}

std::vector<X11KeyboardTap::Grab> X11KeyboardTap::grabsFor(const SwallowedKey& key) const
{
    const auto keycode = x11Keycode(key.keyCode);
    if (!keycode)
        return {};

    // Every X modifier state that means "these flags": Option may be Alt (Mod1) on the left and
    // AltGr (Mod5) on the right, for instance.
    std::vector<unsigned> states{0};
    std::vector<unsigned> optionalStates{0};
    for (const FlagMasks& masks : m_flagMasks) {
        std::vector<unsigned> choices;
        for (const unsigned mask : {masks.left, masks.right}) {
            if (mask && std::find(choices.begin(), choices.end(), mask) == choices.end())
                choices.push_back(mask);
        }
        if (key.anyModifiers) {
            // Escape with any modifiers: with or without each one.
            std::vector<unsigned> expanded;
            for (const unsigned state : optionalStates) {
                expanded.push_back(state);
                for (const unsigned mask : choices)
                    expanded.push_back(state | mask);
            }
            optionalStates = std::move(expanded);
        } else if (key.modifiers & masks.flag) {
            if (choices.empty())
                return {}; // a modifier X does not know: nothing can be grabbed
            std::vector<unsigned> expanded;
            for (const unsigned state : states) {
                for (const unsigned mask : choices)
                    expanded.push_back(state | mask);
            }
            states = std::move(expanded);
        }
    }
    // fn cannot be seen through X: a shortcut that needs it never comes.
    if (key.modifiers & ModifierFlag::function)
        return {};

    // WORKAROUND: X matches grabs on the exact modifier state, locks included: Caps Lock and Num
    // Lock must not keep the shortcut from being swallowed, so each state is grabbed with and
    // without them.
    std::vector<unsigned> locks{0, LockMask};
    if (m_numLockMask)
        locks.insert(locks.end(), {m_numLockMask, m_numLockMask | LockMask});

    std::vector<Grab> grabs;
    for (const unsigned state : key.anyModifiers ? optionalStates : states) {
        for (const unsigned lock : locks) {
            const unsigned modifiers = state | lock;
            const bool duplicate = std::any_of(grabs.begin(), grabs.end(), [modifiers](const Grab& grab) {
                return grab.modifiers == modifiers;
            });
            if (!duplicate)
                grabs.push_back({*keycode, modifiers, !key.anyModifiers || state == 0});
        }
    }
    return grabs;
}

bool X11KeyboardTap::updateGrabs(bool regrabAll)
{
    if (!m_display)
        return false;
    m_grabsHeld = applyGrabs(regrabAll);
    readEventsLater();
    return m_grabsHeld;
}

bool X11KeyboardTap::applyGrabs(bool regrabAll)
{
    const std::vector<SwallowedKey> wanted = m_enabled ? m_swallowed : std::vector<SwallowedKey>{};

    ErrorTrap trap(m_display);
    for (auto held = m_held.begin(); held != m_held.end();) {
        const bool stillWanted = std::find(wanted.begin(), wanted.end(), held->key) != wanted.end();
        if (stillWanted && held->complete && !regrabAll) {
            ++held;
            continue;
        }
        ungrab(*held);
        held = m_held.erase(held);
    }

    struct Pending
    {
        SwallowedKey key;
        std::vector<std::pair<Grab, unsigned long>> requests;
    };
    std::vector<Pending> pending;
    const Window root = DefaultRootWindow(m_display);
    for (const SwallowedKey& key : wanted) {
        const bool held =
            std::any_of(m_held.begin(), m_held.end(), [&key](const HeldKey& h) { return h.key == key; });
        if (held)
            continue;
        Pending request{key, {}};
        for (const Grab& grab : grabsFor(key)) {
            request.requests.push_back({grab, NextRequest(m_display)});
            XGrabKey(m_display, static_cast<int>(grab.keycode), grab.modifiers, root, False, GrabModeAsync,
                     GrabModeAsync);
        }
        pending.push_back(std::move(request));
    }

    const std::vector<unsigned long>& failed = trap.failedRequests();
    bool allHeld = true;
    for (const Pending& request : pending) {
        HeldKey held{request.key, {}, true};
        for (const auto& [grab, serial] : request.requests) {
            if (std::find(failed.begin(), failed.end(), serial) == failed.end())
                held.grabs.push_back(grab);
            else if (grab.essential)
                held.complete = false;
        }
        if (!held.complete) {
            allHeld = false;
            if (m_grabsHeld)
                logLine("Parlune: another program holds the shortcut (key %u), it still reaches the window "
                        "in front",
                        unsigned(request.key.keyCode));
        }
        m_held.push_back(std::move(held));
    }
    return allHeld && std::all_of(m_held.begin(), m_held.end(), [](const HeldKey& h) { return h.complete; });
}

void X11KeyboardTap::ungrab(const HeldKey& held)
{
    for (const Grab& grab : held.grabs)
        XUngrabKey(m_display, static_cast<int>(grab.keycode), grab.modifiers, DefaultRootWindow(m_display));
}

void X11KeyboardTap::connectionLost()
{
    logLine("Parlune: lost the connection to the X server, the shortcut is off until it comes back");
    disconnectFromServer();
    m_connectionLost = false;
    reportDisabled();
}

void X11KeyboardTap::reportDisabled()
{
    if (m_handler)
        deliver(EventType::disabledByTimeout, {});
}

} // namespace parlune
