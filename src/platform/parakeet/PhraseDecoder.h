// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Outcome.h"
#include "platform/Recognizer.h"

#include <QString>

#include <span>

namespace parlune {

// Turns one whole phrase of 16 kHz mono audio into text. A decoder may be used from several threads,
// one phrase per call.
class PhraseDecoder
{
public:
    virtual ~PhraseDecoder() = default;

    virtual Outcome<QString, RecognitionError> decode(std::span<const float> samples) = 0;
};

} // namespace parlune
