// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Parlune.Ui
import Parlune.Views

// The first-run walkthrough, one page at a time: what the program does, the microphone, the
// accessibility access, the fn key (only when it is the shortcut and still busy), the language, a
// practice dictation and a last page. Pages only move forward; Return presses the main button.
FocusScope {
    id: view
    objectName: "onboarding"

    required property MainWindowModel windowModel
    readonly property var coordinator: windowModel.coordinator
    readonly property OnboardingModel flow: windowModel.makeOnboarding(view)
    // What the keycaps show: the shortcut, or that there is none.
    readonly property string shortcutLabel: windowModel.keycapLabel

    implicitWidth: 380
    implicitHeight: 500
    focus: true

    Keys.onReturnPressed: flow.primaryAction()
    Keys.onEnterPressed: flow.primaryAction()

    Component.onCompleted: {
        flow.start()
        pages.replace(null, pageFor(flow.step), {"step": flow.step}, StackView.Immediate)
    }

    function pageFor(step) {
        switch (step) {
        case OnboardingModel.Welcome: return welcomePage
        case OnboardingModel.Language: return languagePage
        case OnboardingModel.Recognition: return recognitionPage
        case OnboardingModel.Practice: return practicePage
        case OnboardingModel.Done: return donePage
        default: return statusPage
        }
    }

    Connections {
        target: view.flow
        function onStepChanged() {
            const page = view.pageFor(view.flow.step)
            if (pages.currentItem && pages.currentItem.step === view.flow.step)
                return
            pages.replace(page, {"step": view.flow.step})
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.leftMargin: 28
        anchors.rightMargin: 28
        anchors.bottomMargin: 22
        spacing: 0

        // One capsule per page of this run; the current one is long and coloured.
        Row {
            Layout.topMargin: 34
            Layout.alignment: Qt.AlignHCenter
            spacing: 6

            Repeater {
                model: view.flow.stepCount

                Rectangle {
                    required property int index
                    readonly property bool current: index === view.flow.stepIndex
                    width: current ? 18 : 6
                    height: 6
                    radius: 3
                    color: current ? Theme.accent : Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.15)
                    Behavior on width { SpringAnimation { spring: 4; damping: 0.5; epsilon: 0.1 } }
                    Behavior on color { ColorAnimation { duration: 200 } }
                }
            }
        }

        StackView {
            id: pages
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.topMargin: 16
            Layout.bottomMargin: 16
            clip: true

            // The new page comes in from the trailing edge, the old one leaves towards the leading edge.
            replaceEnter: Transition {
                ParallelAnimation {
                    NumberAnimation { property: "x"; from: pages.width * 0.4; to: 0; duration: 320; easing.type: Easing.OutCubic }
                    NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 260 }
                }
            }
            replaceExit: Transition {
                ParallelAnimation {
                    NumberAnimation { property: "x"; from: 0; to: -pages.width * 0.4; duration: 320; easing.type: Easing.OutCubic }
                    NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 200 }
                }
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 10

            ProminentButton {
                Layout.fillWidth: true
                large: true
                text: view.flow.primaryTitle
                onClicked: view.flow.primaryAction()
            }
            Item {
                Layout.fillWidth: true
                implicitHeight: 26

                PlainButton {
                    anchors.centerIn: parent
                    visible: view.flow.secondary === OnboardingModel.Later
                             || view.flow.secondary === OnboardingModel.SkipPractice
                    text: view.flow.secondaryTitle
                    onClicked: view.flow.next()
                }
                ShortcutRecorder {
                    anchors.centerIn: parent
                    visible: view.flow.secondary === OnboardingModel.ShortcutRecorder
                    restToolTip: qsTr("Choisir une autre touche que fn")
                    combo: view.coordinator.shortcut
                    onRecorded: (combo) => view.coordinator.shortcut = combo
                }
            }
        }
    }

    // Every page is built for one step and keeps showing that step's texts while it moves out.
    component Page: Item {
        property int step
        // Follows every change of the walkthrough's texts and icons. It must change value to be told
        // on: the current page's own texts and icon, joined, do.
        readonly property string revision: view.flow.title + view.flow.text + view.flow.primaryTitle
                                           + view.flow.visualSymbol + view.flow.visualDone + view.shortcutLabel
        readonly property string pageTitle: { revision; return view.flow.titleFor(step) }
        readonly property string pageText: { revision; return view.flow.textFor(step) }
    }

    Component {
        id: welcomePage
        Page {
            step: OnboardingModel.Welcome
            StepPage {
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width
                title: parent.pageTitle
                text: parent.pageText
                Keycap {
                    label: view.shortcutLabel
                    large: true
                }
            }
        }
    }

    Component {
        id: statusPage
        Page {
            id: page
            StepPage {
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width
                title: page.pageTitle
                text: page.pageText
                StatusIcon {
                    symbol: { page.revision; return view.flow.visualSymbolFor(page.step) }
                    done: { page.revision; return view.flow.visualDoneFor(page.step) }
                }
            }
        }
    }

    Component {
        id: languagePage
        Page {
            step: OnboardingModel.Language
            StepPage {
                id: languageStep
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width
                title: parent.pageTitle
                text: parent.pageText
                SegmentedPicker {
                    large: true
                    segments: view.windowModel.languageNames
                    currentIndex: view.windowModel.languageIndex
                    onActivated: (index) => view.windowModel.languageIndex = index
                }
            }
            // The chosen language's model, while it downloads.
            ModelDownloadRow {
                anchors.top: languageStep.bottom
                anchors.topMargin: 14
                width: parent.width
                coordinator: view.coordinator
            }
        }
    }

    Component {
        id: recognitionPage
        Page {
            id: page
            step: OnboardingModel.Recognition
            ColumnLayout {
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width
                spacing: 12

                StepPage {
                    Layout.fillWidth: true
                    title: page.pageTitle
                    text: page.pageText
                    SegmentedPicker {
                        objectName: "recognitionPicker"
                        large: true
                        segments: view.windowModel.recognition.choiceNames
                        currentIndex: view.windowModel.recognition.choiceIndex
                        disabledSegments: view.windowModel.recognition.accurateAvailable ? [] : [1]
                        onActivated: (index) => view.windowModel.recognition.choiceIndex = index
                    }
                }
                RecognitionDetail {
                    Layout.fillWidth: true
                    recognition: view.windowModel.recognition
                    showsDescription: false
                    alignment: Text.AlignHCenter
                }
            }
        }
    }

    Component {
        id: practicePage
        Page {
            id: page
            step: OnboardingModel.Practice
            Component.onCompleted: field.forceActiveFocus()

            Connections {
                target: view.flow
                function onPracticeFocusRequested() { field.forceActiveFocus() }
            }

            ColumnLayout {
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width
                spacing: 14

                Keycap {
                    Layout.alignment: Qt.AlignHCenter
                    label: view.shortcutLabel
                    pressed: view.coordinator.isRecording
                    large: true
                }
                Text {
                    Layout.fillWidth: true
                    text: view.flow.practiceTitle
                    horizontalAlignment: Text.AlignHCenter
                    font.pixelSize: 17
                    font.weight: Font.DemiBold
                    color: Theme.primary
                }
                Item {
                    Layout.fillWidth: true
                    implicitHeight: 50

                    LevelBars {
                        visible: view.coordinator.isRecording
                        anchors.top: parent.top
                        anchors.horizontalCenter: parent.horizontalCenter
                        level: view.coordinator.audioLevel
                        bars: 14
                        height: 16
                    }
                    Text {
                        visible: !view.coordinator.isRecording
                        anchors.top: parent.top
                        width: parent.width
                        text: view.flow.practiceInstruction
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.WordWrap
                        font.pixelSize: Theme.calloutSize
                        color: Theme.secondary
                    }
                }
                // A real text field: a practice dictation pastes into it like into any other program.
                Rectangle {
                    Layout.fillWidth: true
                    implicitHeight: 76
                    radius: 10
                    color: Theme.rowFill
                    border.width: field.activeFocus ? 1 : 0
                    border.color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.6)

                    ScrollView {
                        anchors.fill: parent
                        TextArea {
                            id: field
                            objectName: "practiceField"
                            padding: 8
                            text: view.flow.practiceText
                            onTextChanged: view.flow.practiceText = text
                            wrapMode: TextEdit.Wrap
                            font.pixelSize: Theme.bodySize
                            color: Theme.primary
                            selectionColor: Theme.accent
                            background: Item {}
                            // Return presses the main button; Shift-Return starts a new line.
                            Keys.onReturnPressed: (event) => {
                                if (event.modifiers & Qt.ShiftModifier)
                                    event.accepted = false
                                else
                                    view.flow.primaryAction()
                            }
                            Accessible.name: qsTr("Votre texte arrivera ici")
                        }
                    }
                    Text {
                        x: 13
                        y: 8
                        visible: field.text.length === 0
                        text: qsTr("Votre texte arrivera ici")
                        font.pixelSize: Theme.bodySize
                        color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.35)
                    }
                }
            }
        }
    }

    Component {
        id: donePage
        Page {
            id: page
            step: OnboardingModel.Done
            ColumnLayout {
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width
                spacing: 14

                StepPage {
                    Layout.fillWidth: true
                    title: page.pageTitle
                    text: page.pageText
                    StatusIcon {
                        symbol: "checkmark"
                        done: true
                    }
                }
                RowLayout {
                    Layout.alignment: Qt.AlignHCenter
                    spacing: 8
                    ToggleSwitch {
                        id: loginSwitch
                        checked: view.coordinator.launchAtLogin
                        onToggled: view.coordinator.launchAtLogin = checked
                    }
                    Text {
                        text: qsTr("Ouvrir Parlune au démarrage du Mac")
                        font.pixelSize: Theme.bodySize
                        color: Theme.primary
                        TapHandler { onTapped: loginSwitch.toggle(), loginSwitch.toggled() }
                    }
                }
            }
        }
    }
}
