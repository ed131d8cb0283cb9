// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Sound.h"

#include <QStringList>

namespace parlune {

class FakeSound final : public Sound
{
public:
    explicit FakeSound(std::vector<float> samples, QStringList* log)
        : samples(std::move(samples))
        , m_log(log)
    {}

    std::vector<float> samples;

    void play() override { *m_log << QStringLiteral("play"); }
    void stop() override { *m_log << QStringLiteral("stop"); }

private:
    QStringList* m_log;
};

} // namespace parlune
