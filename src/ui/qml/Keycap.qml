// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Shapes

// A drawing of one keyboard key. A pressed key turns to the accent colour and sinks onto its darker
// edge; the change follows a quick spring.
Item {
    id: keycap

    property string label
    property bool pressed: false
    property bool large: false

    readonly property real fontSize: large ? 24 : 12
    readonly property real horizontalMargin: large ? 22 : 9
    readonly property real minimumWidth: large ? 76 : 34
    readonly property real minimumHeight: large ? 64 : 26
    readonly property real cornerRadius: large ? 14 : 7
    // How far the key's edge shows below it, and how far a pressed key sinks.
    readonly property real edgeDepth: large ? 3 : 1

    // 0 for a key at rest, 1 for a key fully pressed; in between while the spring moves it.
    readonly property alias pressure: spring.value

    // The crescent between the face's bottom and the same rounded rectangle moved down by `depth`:
    // down the left side, along the lower outline, up the right side, back along the face's bottom.
    function edgePath(w, h, r, depth) {
        return `M 0 ${h - r} L 0 ${h + depth - r} A ${r} ${r} 0 0 0 ${r} ${h + depth} L ${w - r} ${h + depth}`
             + ` A ${r} ${r} 0 0 0 ${w} ${h + depth - r} L ${w} ${h - r} A ${r} ${r} 0 0 1 ${w - r} ${h}`
             + ` L ${r} ${h} A ${r} ${r} 0 0 1 0 ${h - r} Z`
    }

    implicitWidth: Math.max(minimumWidth, labelText.implicitWidth + 2 * horizontalMargin)
    implicitHeight: Math.max(minimumHeight, labelText.implicitHeight)

    Spring {
        id: spring
        target: keycap.pressed ? 1 : 0
        response: 0.15
        dampingFraction: 0.85
    }

    Item {
        id: key
        width: keycap.width
        height: keycap.height
        y: keycap.edgeDepth * keycap.pressure
        scale: 1 - 0.04 * keycap.pressure
        transformOrigin: Item.Center

        // The key's edge: a hard shadow straight below, drawn only where the face does not cover it
        // (the face is translucent), fading out as the key sinks onto it.
        Shape {
            width: parent.width
            height: parent.height + keycap.edgeDepth
            opacity: 0.3 * (1 - keycap.pressure)
            ShapePath {
                fillColor: "black"
                strokeColor: "transparent"
                PathSvg { path: keycap.edgePath(keycap.width, keycap.height, keycap.cornerRadius, keycap.edgeDepth) }
            }
        }

        // The key's face, with its outline drawn inside the border.
        Rectangle {
            anchors.fill: parent
            radius: keycap.cornerRadius
            antialiasing: true
            color: keycap.pressed ? Theme.accent : Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.08)
            border.width: 1
            border.color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.12 * (1 - keycap.pressure))
        }

        Text {
            id: labelText
            anchors.centerIn: parent
            text: keycap.label
            color: keycap.pressed ? "white" : Theme.primary
            font.pixelSize: keycap.fontSize
            font.weight: Font.DemiBold
        }
    }
}
