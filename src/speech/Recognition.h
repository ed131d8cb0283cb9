// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringView>

#include <optional>

namespace parlune {

// How dictations are recognised: fast, with a small model per language, or accurate, with one large
// model for every language that needs more memory. The raw value ("fast", "accurate") is what the
// settings file stores.
enum class Recognition { fast, accurate };

QString rawValue(Recognition recognition);
// None for anything but one of the two raw values.
std::optional<Recognition> recognitionFromRawValue(QStringView raw);

} // namespace parlune

Q_DECLARE_METATYPE(parlune::Recognition)
