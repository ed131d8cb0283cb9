// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/xdg/GnomeKeyboardRepeat.h"

#include <gio/gio.h>

namespace parlune {

namespace {

constexpr char schemaId[] = "org.gnome.desktop.peripherals.keyboard";

} // namespace

GnomeKeyboardRepeat::GnomeKeyboardRepeat()
{
    // g_settings_new() ends the program when the schema is missing: ask for it first.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, schemaId, TRUE) : nullptr;
    if (!schema)
        return;
    if (g_settings_schema_has_key(schema, "delay") && g_settings_schema_has_key(schema, "repeat-interval"))
        m_settings = g_settings_new_full(schema, nullptr, nullptr);
    g_settings_schema_unref(schema);
}

GnomeKeyboardRepeat::~GnomeKeyboardRepeat()
{
    if (m_settings)
        g_object_unref(m_settings);
}

KeyboardRepeat GnomeKeyboardRepeat::current() const
{
    KeyboardRepeat repeat;
    if (!m_settings)
        return repeat;
    // Milliseconds; a zero would be no setting at all.
    if (const guint delay = g_settings_get_uint(m_settings, "delay"))
        repeat.delay = Seconds(delay / 1000.0);
    if (const guint interval = g_settings_get_uint(m_settings, "repeat-interval"))
        repeat.interval = Seconds(interval / 1000.0);
    return repeat;
}

} // namespace parlune
