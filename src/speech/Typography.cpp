// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/Typography.h"

namespace parlune::typography {

bool isOpeningMark(QChar character)
{
    return QStringView(u"(«“‘¿¡[{").contains(character);
}

bool isClosingMark(QChar character)
{
    return QStringView(u",.;:?!…)»”’]}").contains(character);
}

bool endsSentence(QChar character)
{
    return QStringView(u".?!…").contains(character);
}

bool isLineBreak(QChar character)
{
    return QStringView(u"\n\r\u2028\u2029").contains(character);
}

bool isApostrophe(QChar character)
{
    return character == u'\'' || character == u'’';
}

QString folded(QStringView word)
{
    QString outcome = word.toString().toLower();
    outcome.replace(u'’', u'\'');
    return outcome;
}

} // namespace parlune::typography
