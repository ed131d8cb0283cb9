// SPDX-License-Identifier: GPL-3.0-or-later
// The accessibility bus as the AT-SPI backends walk it: objects, their states and children, and the
// application whose window is active. Included only by the backends' sources: GLib's headers use
// "signals" as an identifier, which Qt's keywords would break.
#pragma once

#include <QtGlobal>

#include <atspi/atspi.h>

#include <memory>
#include <optional>

namespace parlune::atspi {

// Every call to another program waits at most this long: the bus is asked while a dictation waits.
constexpr int callTimeoutMilliseconds = 500;

struct Unref
{
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
};
using Accessible = std::unique_ptr<AtspiAccessible, Unref>;
using StateSet = std::unique_ptr<AtspiStateSet, Unref>;

// Connects to the accessibility bus once; false when there is none.
bool connected();

bool hasState(AtspiAccessible* object, AtspiStateType state);
int childCount(AtspiAccessible* object);
Accessible child(AtspiAccessible* object, int index);

// Another application's active window, the application and its process.
struct ActiveWindow
{
    Accessible application;
    Accessible window;
    qint64 processIdentifier = 0;
};

// The active window of an application other than this program, as the bus shows it; none when no other
// application's window is active or the bus cannot be read.
std::optional<ActiveWindow> activeWindowOfAnotherApplication();

// The object that has the keyboard focus inside `window`; none when none has.
Accessible focusedInside(AtspiAccessible* window);

} // namespace parlune::atspi
