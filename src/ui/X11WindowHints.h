// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWindow;

namespace parlune::X11WindowHints {

// Asks the window manager to show `window` on every desktop. Call before the window is first shown.
// Does nothing off X11.
void showOnAllDesktops(QWindow& window);

// Asks a compositor that can blur behind windows to do so behind the whole of `window`. Does nothing
// off X11 or where no compositor offers it.
void blurBehind(QWindow& window);

} // namespace parlune::X11WindowHints
