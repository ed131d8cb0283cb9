// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/UpdateController.h"

#include <QStringList>

namespace parlune {

class FakeUpdateController final : public UpdateController
{
    Q_OBJECT

public:
    explicit FakeUpdateController(QStringList* log)
        : m_log(log)
    {}

    void startUpdater() override { *m_log << QStringLiteral("start"); }
    void checkForUpdates() override { *m_log << QStringLiteral("check"); }

private:
    QStringList* m_log;
};

} // namespace parlune
