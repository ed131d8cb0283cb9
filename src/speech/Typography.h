// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

namespace parlune::typography {

// The spaces French typography puts before some marks and inside its quotes.
inline constexpr QChar noBreakSpace{0x00A0};
inline constexpr QChar narrowNoBreakSpace{0x202F};
inline constexpr QChar ellipsis{0x2026};

// Marks that open something the next word continues: "(", "«", "“", "¿", "¡", "[".
bool isOpeningMark(QChar character);
// Marks that attach to the word before: ", . ; : ? ! … ) » ” ]".
bool isClosingMark(QChar character);
// ". ? ! …": the next word begins a sentence.
bool endsSentence(QChar character);
// A line or paragraph separator.
bool isLineBreak(QChar character);
// An apostrophe, straight or typographic.
bool isApostrophe(QChar character);

// A word as commands are compared: lower case, with the typographic apostrophe made straight.
QString folded(QStringView word);

} // namespace parlune::typography
