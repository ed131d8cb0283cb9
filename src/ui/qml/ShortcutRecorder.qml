// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import Parlune.Ui
import Parlune.Views

// The shortcut as a keycap: a click waits for the next key combination, or for a modifier pressed and
// released alone. Escape or a second click cancel, and so does the control leaving the screen.
// Where the desktop binds the shortcut itself (Wayland), the keycap shows what it bound and a click opens
// the desktop's shortcut settings instead.
AbstractButton {
    id: control

    // The shortcut shown; a recorded one is handed to recorded().
    property var combo
    // Replaces the control's own tooltip at rest when set.
    property string restToolTip
    property bool desktopBinds: false
    property string desktopLabel
    readonly property bool recording: recorder.recording

    signal recorded(var combo)
    signal desktopSettingsRequested()

    implicitWidth: keycap.implicitWidth
    implicitHeight: keycap.implicitHeight
    focusPolicy: Qt.NoFocus
    hoverEnabled: true

    ToolTip.visible: hovered || recorder.recording
    ToolTip.delay: recorder.recording ? 0 : 700
    ToolTip.text: desktopBinds ? qsTr("Changer dans les réglages des raccourcis du bureau")
                : recorder.recording || restToolTip === "" ? recorder.toolTip : restToolTip

    KeyComboRecorder {
        id: recorder
        combo: control.combo
        window: control.Window.window
        onRecorded: (combo) => control.recorded(combo)
    }

    onClicked: desktopBinds ? desktopSettingsRequested() : recorder.click()
    onVisibleChanged: if (!visible) recorder.stopRecording()
    Component.onDestruction: recorder.stopRecording()

    background: Item {}
    contentItem: Keycap {
        id: keycap
        label: control.desktopBinds ? control.desktopLabel : recorder.label
        pressed: recorder.recording
        large: false
    }
}
