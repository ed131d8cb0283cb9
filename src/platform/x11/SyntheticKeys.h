// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <deque>

namespace parlune {

// The key events this program sends through XTest, announced just before they are sent, so that the
// keyboard tap can tell them from the user's. Every XTest event comes from the same device, whoever
// sent it: the keys of remote desktops, on-screen keyboards and scripted tests are the user's, and
// only the ones announced here are ours. Main thread only.
class SyntheticKeys
{
public:
    // An announcement that no event came to claim is forgotten after this long.
    static constexpr std::chrono::seconds lifetime{5};

    // The keyboard tap tells whether it is connected: announcements count only while it listens, or
    // they would wait to take a key of the user's for ours once it listens again.
    void setListening(bool listening);
    // Our next event on this X key code.
    void announce(unsigned keycode, bool down);
    // Whether an event from the XTest device is one we announced; each announcement answers once,
    // oldest first.
    bool claim(unsigned keycode, bool down);

private:
    struct Announced
    {
        unsigned keycode;
        bool down;
        std::chrono::steady_clock::time_point at;
    };
    void forgetStale(std::chrono::steady_clock::time_point now);

    std::deque<Announced> m_announced;
    bool m_listening = false;
};

} // namespace parlune
