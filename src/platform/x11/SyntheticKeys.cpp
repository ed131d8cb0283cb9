// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/SyntheticKeys.h"

#include <algorithm>

namespace parlune {

void SyntheticKeys::setListening(bool listening)
{
    m_listening = listening;
    m_announced.clear();
}

void SyntheticKeys::announce(unsigned keycode, bool down)
{
    if (!m_listening)
        return;
    const auto now = std::chrono::steady_clock::now();
    forgetStale(now);
    m_announced.push_back({keycode, down, now});
}

bool SyntheticKeys::claim(unsigned keycode, bool down)
{
    forgetStale(std::chrono::steady_clock::now());
    const auto ours = std::find_if(m_announced.begin(), m_announced.end(), [&](const Announced& event) {
        return event.keycode == keycode && event.down == down;
    });
    if (ours == m_announced.end())
        return false;
    m_announced.erase(ours);
    return true;
}

void SyntheticKeys::forgetStale(std::chrono::steady_clock::time_point now)
{
    // A key the server did not change (a release of a key that was not down) sends no event.
    while (!m_announced.empty() && now - m_announced.front().at > lifetime)
        m_announced.pop_front();
}

} // namespace parlune
