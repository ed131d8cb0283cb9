// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/appcast/Appcast.h"

#include <QXmlStreamReader>

#include <vector>

namespace parlune::Appcast {

namespace {

struct Token
{
    enum class Kind { number, text, separator } kind;
    QString text;
};

std::vector<Token> tokens(const QString& version)
{
    std::vector<Token> result;
    for (QChar c : version) {
        const Token::Kind kind = c.isDigit() ? Token::Kind::number
                                 : c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('_')
                                     ? Token::Kind::separator
                                     : Token::Kind::text;
        if (kind != Token::Kind::separator && !result.empty() && result.back().kind == kind)
            result.back().text += c;
        else
            result.push_back({kind, QString(c)});
    }
    return result;
}

} // namespace

int compareVersions(const QString& a, const QString& b)
{
    const std::vector<Token> left = tokens(a);
    const std::vector<Token> right = tokens(b);
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const Token& l = left[i];
        const Token& r = right[i];
        if (l.kind == r.kind) {
            if (l.kind == Token::Kind::number) {
                const qulonglong x = l.text.toULongLong(), y = r.text.toULongLong();
                if (x != y)
                    return x < y ? -1 : 1;
            } else if (l.kind == Token::Kind::text) {
                if (const int c = l.text.compare(r.text); c != 0)
                    return c < 0 ? -1 : 1;
            }
            continue;
        }
        // Where one has a number and the other letters or a separator, the number is the later
        // release: 1.0.1 after 1.0b1, 1.1 after 1.b.
        if (l.kind == Token::Kind::number)
            return 1;
        if (r.kind == Token::Kind::number)
            return -1;
        // A separator against letters: 1.0.1 after 1.0a.
        return l.kind == Token::Kind::separator ? 1 : -1;
    }
    if (left.size() == right.size())
        return 0;
    // Whatever follows the common part: letters mark a pre-release (1.0b1 before 1.0), anything else
    // a later one (1.0.1 after 1.0).
    const bool leftLonger = left.size() > right.size();
    const Token& next = leftLonger ? left[common] : right[common];
    const bool longerIsNewer = next.kind != Token::Kind::text;
    return (leftLonger == longerIsNewer) ? 1 : -1;
}

std::optional<AvailableUpdate> newestUpdate(const QByteArray& feed)
{
    QXmlStreamReader xml(feed);
    std::optional<AvailableUpdate> newest;
    bool inItem = false;
    bool forOtherSystem = false;
    AvailableUpdate current;

    auto isFeedTag = [](QStringView qualifiedName, QLatin1String name) {
        return qualifiedName == QString(QLatin1String("sparkle:") + name);
    };

    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QStringView name = xml.qualifiedName();
            if (name == QLatin1String("item")) {
                inItem = true;
                forOtherSystem = false;
                current = {};
            } else if (inItem && name == QLatin1String("enclosure")) {
                const QXmlStreamAttributes attributes = xml.attributes();
                for (const QXmlStreamAttribute& attribute : attributes) {
                    const QStringView attributeName = attribute.qualifiedName();
                    if (isFeedTag(attributeName, QLatin1String("version")))
                        current.version = attribute.value().toString();
                    else if (isFeedTag(attributeName, QLatin1String("shortVersionString")))
                        current.displayVersion = attribute.value().toString();
                    else if (isFeedTag(attributeName, QLatin1String("os")))
                        forOtherSystem = attribute.value() != QLatin1String("linux");
                    else if (attributeName == QLatin1String("url") && current.link.isEmpty())
                        current.link = QUrl(attribute.value().toString());
                }
            } else if (inItem && isFeedTag(name, QLatin1String("version"))) {
                current.version = xml.readElementText().trimmed();
            } else if (inItem && isFeedTag(name, QLatin1String("shortVersionString"))) {
                current.displayVersion = xml.readElementText().trimmed();
            } else if (inItem && name == QLatin1String("link")) {
                // The release page is better to show than the archive.
                current.link = QUrl(xml.readElementText().trimmed());
            }
        } else if (xml.isEndElement() && xml.qualifiedName() == QLatin1String("item")) {
            inItem = false;
            if (current.version.isEmpty())
                current.version = current.displayVersion;
            if (current.displayVersion.isEmpty())
                current.displayVersion = current.version;
            if (!forOtherSystem && !current.version.isEmpty() &&
                (!newest || compareVersions(current.version, newest->version) > 0))
                newest = current;
        }
    }
    if (xml.hasError())
        return std::nullopt;
    return newest;
}

} // namespace parlune::Appcast
