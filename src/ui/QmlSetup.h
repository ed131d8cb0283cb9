// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QQmlEngine;

namespace parlune {

// Makes the program's views importable in `engine` ("import Parlune.Ui") and lets them read the
// coordinator's types: RecordingStatus.Recording and the other status kinds, KeyCombo, TranscriptEntry.
void prepareQmlEngine(QQmlEngine& engine);

// Draws the program's windows with Qt Quick's software renderer rather than OpenGL, unless the user
// chose a renderer with QT_QUICK_BACKEND. The panel and the windows are small and mostly still, so
// drawing them costs little; an OpenGL context costs a driver (on a computer without a graphics card,
// the LLVM-based software rasteriser, about 80 MB resident) for the rest of the run. Called before the
// first window.
void chooseQuickRenderer();

} // namespace parlune
