// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace parlune {

// Writes JSON byte for byte in the form our files have always had: compact, members in the order they
// are written, the slash escaped as \/, characters outside ASCII as UTF-8, no trailing newline.
// (QJsonDocument sorts members and leaves the slash alone, so it cannot write these files.)
class JsonWriter
{
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // Starts a member of the current object; the value written next belongs to it.
    void key(const char* name);

    void value(const QString& text);
    void value(bool flag);
    void value(std::uint64_t number);
    // The shortest decimal that reads back to the same double.
    void value(double number);

    const QByteArray& bytes() const { return m_bytes; }

private:
    void separate();

    QByteArray m_bytes;
    bool m_needsComma = false;
};

} // namespace parlune
