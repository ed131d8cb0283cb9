// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RecordingStatus.h"

#include <QCoreApplication>

namespace parlune {

QString RecordingStatus::label() const
{
    switch (m_kind) {
    case Idle:
        return QCoreApplication::translate("RecordingStatus", "Prêt");
    case Preparing:
    case Message:
        return m_text;
    case Recording:
        return QCoreApplication::translate("RecordingStatus", "Je vous écoute");
    case Transcribing:
        return QCoreApplication::translate("RecordingStatus", "Transcription");
    case Inserted:
        // One form for every count, 1 included.
        return QCoreApplication::translate("RecordingStatus", "%1 mots insérés").arg(m_words);
    }
    return {};
}

} // namespace parlune
