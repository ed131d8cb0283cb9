// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>

namespace parlune {

// What the user sees: the status line of the menu and the state of the floating panel.
class RecordingStatus
{
    Q_GADGET
    Q_PROPERTY(Kind kind READ kind CONSTANT)
    Q_PROPERTY(QString label READ label CONSTANT)
    Q_PROPERTY(qint64 words READ words CONSTANT)

public:
    enum Kind { Idle, Preparing, Recording, Transcribing, Inserted, Message };
    Q_ENUM(Kind)

    RecordingStatus() = default;

    static RecordingStatus idle() { return {}; }
    static RecordingStatus preparing(QString text) { return {Preparing, std::move(text), 0}; }
    static RecordingStatus recording() { return {Recording, {}, 0}; }
    static RecordingStatus transcribing() { return {Transcribing, {}, 0}; }
    static RecordingStatus inserted(qint64 words) { return {Inserted, {}, words}; }
    static RecordingStatus message(QString text) { return {Message, std::move(text), 0}; }

    Kind kind() const { return m_kind; }
    // The payload of preparing and message; empty otherwise.
    const QString& text() const { return m_text; }
    // The payload of inserted; 0 otherwise.
    qint64 words() const { return m_words; }

    // Inserted and message statuses fall back to idle after a short while.
    bool isTransient() const { return m_kind == Inserted || m_kind == Message; }

    // "Prêt", "Je vous écoute", "Transcription", "3 mots insérés" (no singular: "1 mots insérés"), or the
    // text of preparing and message.
    QString label() const;

    friend bool operator==(const RecordingStatus&, const RecordingStatus&) = default;

private:
    RecordingStatus(Kind kind, QString text, qint64 words)
        : m_kind(kind)
        , m_text(std::move(text))
        , m_words(words)
    {}

    Kind m_kind = Idle;
    QString m_text;
    qint64 m_words = 0;
};

} // namespace parlune

Q_DECLARE_METATYPE(parlune::RecordingStatus)
