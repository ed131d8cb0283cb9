// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON form of a shortcut, as the settings file keeps it.
#include "input/KeyCombo.h"
#include "store/JsonWriter.h"

#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

namespace parlune {

namespace {

// A JSON number that is a whole number from 0 to `maximum`. QJsonValue holds integers beyond 2^53
// as doubles, so the check is made on the double when needed.
std::optional<quint64> wholeNumber(const QJsonValue& value, quint64 maximum)
{
    if (!value.isDouble())
        return std::nullopt;
    const QVariant variant = value.toVariant();
    if (variant.typeId() == QMetaType::LongLong) {
        const qint64 number = variant.toLongLong();
        if (number < 0 || quint64(number) > maximum)
            return std::nullopt;
        return quint64(number);
    }
    const double number = value.toDouble();
    // 2^64 is the first double past the range of an unsigned 64-bit integer.
    if (!std::isfinite(number) || number < 0 || number >= 18446744073709551616.0 ||
        std::floor(number) != number)
        return std::nullopt;
    const auto whole = static_cast<quint64>(number);
    if (whole > maximum)
        return std::nullopt;
    return whole;
}

} // namespace

void KeyCombo::writeJson(JsonWriter& writer) const
{
    writer.beginObject();
    writer.key("keyCode");
    writer.value(std::uint64_t(keyCode));
    writer.key("modifiers");
    writer.value(std::uint64_t(modifiers));
    writer.key("isModifierKey");
    writer.value(isModifierKey);
    writer.endObject();
}

std::optional<KeyCombo> KeyCombo::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const auto keyCode = wholeNumber(object.value(QLatin1String("keyCode")), 0xFFFF);
    const auto modifiers = wholeNumber(object.value(QLatin1String("modifiers")), ~quint64(0));
    const QJsonValue isModifierKey = object.value(QLatin1String("isModifierKey"));
    if (!keyCode || !modifiers || !isModifierKey.isBool())
        return std::nullopt;
    return KeyCombo{quint16(*keyCode), *modifiers, isModifierKey.toBool()};
}

} // namespace parlune
