// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QQmlEngine;

namespace parlune {

// Makes the program's views importable in `engine` ("import Parlune.Ui") and lets them read the
// coordinator's types: RecordingStatus.Recording and the other status kinds, KeyCombo, TranscriptEntry.
void prepareQmlEngine(QQmlEngine& engine);

} // namespace parlune
