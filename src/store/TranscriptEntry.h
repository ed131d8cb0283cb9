// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Date.h"

#include <QMetaType>
#include <QString>
#include <QUuid>

namespace parlune {

// One remembered dictation.
struct TranscriptEntry
{
    Q_GADGET
    Q_PROPERTY(QString text MEMBER text CONSTANT)
    Q_PROPERTY(QDateTime date READ dateTime CONSTANT)
    Q_PROPERTY(QString id READ idString CONSTANT)

public:
    QUuid id;
    Date date;
    // Exactly what was pasted.
    QString text;

    QDateTime dateTime() const { return date.toDateTime(); }
    // Upper-case canonical form, as stored.
    QString idString() const;

    friend bool operator==(const TranscriptEntry&, const TranscriptEntry&) = default;
};

} // namespace parlune

Q_DECLARE_METATYPE(parlune::TranscriptEntry)
