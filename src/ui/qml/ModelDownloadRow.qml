// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Parlune.Ui

// The download of the current language's model while it runs: what is being fetched, how far it has
// come, and a way to stop it. Takes no room while there is none.
Item {
    id: row

    required property QtObject coordinator

    visible: coordinator.modelDownloadActive
    implicitWidth: 300
    implicitHeight: visible ? column.implicitHeight : 0

    ColumnLayout {
        id: column
        width: parent.width
        spacing: 6

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Text {
                objectName: "modelDownloadText"
                Layout.fillWidth: true
                text: row.coordinator.modelDownloadText
                // The speed and time left go to a second line rather than out of sight.
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
                font.pixelSize: Theme.captionSize
                color: Theme.secondary
            }
            PlainButton {
                objectName: "cancelModelDownload"
                visible: row.coordinator.modelDownloadCancellable
                text: qsTr("Annuler")
                fontSize: Theme.captionSize
                onClicked: row.coordinator.cancelModelDownload()
            }
        }
        // Only the download's bytes are measured: checking and loading show no bar.
        Rectangle {
            Layout.fillWidth: true
            visible: row.coordinator.modelDownloadFraction >= 0
            implicitHeight: 4
            radius: 2
            color: Theme.rowFill

            Rectangle {
                objectName: "modelDownloadBar"
                width: parent.width * Math.max(0, Math.min(1, row.coordinator.modelDownloadFraction))
                height: parent.height
                radius: 2
                color: Theme.accent
            }
        }
    }
}
