// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QImage>

namespace parlune {

// The program's mark: five rounded bars, the outer two tall; while recording the inner three grow.
namespace BrandMark {

// The mark in black on transparent, `size` pixels square (the tray's 18 by default): only its shape
// counts, the tray tints it.
QImage menuBarImage(bool recording, int size = 18);

// The tray icon: the mark tinted to stand out on a dark panel (white) or a light one (near black), at
// the sizes trays ask for.
QIcon trayIcon(bool recording, bool darkPanel);

} // namespace BrandMark

} // namespace parlune
