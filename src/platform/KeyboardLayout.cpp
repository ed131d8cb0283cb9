// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/KeyboardLayout.h"
#include "platform/KeyCodes.h"

#include <QByteArray>
#include <QChar>

#include <xcb/xcb.h>
// WORKAROUND: libxcb's XKB header names a structure member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace parlune {

struct KeyboardLayout::Keymap
{
    explicit Keymap(xkb_keymap* compiled)
        : keymap(compiled)
    {}
    ~Keymap() { xkb_keymap_unref(keymap); }
    Keymap(const Keymap&) = delete;
    Keymap& operator=(const Keymap&) = delete;

    xkb_keymap* const keymap;
};

namespace {

using Keymap = KeyboardLayout::Keymap;

struct ContextDeleter
{
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
using Context = std::unique_ptr<xkb_context, ContextDeleter>;

Context newContext()
{
    // The names we compile are given explicitly, never picked up behind our back from the environment.
    Context context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    // An unknown layout name is an ordinary outcome for us, not something to print.
    if (context)
        xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);
    return context;
}

std::shared_ptr<const Keymap> compile(const QByteArray& layout, const QByteArray& variant)
{
    const Context context = newContext();
    if (!context)
        return nullptr;
    xkb_rule_names names{};
    names.layout = layout.constData();
    names.variant = variant.isEmpty() ? nullptr : variant.constData();
    xkb_keymap* keymap = xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    return keymap ? std::make_shared<const Keymap>(keymap) : nullptr;
}

// A dead key types nothing by itself; in a label it reads as its accent written alone, which is what
// is printed on the keycap.
constexpr std::array<std::pair<xkb_keysym_t, char32_t>, 13> deadKeyAccents{{
    {XKB_KEY_dead_grave, U'`'},
    {XKB_KEY_dead_acute, U'´'},
    {XKB_KEY_dead_circumflex, U'^'},
    {XKB_KEY_dead_tilde, U'~'},
    {XKB_KEY_dead_macron, U'¯'},
    {XKB_KEY_dead_breve, U'˘'},
    {XKB_KEY_dead_abovedot, U'˙'},
    {XKB_KEY_dead_diaeresis, U'¨'},
    {XKB_KEY_dead_abovering, U'˚'},
    {XKB_KEY_dead_doubleacute, U'˝'},
    {XKB_KEY_dead_caron, U'ˇ'},
    {XKB_KEY_dead_cedilla, U'¸'},
    {XKB_KEY_dead_ogonek, U'˛'},
}};

char32_t characterOf(xkb_keysym_t keysym)
{
    for (const auto& [dead, accent] : deadKeyAccents) {
        if (dead == keysym)
            return accent;
    }
    return xkb_keysym_to_utf32(keysym);
}

bool isPrintable(char32_t character)
{
    if (character == 0 || QChar::isSpace(character))
        return false;
    const QChar::Category category = QChar::category(character);
    return category != QChar::Other_Control && category != QChar::Other_Format;
}

// The layout in use on the X server. The connection stays open so that each question costs one round
// trip; the keymap is fetched again only after the server announces a new one (setxkbmap, a keyboard
// plugged in), and the group the user has switched to comes with every answer.
class ServerLayout
{
public:
    ~ServerLayout() { disconnect(); }

    // The keymap and group in use, or none when the display cannot be used.
    std::optional<std::pair<std::shared_ptr<const Keymap>, quint32>> read(const QByteArray& display)
    {
        if (m_connection && (display != m_display || xcb_connection_has_error(m_connection)))
            disconnect();
        if (!m_connection) {
            // A display that could not be used is not tried again at every label.
            if (display == m_unusableDisplay || !connect(display)) {
                m_unusableDisplay = display;
                return std::nullopt;
            }
        }
        xcb_xkb_get_state_reply_t* state =
            xcb_xkb_get_state_reply(m_connection, xcb_xkb_get_state(m_connection, m_deviceId), nullptr);
        if (!state) {
            disconnect();
            return std::nullopt;
        }
        const quint32 group = state->group;
        std::free(state);
        // Events sent before our question are all in by now: any keymap change is seen here.
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            if ((event->response_type & 0x7f) == m_xkbEventBase)
                m_keymap.reset();
            std::free(event);
        }
        if (!m_keymap) {
            xkb_keymap* keymap = xkb_x11_keymap_new_from_device(m_context.get(), m_connection, m_deviceId,
                                                                XKB_KEYMAP_COMPILE_NO_FLAGS);
            if (!keymap)
                return std::nullopt;
            m_keymap = std::make_shared<const Keymap>(keymap);
        }
        return std::pair{m_keymap, group};
    }

private:
    bool connect(const QByteArray& display)
    {
        m_context = newContext();
        m_connection = xcb_connect(display.constData(), nullptr);
        m_display = display;
        if (!m_context || xcb_connection_has_error(m_connection) ||
            !xkb_x11_setup_xkb_extension(m_connection, XKB_X11_MIN_MAJOR_XKB_VERSION,
                                         XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS,
                                         nullptr, nullptr, &m_xkbEventBase, nullptr)) {
            disconnect();
            return false;
        }
        m_deviceId = xkb_x11_get_core_keyboard_device_id(m_connection);
        if (m_deviceId < 0) {
            disconnect();
            return false;
        }
        constexpr quint16 events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        constexpr quint16 mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                     XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS |
                                     XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
                                     XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
        xcb_xkb_select_events_details_t details{};
        details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
        details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
        xcb_generic_error_t* error = xcb_request_check(
            m_connection, xcb_xkb_select_events_aux_checked(m_connection, m_deviceId, events, 0, 0, mapParts,
                                                            mapParts, &details));
        if (error) {
            std::free(error);
            disconnect();
            return false;
        }
        return true;
    }

    void disconnect()
    {
        m_keymap.reset();
        if (m_connection)
            xcb_disconnect(m_connection);
        m_connection = nullptr;
        m_context.reset();
    }

    QByteArray m_display;
    QByteArray m_unusableDisplay;
    Context m_context;
    xcb_connection_t* m_connection = nullptr;
    qint32 m_deviceId = -1;
    quint8 m_xkbEventBase = 0;
    std::shared_ptr<const Keymap> m_keymap;
};

// The layout named by the environment, compiled again only when the names change.
class EnvironmentLayout
{
public:
    std::shared_ptr<const Keymap> read()
    {
        QByteArray layout = qgetenv("XKB_DEFAULT_LAYOUT");
        // A variant means nothing without the layout it belongs to.
        QByteArray variant = layout.isEmpty() ? QByteArray() : qgetenv("XKB_DEFAULT_VARIANT");
        if (layout.isEmpty())
            layout = "us";
        if (!m_keymap || layout != m_layout || variant != m_variant) {
            m_keymap = compile(layout, variant);
            m_layout = layout;
            m_variant = variant;
        }
        return m_keymap;
    }

private:
    QByteArray m_layout;
    QByteArray m_variant;
    std::shared_ptr<const Keymap> m_keymap;
};

} // namespace

KeyboardLayout::KeyboardLayout(std::shared_ptr<const Keymap> keymap, quint32 group)
    : m_keymap(std::move(keymap))
    , m_group(group)
{}

std::optional<KeyboardLayout> KeyboardLayout::current()
{
    static std::mutex mutex;
    static ServerLayout server;
    static EnvironmentLayout environment;
    const std::lock_guard lock(mutex);

    const QByteArray display = qgetenv("DISPLAY");
    if (!display.isEmpty()) {
        if (auto inUse = server.read(display))
            return KeyboardLayout(std::move(inUse->first), inUse->second);
    }
    if (auto keymap = environment.read())
        return KeyboardLayout(std::move(keymap), 0);
    return std::nullopt;
}

std::optional<KeyboardLayout> KeyboardLayout::fromName(const QString& layout, const QString& variant)
{
    if (layout.isEmpty())
        return std::nullopt;
    auto keymap = compile(layout.toUtf8(), variant.toUtf8());
    if (!keymap)
        return std::nullopt;
    return KeyboardLayout(std::move(keymap), 0);
}

std::optional<quint32> KeyboardLayout::keysym(quint16 virtualKeyCode) const
{
    const auto evdev = KeyCodes::evdevForVirtual(virtualKeyCode);
    if (!evdev)
        return std::nullopt;
    // Compiled keymaps number keys as X11 does: the evdev code plus 8.
    const xkb_keycode_t key = *evdev + KeyCodes::x11KeycodeOffset;
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(m_keymap->keymap, key);
    if (layouts == 0)
        return std::nullopt;
    // A key defined in fewer layouts than the keymap has wraps around, as it does when typing.
    const xkb_layout_index_t layout = m_group % layouts;
    const xkb_keysym_t* keysyms = nullptr;
    // Level 0: the key pressed with no modifier.
    if (xkb_keymap_key_get_syms_by_level(m_keymap->keymap, key, layout, 0, &keysyms) != 1)
        return std::nullopt;
    return keysyms[0];
}

bool KeyboardLayout::choosesThirdLevel(quint16 virtualKeyCode) const
{
    return keysym(virtualKeyCode) == std::optional<quint32>(XKB_KEY_ISO_Level3_Shift);
}

std::optional<QString> KeyboardLayout::character(quint16 virtualKeyCode) const
{
    const auto symbol = keysym(virtualKeyCode);
    if (!symbol)
        return std::nullopt;
    const char32_t character = characterOf(*symbol);
    if (!isPrintable(character))
        return std::nullopt;
    return QString::fromUcs4(&character, 1);
}

} // namespace parlune
