// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Sound.h"

#include <QStringList>

namespace parlune {

class FakeSound final : public Sound
{
public:
    explicit FakeSound(QStringList* log)
        : m_log(log)
    {}

    void play() override { *m_log << QStringLiteral("play"); }
    void stop() override { *m_log << QStringLiteral("stop"); }

private:
    QStringList* m_log;
};

} // namespace parlune
