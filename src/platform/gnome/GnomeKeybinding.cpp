// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gnome/GnomeKeybinding.h"

#include "platform/Log.h"

#include <gio/gio.h>

#include <QRegularExpression>

namespace parlune {

namespace {

struct ObjectRelease
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
using SettingsHandle = std::unique_ptr<GSettings, ObjectRelease>;

struct SchemaRelease
{
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
using SchemaHandle = std::unique_ptr<GSettingsSchema, SchemaRelease>;

struct VariantRelease
{
    void operator()(GVariant* value) const { g_variant_unref(value); }
};

SchemaHandle lookUp(const QString& id)
{
    // No schema at all on the system: no source either.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return SchemaHandle(source ? g_settings_schema_source_lookup(source, id.toUtf8().constData(), TRUE)
                               : nullptr);
}

SettingsHandle settingsAt(GSettingsSchema* schema, const QString& path = {})
{
    return SettingsHandle(
        g_settings_new_full(schema, nullptr, path.isEmpty() ? nullptr : path.toUtf8().constData()));
}

QStringList strings(GSettings* settings, const char* key)
{
    QStringList list;
    gchar** values = g_settings_get_strv(settings, key);
    for (gchar** value = values; value && *value; ++value)
        list << QString::fromUtf8(*value);
    g_strfreev(values);
    return list;
}

QString string(GSettings* settings, const char* key)
{
    gchar* value = g_settings_get_string(settings, key);
    const QString text = QString::fromUtf8(value);
    g_free(value);
    return text;
}

bool setString(GSettings* settings, const char* key, const QString& value)
{
    return g_settings_set_string(settings, key, value.toUtf8().constData());
}

bool setStrings(GSettings* settings, const char* key, const QStringList& values)
{
    std::vector<QByteArray> utf8;
    std::vector<const gchar*> pointers;
    for (const QString& value : values)
        utf8.push_back(value.toUtf8());
    for (const QByteArray& value : utf8)
        pointers.push_back(value.constData());
    pointers.push_back(nullptr);
    return g_settings_set_strv(settings, key, pointers.data());
}

// Every key combination a key of `settings` holds: keybinding keys are lists of combinations, or one.
void collectKeys(GSettings* settings, GSettingsSchema* schema, std::vector<GnomeAccelerator>& keys)
{
    gchar** names = g_settings_schema_list_keys(schema);
    for (gchar** name = names; name && *name; ++name) {
        if (qstrcmp(*name, "custom-keybindings") == 0)
            continue;
        std::unique_ptr<GVariant, VariantRelease> value(g_settings_get_value(settings, *name));
        QStringList texts;
        if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING_ARRAY)) {
            gsize count = 0;
            const gchar** items = g_variant_get_strv(value.get(), &count);
            for (gsize i = 0; i < count; ++i)
                texts << QString::fromUtf8(items[i]);
            g_free(items);
        } else if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING)) {
            texts << QString::fromUtf8(g_variant_get_string(value.get(), nullptr));
        }
        for (const QString& text : std::as_const(texts)) {
            if (const auto accelerator = GnomeAccelerator::parse(text))
                keys.push_back(*accelerator);
        }
    }
    g_strfreev(names);
}

void notifyChanged(GSettings*, const gchar*, gpointer keybinding)
{
    Q_EMIT static_cast<GnomeKeybinding*>(keybinding)->changed();
}

constexpr const char* listKey = "custom-keybindings";

} // namespace

// Alt+Super+Space first: GNOME binds nothing there. Control+Alt+Space is the dictation shortcut other
// desktops bind for Parlune.
const QStringList GnomeKeybinding::candidates{
    QStringLiteral("<Super><Alt>space"),          QStringLiteral("<Control><Alt>space"),
    QStringLiteral("<Control><Super>space"),      QStringLiteral("<Super><Alt>d"),
    QStringLiteral("<Control><Alt><Super>space"),
};

const QStringList GnomeKeybinding::desktopSchemas{
    QStringLiteral("org.gnome.desktop.wm.keybindings"),
    QStringLiteral("org.gnome.shell.keybindings"),
    QStringLiteral("org.gnome.mutter.keybindings"),
    QStringLiteral("org.gnome.mutter.wayland.keybindings"),
    QStringLiteral("org.gnome.settings-daemon.plugins.media-keys"),
};

struct GnomeKeybinding::Settings
{
    SettingsHandle list;
    SettingsHandle ours;
    SchemaHandle entrySchema;
};

GnomeKeybinding::GnomeKeybinding(QStringList command)
    : m_commandLine(commandLine(command))
{
    SchemaHandle listSchema = lookUp(GnomeKeybinding::listSchema);
    SchemaHandle entrySchema = lookUp(GnomeKeybinding::entrySchema);
    if (!listSchema || !entrySchema || !g_settings_schema_has_key(listSchema.get(), listKey))
        return;
    m_settings = std::make_unique<Settings>();
    m_settings->list = settingsAt(listSchema.get());
    m_settings->ours = settingsAt(entrySchema.get(), ourPath);
    m_settings->entrySchema = std::move(entrySchema);
    // GSettings tells of a change only for keys read since the handler was connected: keys() reads them.
    g_signal_connect(m_settings->list.get(), "changed::custom-keybindings", G_CALLBACK(notifyChanged), this);
    g_signal_connect(m_settings->ours.get(), "changed", G_CALLBACK(notifyChanged), this);
    (void)keys();
    if (isListed() && string(m_settings->ours.get(), "command") != m_commandLine) {
        logLine("Parlune: the GNOME keybinding runs the program where it is now");
        setString(m_settings->ours.get(), "command", m_commandLine);
        sync();
    }
}

GnomeKeybinding::~GnomeKeybinding()
{
    if (m_settings) {
        g_signal_handlers_disconnect_by_data(m_settings->list.get(), this);
        g_signal_handlers_disconnect_by_data(m_settings->ours.get(), this);
    }
}

bool GnomeKeybinding::isAvailable() const
{
    return m_settings != nullptr;
}

bool GnomeKeybinding::isListed() const
{
    return m_settings && strings(m_settings->list.get(), listKey).contains(ourPath);
}

QString GnomeKeybinding::keys() const
{
    if (!isListed())
        return {};
    const auto accelerator = GnomeAccelerator::parse(string(m_settings->ours.get(), "binding"));
    return accelerator ? accelerator->label() : QString();
}

std::vector<GnomeAccelerator> GnomeKeybinding::takenKeys() const
{
    std::vector<GnomeAccelerator> taken;
    for (const QString& id : desktopSchemas) {
        if (SchemaHandle schema = lookUp(id))
            collectKeys(settingsAt(schema.get()).get(), schema.get(), taken);
    }
    for (const QString& path : strings(m_settings->list.get(), listKey)) {
        // GSettings refuses a malformed path; GNOME skips it too.
        if (path == ourPath || !path.startsWith(QLatin1Char('/')) || !path.endsWith(QLatin1Char('/')) ||
            path.contains(QLatin1String("//")))
            continue;
        SettingsHandle entry = settingsAt(m_settings->entrySchema.get(), path);
        if (const auto accelerator = GnomeAccelerator::parse(string(entry.get(), "binding")))
            taken.push_back(*accelerator);
    }
    return taken;
}

std::optional<GnomeAccelerator> GnomeKeybinding::freeKeys() const
{
    if (!m_settings)
        return std::nullopt;
    const std::vector<GnomeAccelerator> taken = takenKeys();
    for (const QString& candidate : candidates) {
        const GnomeAccelerator keys = *GnomeAccelerator::parse(candidate);
        if (std::none_of(taken.begin(), taken.end(),
                         [&keys](const GnomeAccelerator& other) { return other.sameKeys(keys); }))
            return keys;
    }
    return std::nullopt;
}

QString GnomeKeybinding::proposedKeys() const
{
    const auto keys = freeKeys();
    return keys ? keys->label() : QString();
}

std::optional<QString> GnomeKeybinding::create()
{
    if (!m_settings)
        return tr("Les réglages des raccourcis de GNOME ne sont pas installés.");
    if (!keys().isEmpty())
        return std::nullopt;
    const auto free = freeKeys();
    if (!free)
        return tr("Les touches que Parlune propose sont toutes prises : dans les réglages du clavier de "
                  "GNOME, ajoutez un raccourci personnalisé qui lance « %1 ».")
            .arg(m_commandLine);
    GSettings* ours = m_settings->ours.get();
    GSettings* list = m_settings->list.get();
    // The entry first, then its path in the list: the settings daemon reads the entry when it sees the
    // path.
    QStringList paths = strings(list, listKey);
    if (!paths.contains(ourPath))
        paths << ourPath;
    const bool written = setString(ours, "name", QStringLiteral("Parlune")) &&
                         setString(ours, "command", m_commandLine) &&
                         setString(ours, "binding", free->text()) && setStrings(list, listKey, paths);
    sync();
    if (!written) {
        logLine("Parlune: GNOME's keybinding settings cannot be written");
        return tr("GNOME n'a pas accepté le raccourci : ses réglages des raccourcis sont verrouillés.");
    }
    logLine("Parlune: GNOME keybinding %s created", qPrintable(free->text()));
    Q_EMIT changed();
    return std::nullopt;
}

void GnomeKeybinding::remove()
{
    if (!m_settings)
        return;
    GSettings* list = m_settings->list.get();
    const QStringList paths = strings(list, listKey);
    if (paths.contains(ourPath)) {
        QStringList kept = paths;
        kept.removeAll(ourPath);
        setStrings(list, listKey, kept);
    }
    for (const char* key : {"name", "command", "binding"})
        g_settings_reset(m_settings->ours.get(), key);
    sync();
    logLine("Parlune: GNOME keybinding removed");
    Q_EMIT changed();
}

void GnomeKeybinding::sync()
{
    // The writes reach dconf, and so the settings daemon, before this returns.
    g_settings_sync();
}

QString GnomeKeybinding::commandLine(const QStringList& command)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_/.,:=+@%-]+$"));
    QStringList words;
    for (const QString& argument : command) {
        if (plain.match(argument).hasMatch()) {
            words << argument;
        } else {
            gchar* quoted = g_shell_quote(argument.toUtf8().constData());
            words << QString::fromUtf8(quoted);
            g_free(quoted);
        }
    }
    return words.join(QLatin1Char(' '));
}

} // namespace parlune
