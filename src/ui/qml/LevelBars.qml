// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// The audio level meter: a row of thin bars whose heights run as a wave across the row, scaled by the
// level. A silent microphone still shows a low ripple. It redraws on every frame while it is on screen.
Item {
    id: meter

    property real level: 0
    property int bars: 10
    // Seconds, any origin: only its progress counts. Driven by the display's frames while `animated`.
    property real time: 0
    property bool animated: true

    implicitWidth: bars * 2.4 + Math.max(0, bars - 1) * 2
    // The meter's height is also the tallest bar's.
    implicitHeight: 18

    // Height of bar i at time t: 3 at the trough of the wave, up to the meter's height at the crest of a full level.
    function barHeight(i, t) {
        return 3 + (height - 3) * Math.max(level, 0.07) * (Math.sin(8 * t + 0.55 * i) + 1) / 2
    }

    FrameAnimation {
        running: meter.animated && meter.visible && meter.Window.window !== null && meter.Window.window.visible
        onTriggered: meter.time += frameTime
    }

    Row {
        anchors.verticalCenter: parent.verticalCenter
        spacing: 2
        Repeater {
            model: meter.bars
            Rectangle {
                required property int index
                anchors.verticalCenter: parent.verticalCenter
                width: 2.4
                height: meter.barHeight(index, meter.time)
                radius: 1.2
                antialiasing: true
                color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.8)
            }
        }
    }
}
