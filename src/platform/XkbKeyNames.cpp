// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/XkbKeyNames.h"

#include "input/KeyCombo.h"

#include <xkbcommon/xkbcommon.h>

#include <utility>

namespace parlune {

namespace {

// The keys without a character, by virtual key code.
constexpr std::pair<quint16, const char*> specialNames[] = {
    {36, "Return"}, {48, "Tab"},  {49, "space"},  {51, "BackSpace"}, {53, "Escape"}, {117, "Delete"},
    {115, "Home"},  {119, "End"}, {116, "Prior"}, {121, "Next"},     {123, "Left"},  {124, "Right"},
    {125, "Down"},  {126, "Up"},  {122, "F1"},    {120, "F2"},       {99, "F3"},     {118, "F4"},
    {96, "F5"},     {97, "F6"},   {98, "F7"},     {100, "F8"},       {101, "F9"},    {109, "F10"},
    {103, "F11"},   {111, "F12"},
};

} // namespace

QString XkbKeyNames::forKeyCode(quint16 keyCode)
{
    for (const auto& [code, name] : specialNames) {
        if (code == keyCode)
            return QString::fromLatin1(name);
    }
    const auto character = KeyCombo::characterForKeyCode(keyCode);
    if (!character || character->size() != 1)
        return {};
    char name[64] = {};
    const xkb_keysym_t keysym = xkb_utf32_to_keysym(character->toLower().at(0).unicode());
    if (keysym == XKB_KEY_NoSymbol || xkb_keysym_get_name(keysym, name, sizeof name) <= 0)
        return {};
    return QString::fromLatin1(name);
}

QString XkbKeyNames::label(const QString& name)
{
    for (const auto& [code, special] : specialNames) {
        if (name.compare(QLatin1String(special), Qt::CaseInsensitive) == 0)
            return KeyCombo::keyName(code);
    }
    const xkb_keysym_t keysym =
        xkb_keysym_from_name(name.toLatin1().constData(), XKB_KEYSYM_CASE_INSENSITIVE);
    const char32_t character = xkb_keysym_to_utf32(keysym);
    if (keysym == XKB_KEY_NoSymbol || character <= U' ')
        return name;
    return QString::fromUcs4(&character, 1).toUpper();
}

} // namespace parlune
