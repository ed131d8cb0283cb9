// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/AppSettings.h"

#include "store/JsonWriter.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace parlune {

namespace {

// A member counts as absent when it is missing or null.
bool isAbsent(const QJsonValue& value)
{
    return value.isUndefined() || value.isNull();
}

std::optional<KeyCombo> readShortcut(const QJsonObject& object, QLatin1String name)
{
    const QJsonValue value = object.value(name);
    if (isAbsent(value))
        return std::nullopt;
    return KeyCombo::fromJson(value);
}

// Writes `fallback` into `flag` when the member is absent; false when it is there but not a boolean.
bool readSwitch(const QJsonObject& object, QLatin1String name, bool fallback, bool& flag)
{
    const QJsonValue value = object.value(name);
    if (isAbsent(value)) {
        flag = fallback;
        return true;
    }
    if (!value.isBool())
        return false;
    flag = value.toBool();
    return true;
}

} // namespace

QByteArray AppSettings::toJson() const
{
    JsonWriter writer;
    writer.beginObject();
    writer.key("language");
    writer.value(rawValue(language));
    writer.key("shortcut");
    shortcut.writeJson(writer);
    writer.key("launchAtLogin");
    writer.value(launchAtLogin);
    writer.key("muteWhileRecording");
    writer.value(muteWhileRecording);
    writer.key("onboardingDone");
    writer.value(onboardingDone);
    writer.key("soundsEnabled");
    writer.value(soundsEnabled);
    writer.key("recognition");
    writer.value(rawValue(recognition));
    writer.endObject();
    return writer.bytes();
}

std::optional<AppSettings> AppSettings::fromJson(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();

    AppSettings settings;
    const QJsonValue language = object.value(QLatin1String("language"));
    settings.language = languageFromRawValue(language.toString()).value_or(Language::fr);
    const QJsonValue recognition = object.value(QLatin1String("recognition"));
    settings.recognition = recognitionFromRawValue(recognition.toString()).value_or(Recognition::fast);

    // "holdCombo" is the shortcut's older name: still understood, never written.
    if (auto shortcut = readShortcut(object, QLatin1String("shortcut")))
        settings.shortcut = *shortcut;
    else if (auto holdCombo = readShortcut(object, QLatin1String("holdCombo")))
        settings.shortcut = *holdCombo;

    const AppSettings defaults;
    if (!readSwitch(object, QLatin1String("launchAtLogin"), defaults.launchAtLogin, settings.launchAtLogin) ||
        !readSwitch(object, QLatin1String("muteWhileRecording"), defaults.muteWhileRecording,
                    settings.muteWhileRecording) ||
        !readSwitch(object, QLatin1String("onboardingDone"), defaults.onboardingDone,
                    settings.onboardingDone) ||
        !readSwitch(object, QLatin1String("soundsEnabled"), defaults.soundsEnabled, settings.soundsEnabled))
        return std::nullopt;
    return settings;
}

} // namespace parlune
