// SPDX-License-Identifier: GPL-3.0-or-later
pragma Singleton
import QtQuick

// The colours and text styles every view of the program shares, following the desktop's palette:
// primary is the normal text colour, secondary the same text dimmed, accent the selection colour.
QtObject {
    id: theme

    readonly property SystemPalette palette: SystemPalette { colorGroup: SystemPalette.Active }

    // A dark desktop theme draws light text on dark windows.
    readonly property bool dark: palette.window.hslLightness < 0.5

    readonly property color primary: dark ? "#f2f2f2" : "#1d1d1f"
    readonly property color secondary: Qt.rgba(primary.r, primary.g, primary.b, 0.6)
    readonly property color accent: palette.highlight
    readonly property color red: "#ff3b30"

    // The faint fill behind grouped rows: primary at 5 %.
    readonly property color rowFill: Qt.rgba(primary.r, primary.g, primary.b, 0.05)

    // Text styles, in pixels.
    readonly property int bodySize: 13
    readonly property int calloutSize: 12
    readonly property int captionSize: 11
    readonly property string fontFamily: Qt.application.font.family
}
