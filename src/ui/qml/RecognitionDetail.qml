// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Parlune.Ui

// Beside the choice between fast and accurate recognition: what the chosen option is (unless the page
// says it already), which one suits this computer, the accurate model's licence and, while the chosen
// engine's model is not in use yet, what serves meanwhile, with the download's progress or the failure.
ColumnLayout {
    id: detail

    required property QtObject recognition
    property bool showsDescription: true
    property int alignment: Text.AlignLeft

    spacing: 3

    component Line: Text {
        Layout.fillWidth: true
        visible: text !== ""
        wrapMode: Text.WordWrap
        horizontalAlignment: detail.alignment
        font.pixelSize: Theme.captionSize
        color: Theme.secondary
    }

    Line {
        objectName: "recognitionDescription"
        text: detail.showsDescription ? detail.recognition.description : ""
    }
    Line {
        objectName: "recognitionRecommendation"
        text: detail.recognition.recommendation
    }
    // The whole notice, with the addresses, where the pointer rests.
    Line {
        objectName: "recognitionLicence"
        text: detail.recognition.accurateAvailable ? detail.recognition.licence : ""

        HoverHandler {
            id: licenceHover
        }
        ToolTip.visible: licenceHover.hovered
        ToolTip.delay: 500
        ToolTip.text: detail.recognition.licenceNotice
    }
    Line {
        objectName: "recognitionState"
        Layout.topMargin: 3
        text: detail.recognition.stateText
        color: Theme.primary
    }

    // The download of the model that will serve, while it runs.
    ColumnLayout {
        Layout.fillWidth: true
        visible: detail.recognition.showsProgress
        spacing: 4

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            Text {
                objectName: "recognitionProgress"
                Layout.fillWidth: true
                text: detail.recognition.progressText
                wrapMode: Text.WordWrap
                font.pixelSize: Theme.captionSize
                color: Theme.secondary
            }
            PlainButton {
                objectName: "cancelRecognitionDownload"
                visible: detail.recognition.canCancel
                text: qsTr("Annuler")
                fontSize: Theme.captionSize
                onClicked: detail.recognition.cancel()
            }
        }
        Rectangle {
            Layout.fillWidth: true
            visible: detail.recognition.progressFraction >= 0
            implicitHeight: 4
            radius: 2
            color: Theme.rowFill

            Rectangle {
                width: parent.width * Math.max(0, Math.min(1, detail.recognition.progressFraction))
                height: parent.height
                radius: 2
                color: Theme.accent
            }
        }
    }

    PlainButton {
        objectName: "retryRecognition"
        Layout.alignment: detail.alignment === Text.AlignHCenter ? Qt.AlignHCenter : Qt.AlignLeft
        Layout.leftMargin: detail.alignment === Text.AlignHCenter ? 0 : -4
        visible: detail.recognition.canRetry
        text: qsTr("Réessayer")
        fontSize: Theme.captionSize
        onClicked: detail.recognition.retry()
    }
}
