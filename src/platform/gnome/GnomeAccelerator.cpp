// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gnome/GnomeAccelerator.h"

#include "input/KeyCombo.h"
#include "platform/XkbKeyNames.h"

#include <QRegularExpression>

#include <algorithm>

#include <utility>

namespace parlune {

namespace {

// The modifiers we have no flag for.
constexpr quint64 hyper = quint64(1) << 40, meta = quint64(1) << 41, mod2 = quint64(1) << 42,
                  mod3 = quint64(1) << 43, mod5 = quint64(1) << 44;

// Every spelling GNOME reads, by the modifier it means.
constexpr std::pair<const char*, quint64> modifierSpellings[] = {
    {"Control", ModifierFlag::control},
    {"Ctrl", ModifierFlag::control},
    {"Ctl", ModifierFlag::control},
    {"Primary", ModifierFlag::control},
    {"Alt", ModifierFlag::option},
    {"Mod1", ModifierFlag::option},
    {"Shift", ModifierFlag::shift},
    {"Shft", ModifierFlag::shift},
    {"Super", ModifierFlag::command},
    {"Mod4", ModifierFlag::command},
    {"Hyper", hyper},
    {"Meta", meta},
    {"Mod2", mod2},
    {"Mod3", mod3},
    {"Mod5", mod5},
};

// How we write them, in the order of the program's labels.
constexpr std::pair<quint64, const char*> writtenModifiers[] = {
    {ModifierFlag::control, "Control"},
    {ModifierFlag::option, "Alt"},
    {ModifierFlag::shift, "Shift"},
    {ModifierFlag::command, "Super"},
    {hyper, "Hyper"},
    {meta, "Meta"},
    {mod2, "Mod2"},
    {mod3, "Mod3"},
    {mod5, "Mod5"},
};

} // namespace

std::optional<GnomeAccelerator> GnomeAccelerator::parse(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^((?:<[A-Za-z0-9]+>)*)([^<>\\s]+)$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch() || match.captured(2) == QLatin1String("disabled"))
        return std::nullopt;
    GnomeAccelerator accelerator;
    accelerator.key = match.captured(2);
    static const QRegularExpression modifier(QStringLiteral("<([A-Za-z0-9]+)>"));
    for (const QRegularExpressionMatch& found : modifier.globalMatch(match.captured(1))) {
        const QString name = found.captured(1);
        const auto known = std::find_if(
            std::begin(modifierSpellings), std::end(modifierSpellings), [&name](const auto& spelling) {
                return name.compare(QLatin1String(spelling.first), Qt::CaseInsensitive) == 0;
            });
        if (known == std::end(modifierSpellings))
            return std::nullopt;
        accelerator.modifiers |= known->second;
    }
    return accelerator;
}

QString GnomeAccelerator::text() const
{
    QString text;
    for (const auto& [flag, name] : writtenModifiers) {
        if (modifiers & flag)
            text += QLatin1Char('<') + QLatin1String(name) + QLatin1Char('>');
    }
    return text + key;
}

QString GnomeAccelerator::label() const
{
    static const std::pair<quint64, const char*> labels[] = {
        {ModifierFlag::control, "Ctrl"},
        {ModifierFlag::option, "Alt"},
        {ModifierFlag::shift, "Maj"},
        {ModifierFlag::command, "Super"},
        {hyper, "Hyper"},
        {meta, "Meta"},
    };
    QString label;
    for (const auto& [flag, name] : labels) {
        if (modifiers & flag)
            label += QLatin1String(name) + QLatin1Char('+');
    }
    return label + XkbKeyNames::label(key);
}

bool GnomeAccelerator::sameKeys(const GnomeAccelerator& other) const
{
    return modifiers == other.modifiers && key.compare(other.key, Qt::CaseInsensitive) == 0;
}

} // namespace parlune
