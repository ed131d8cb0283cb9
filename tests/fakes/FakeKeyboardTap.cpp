// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeKeyboardTap.h"

namespace parlune {

bool FakeKeyboardTap::install(Handler handler)
{
    if (refuses)
        return false;
    m_handler = std::move(handler);
    m_enabled = true;
    ++m_installCount;
    return true;
}

void FakeKeyboardTap::remove()
{
    m_handler = nullptr;
    m_enabled = false;
}

bool FakeKeyboardTap::send(EventType type, const Event& event)
{
    return m_handler && m_enabled && m_handler(type, event);
}

bool FakeKeyboardTap::disable()
{
    if (!m_handler)
        return false;
    m_enabled = false;
    return m_handler(EventType::disabledByTimeout, {});
}

} // namespace parlune
