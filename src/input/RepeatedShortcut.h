// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <functional>
#include <memory>

namespace parlune {

// A shortcut the desktop only reports by running a command (GNOME's custom shortcuts): once at the
// press, then again at each of the keyboard's repeats for as long as the keys stay down. The first run
// is the press; runs that keep coming are the same hold; once they stop, the keys are up.
//
// The keys come up unseen: the release is known only when the next repeat fails to come. It is dated
// at the last run, the last moment the keys were known down, so that the 0.3 s tap rule of the gesture
// still decides: a press that no repeat followed within the keyboard's repeat delay was a tap
// (hands-free), a hold whose repeats stopped ends the dictation.
class RepeatedShortcut
{
public:
    using PressCallback = std::function<void()>;
    using ReleaseCallback = std::function<void(Clock::Instant releasedAt)>;

    // The keyboard's auto-repeat: the first repeat this long after the press, then one every interval.
    struct Timing
    {
        Seconds delay{0.5};
        Seconds interval{0.03};
    };

    // Each run is a new process that the desktop starts, later than the keyboard's schedule when the
    // computer is busy, and a run that comes after the hold was taken as over starts the next dictation.
    // A tap is decided generously, since it changes nothing visible at once. The end of a hold is seen
    // that much late, so the gap starts short, and grows with the lateness the hold's runs have shown:
    // twice the worst, up to half a second.
    static constexpr Seconds tapAllowance{0.25};
    static constexpr Seconds gapAllowance{0.12};
    static constexpr double latenessFactor = 2;
    static constexpr Seconds largestGapAllowance{0.5};

    RepeatedShortcut(Clock& clock, PressCallback onPress, ReleaseCallback onRelease);
    ~RepeatedShortcut();

    RepeatedShortcut(const RepeatedShortcut&) = delete;
    RepeatedShortcut& operator=(const RepeatedShortcut&) = delete;

    // Read at each press: the desktop's repeat settings may change while the program runs.
    void setTiming(std::function<Timing()> timing) { m_timing = std::move(timing); }

    // The desktop ran the command once more.
    void run();
    // The keys are down as far as the runs tell.
    bool held() const { return m_hold != nullptr; }

private:
    struct Hold;
    static QCoro::Task<> watch(RepeatedShortcut* self, Clock& clock, std::shared_ptr<Hold> hold);

    Clock& m_clock;
    const PressCallback m_onPress;
    const ReleaseCallback m_onRelease;
    std::function<Timing()> m_timing;
    std::shared_ptr<Hold> m_hold;
};

} // namespace parlune
