// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Shapes
import Parlune.App

// The floating panel's content: one capsule whose inside follows the coordinator's status. Only the
// recording row animates, as the live preview grows; every other change of status shows at once.
Item {
    id: hud

    required property QtObject coordinator

    readonly property int kind: coordinator.status.kind
    readonly property string label: coordinator.status.label
    readonly property string livePreview: coordinator.livePreview
    readonly property string recordingCaption: coordinator.languageCode.toUpperCase()
                                               + (coordinator.handsFree ? " · mains libres" : "")

    implicitWidth: 420
    implicitHeight: 60

    // The capsule hugs its content with margins of 14 at the sides and 8 above and below.
    Rectangle {
        id: capsule
        objectName: "capsule"
        anchors.centerIn: parent
        width: content.width + 28
        height: content.height + 16
        radius: height / 2
        antialiasing: true
        color: Theme.dark ? Qt.rgba(0.16, 0.16, 0.17, 0.82) : Qt.rgba(0.98, 0.98, 0.99, 0.84)
        border.width: 1
        border.color: Theme.dark ? Qt.rgba(1, 1, 1, 0.12) : Qt.rgba(0, 0, 0, 0.1)

        Item {
            id: content
            anchors.centerIn: parent
            width: active.width
            height: active.height
            readonly property Item active: hud.kind === RecordingStatus.Recording ? recordingRow
                                         : hud.kind === RecordingStatus.Preparing
                                           || hud.kind === RecordingStatus.Transcribing ? progressRow
                                         : hud.kind === RecordingStatus.Inserted ? insertedLabel
                                         : notice

            // Idle and message: up to two centred lines, cut with an ellipsis after the second.
            Text {
                id: notice
                objectName: "notice"
                visible: content.active === notice
                anchors.centerIn: parent
                width: Math.min(300, implicitWidth)
                text: hud.label
                color: Theme.primary
                font.pixelSize: Theme.captionSize
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
                horizontalAlignment: Text.AlignHCenter
            }

            Row {
                id: progressRow
                objectName: "progressRow"
                visible: content.active === progressRow
                anchors.centerIn: parent
                spacing: 8

                // A small indeterminate spinner.
                Shape {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 12
                    height: 12
                    ShapePath {
                        strokeColor: Theme.secondary
                        strokeWidth: 1.6
                        fillColor: "transparent"
                        capStyle: ShapePath.RoundCap
                        PathAngleArc { centerX: 6; centerY: 6; radiusX: 5; radiusY: 5; startAngle: 0; sweepAngle: 270 }
                    }
                    RotationAnimator on rotation {
                        from: 0
                        to: 360
                        duration: 900
                        loops: Animation.Infinite
                        running: progressRow.visible && hud.visible
                    }
                }
                // A download's speed and time left take a second line rather than leave the panel.
                Text {
                    objectName: "progressText"
                    anchors.verticalCenter: parent.verticalCenter
                    width: Math.min(300, implicitWidth)
                    text: hud.label
                    color: Theme.primary
                    font.pixelSize: Theme.captionSize
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                }
                // Stops the download of the language's model; the panel never takes the focus.
                PlainButton {
                    objectName: "cancelModelDownload"
                    anchors.verticalCenter: parent.verticalCenter
                    visible: hud.kind === RecordingStatus.Preparing && hud.coordinator.modelDownloadCancellable
                    text: qsTr("Annuler")
                    fontSize: Theme.captionSize
                    onClicked: hud.coordinator.cancelModelDownload()
                }
            }

            Row {
                id: insertedLabel
                objectName: "insertedLabel"
                visible: content.active === insertedLabel
                anchors.centerIn: parent
                spacing: 4
                SymbolIcon {
                    anchors.verticalCenter: parent.verticalCenter
                    name: "checkmark"
                    size: 12
                    weight: 2.4
                    color: Theme.secondary
                }
                Text {
                    objectName: "insertedText"
                    anchors.verticalCenter: parent.verticalCenter
                    text: hud.label
                    color: Theme.secondary
                    font.pixelSize: Theme.captionSize
                    font.weight: Font.Medium
                }
            }

            Row {
                id: recordingRow
                objectName: "recordingRow"
                visible: content.active === recordingRow
                anchors.centerIn: parent
                spacing: 10

                // Stop: finishes the dictation (the text is transcribed and delivered). The panel never
                // takes the focus, so the application being dictated into stays in front.
                Item {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 18
                    height: 18
                    SymbolIcon {
                        anchors.fill: parent
                        name: "stop.circle.fill"
                        size: 18
                        color: Theme.red
                    }
                    Shape {
                        id: stopDisc
                        anchors.fill: parent
                        containsMode: Shape.FillContains
                        ShapePath {
                            fillColor: "transparent"
                            strokeColor: "transparent"
                            PathAngleArc { centerX: 9; centerY: 9; radiusX: 8; radiusY: 8; startAngle: 0; sweepAngle: 360 }
                        }
                    }
                    MouseArea {
                        id: stopArea
                        objectName: "stopButton"
                        anchors.fill: parent
                        hoverEnabled: true
                        containmentMask: stopDisc
                        onClicked: hud.coordinator.toggle()
                    }
                    // The controls library is loaded only if the pointer comes to the button: the panel
                    // shows at every dictation, its tooltip seldom.
                    Loader {
                        anchors.fill: parent
                        active: stopArea.containsMouse
                        source: "StopToolTip.qml"
                    }
                }

                LevelBars {
                    anchors.verticalCenter: parent.verticalCenter
                    level: hud.coordinator.audioLevel
                    bars: 10
                    height: 18
                }

                // The language (and hands-free mode) until words arrive, then the latest words, their
                // beginning cut off so that the newest stay in sight; the old and new text cross-fade.
                Item {
                    id: textSlot
                    anchors.verticalCenter: parent.verticalCenter
                    width: slotWidth.value
                    height: Math.max(caption.implicitHeight, preview.implicitHeight)
                    clip: true

                    Spring {
                        id: slotWidth
                        target: hud.livePreview.length > 0 ? Math.min(250, preview.implicitWidth) : caption.implicitWidth
                        response: 0.15
                        dampingFraction: 0.85
                        // Only a new live preview moves the row; showing the row starts at its size.
                        animated: recordingRow.visible
                    }

                    Text {
                        id: caption
                        objectName: "recordingCaption"
                        anchors.verticalCenter: parent.verticalCenter
                        visible: hud.livePreview.length === 0
                        text: hud.recordingCaption
                        color: Theme.secondary
                        font.pixelSize: Theme.captionSize
                    }

                    Text {
                        id: fading
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        width: Math.min(250, implicitWidth)
                        color: Theme.primary
                        font.pixelSize: Theme.calloutSize
                        elide: Text.ElideLeft
                        horizontalAlignment: Text.AlignRight
                        opacity: 0
                    }

                    Text {
                        id: preview
                        objectName: "livePreview"
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        visible: hud.livePreview.length > 0
                        width: Math.min(250, implicitWidth)
                        text: hud.livePreview
                        color: Theme.primary
                        font.pixelSize: Theme.calloutSize
                        maximumLineCount: 1
                        elide: Text.ElideLeft
                        horizontalAlignment: Text.AlignRight
                        property string shown
                        onTextChanged: {
                            if (shown.length > 0 && recordingRow.visible) {
                                fading.text = shown
                                crossFade.restart()
                            }
                            shown = preview.text
                        }
                    }

                    ParallelAnimation {
                        id: crossFade
                        NumberAnimation { target: fading; property: "opacity"; from: 1; to: 0; duration: 150 }
                        NumberAnimation { target: preview; property: "opacity"; from: 0; to: 1; duration: 150 }
                    }
                }
            }
        }
    }
}
