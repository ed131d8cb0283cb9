// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/JsonWriter.h"

#include <charconv>
#include <cmath>

namespace parlune {

void JsonWriter::separate()
{
    if (m_needsComma)
        m_bytes.append(',');
    m_needsComma = true;
}

void JsonWriter::beginObject()
{
    separate();
    m_bytes.append('{');
    m_needsComma = false;
}

void JsonWriter::endObject()
{
    m_bytes.append('}');
    m_needsComma = true;
}

void JsonWriter::beginArray()
{
    separate();
    m_bytes.append('[');
    m_needsComma = false;
}

void JsonWriter::endArray()
{
    m_bytes.append(']');
    m_needsComma = true;
}

void JsonWriter::key(const char* name)
{
    value(QString::fromUtf8(name));
    m_bytes.append(':');
    // The member's value follows the colon directly.
    m_needsComma = false;
}

void JsonWriter::value(const QString& text)
{
    separate();
    static constexpr char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    m_bytes.append('"');
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"':
            m_bytes.append("\\\"");
            break;
        case '\\':
            m_bytes.append("\\\\");
            break;
        case '/':
            m_bytes.append("\\/");
            break;
        case '\n':
            m_bytes.append("\\n");
            break;
        case '\r':
            m_bytes.append("\\r");
            break;
        case '\t':
            m_bytes.append("\\t");
            break;
        case '\b':
            m_bytes.append("\\b");
            break;
        case '\f':
            m_bytes.append("\\f");
            break;
        default:
            if (byte < 0x20) {
                const char escaped[] = {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 0xF]};
                m_bytes.append(escaped, sizeof escaped);
            } else {
                m_bytes.append(c);
            }
        }
    }
    m_bytes.append('"');
}

void JsonWriter::value(bool flag)
{
    separate();
    m_bytes.append(flag ? "true" : "false");
}

void JsonWriter::value(std::uint64_t number)
{
    separate();
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    m_bytes.append(digits, result.ptr - digits);
}

void JsonWriter::value(double number)
{
    separate();
    // JSON has no spelling for these; our numbers (dates) are always finite.
    if (!std::isfinite(number))
        number = 0;
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    m_bytes.append(digits, result.ptr - digits);
}

} // namespace parlune
