// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// The translucent background of the program's windows: a dark or light veil that lets what lies
// behind the window show through. Where the compositor blurs behind windows, the window asks for it
// (see the window controller), and the veil sits over that blur.
Rectangle {
    color: Theme.dark ? Qt.rgba(0.12, 0.12, 0.13, 0.86) : Qt.rgba(0.96, 0.96, 0.97, 0.88)
    // A hairline at the edge keeps the window apart from a background of the same tone.
    border.width: 1
    border.color: Theme.dark ? Qt.rgba(1, 1, 1, 0.08) : Qt.rgba(0, 0, 0, 0.08)
}
