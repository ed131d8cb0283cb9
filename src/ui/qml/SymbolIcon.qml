// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Shapes

// One of the program's line symbols, drawn from its name on a 24 × 24 grid and scaled to `size`.
// Names the program uses: checkmark, stop.circle.fill, mic, keyboard, globe, speaker.wave.2, power,
// clock, trash, doc.on.doc, hand.raised, waveform, lock, person, sparkles, arrow.down.circle,
// gearshape, bell, speaker.slash, mic.fill, hand.raised.fill, xmark. An unknown name draws a small dot.
Item {
    id: icon

    property string name
    property real size: 16
    property color color: "black"
    // Bolder lines for a medium or semibold weight.
    property real weight: 1.8

    implicitWidth: size
    implicitHeight: size

    readonly property var paths: ({
        "checkmark": "M5 12.5 L10 17.5 L19 6.5",
        "mic": "M9 4 a3 3 0 0 1 6 0 v7 a3 3 0 0 1 -6 0 Z M5.5 11 a6.5 6.5 0 0 0 13 0 M12 17.5 V21 M8.5 21 H15.5",
        "keyboard": "M3 6.5 h18 v11 h-18 Z M6.5 10 h1 M10 10 h1 M13.5 10 h1 M17 10 h1 M8 14 h8",
        "globe": "M12 3 a9 9 0 1 0 0.01 0 Z M3 12 H21 M12 3 C8 7 8 17 12 21 M12 3 C16 7 16 17 12 21",
        "speaker.wave.2": "M4 9.5 h3.5 L12 5.5 v13 L7.5 14.5 H4 Z M15.5 9 a4 4 0 0 1 0 6 M18 6.5 a7.5 7.5 0 0 1 0 11",
        "power": "M12 3 V11 M7.5 6 a7.5 7.5 0 1 0 9 0",
        "clock": "M12 3 a9 9 0 1 0 0.01 0 Z M12 7 V12 L15.5 14",
        "trash": "M4.5 6.5 H19.5 M9.5 6.5 V4 H14.5 V6.5 M6.5 6.5 L7.5 20 H16.5 L17.5 6.5 M10.5 10 V16.5 M13.5 10 V16.5",
        "doc.on.doc": "M8 3.5 H16 L19.5 7 V17 H8 Z M5 7 V20.5 H15",
        "hand.raised": "M8 13 V6 a1.5 1.5 0 0 1 3 0 V11 M11 5 a1.5 1.5 0 0 1 3 0 V11 M14 6 a1.5 1.5 0 0 1 3 0 V14 a7 7 0 0 1 -7 7 a6 6 0 0 1 -5 -3 L3.5 14.5 a1.5 1.5 0 0 1 2.5 -1.5 L8 15",
        "waveform": "M3 12 V12 M6 9 V15 M9 5 V19 M12 8 V16 M15 4 V20 M18 9 V15 M21 11 V13",
        "lock": "M6 11 H18 V20 H6 Z M8.5 11 V8 a3.5 3.5 0 0 1 7 0 V11",
        "person": "M12 3.5 a3.5 3.5 0 1 0 0.01 0 Z M5 20.5 a7 7 0 0 1 14 0",
        "sparkles": "M10 3 L11.8 8.2 L17 10 L11.8 11.8 L10 17 L8.2 11.8 L3 10 L8.2 8.2 Z M18 14 L18.9 16.1 L21 17 L18.9 17.9 L18 20 L17.1 17.9 L15 17 L17.1 16.1 Z",
        "arrow.down.circle": "M12 3 a9 9 0 1 0 0.01 0 Z M12 7.5 V16 M8.5 12.5 L12 16 L15.5 12.5",
        "gearshape": "M12 8.5 a3.5 3.5 0 1 0 0.01 0 Z M12 2.5 V5 M12 19 V21.5 M2.5 12 H5 M19 12 H21.5 M5.3 5.3 L7 7 M17 17 L18.7 18.7 M5.3 18.7 L7 17 M17 7 L18.7 5.3",
        "bell": "M6 16.5 V11 a6 6 0 0 1 12 0 V16.5 L19.8 18 H4.2 Z M10 20.5 a2.2 2.2 0 0 0 4 0",
        "speaker.slash": "M4 9.5 h3.5 L12 5.5 v13 L7.5 14.5 H4 Z M15.5 9.5 L20.5 14.5 M20.5 9.5 L15.5 14.5",
        "mic.fill": "M9 4 a3 3 0 0 1 6 0 v7 a3 3 0 0 1 -6 0 Z M11 4.5 V10.5 M13 4.5 V10.5 M5.5 11 a6.5 6.5 0 0 0 13 0 M12 17.5 V21 M8.5 21 H15.5",
        "hand.raised.fill": "M8 13 V6 a1.5 1.5 0 0 1 3 0 V11 M11 5 a1.5 1.5 0 0 1 3 0 V11 M14 6 a1.5 1.5 0 0 1 3 0 V14 a7 7 0 0 1 -7 7 a6 6 0 0 1 -5 -3 L3.5 14.5 a1.5 1.5 0 0 1 2.5 -1.5 L8 15",
        "xmark": "M6 6 L18 18 M18 6 L6 18"
    })
    readonly property bool known: name === "stop.circle.fill" || paths[name] !== undefined

    // The stop symbol: a filled disc with a square cut out of it, the square showing through.
    Shape {
        visible: icon.name === "stop.circle.fill"
        anchors.fill: parent
        ShapePath {
            fillColor: icon.color
            strokeColor: "transparent"
            fillRule: ShapePath.OddEvenFill
            scale: Qt.size(icon.size / 24, icon.size / 24)
            PathSvg { path: "M12 1.5 a10.5 10.5 0 1 0 0.01 0 Z M8.5 8.5 H15.5 V15.5 H8.5 Z" }
        }
    }

    Shape {
        visible: icon.paths[icon.name] !== undefined
        anchors.fill: parent
        ShapePath {
            fillColor: "transparent"
            strokeColor: icon.color
            strokeWidth: icon.weight * Math.max(1, icon.size / 24)
            capStyle: ShapePath.RoundCap
            joinStyle: ShapePath.RoundJoin
            scale: Qt.size(icon.size / 24, icon.size / 24)
            PathSvg { path: icon.paths[icon.name] || "" }
        }
    }

    Rectangle {
        visible: !icon.known
        anchors.centerIn: parent
        width: icon.size / 3
        height: width
        radius: width / 2
        color: icon.color
    }
}
