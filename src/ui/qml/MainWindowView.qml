// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Parlune.Ui
import Parlune.Views

// The main window's content: the walkthrough until it has been completed, then the shortcut's keycap
// with the state of the program, the permissions still missing, the settings and the three newest
// transcripts. 380 wide; as high as its content.
Item {
    id: root

    required property QtObject coordinator
    // Built here when the window is given only the coordinator.
    property MainWindowModel model: ViewFactory.mainWindowModel(coordinator, root)

    implicitWidth: 380
    implicitHeight: coordinator.onboardingDone ? content.implicitHeight + 36 + 18 : 500

    WindowMaterial {
        anchors.fill: parent
    }

    Loader {
        id: walkthrough
        anchors.fill: parent
        active: !root.coordinator.onboardingDone
        focus: active
        sourceComponent: OnboardingView {
            windowModel: root.model
        }
    }

    Component.onCompleted: model.refreshMicrophone()

    ColumnLayout {
        id: content
        visible: root.coordinator.onboardingDone
        x: 18
        y: 36
        width: root.width - 36
        spacing: 16

        // The hero: the shortcut, and what the program is doing.
        Item {
            Layout.fillWidth: true
            implicitHeight: hero.implicitHeight

            ColumnLayout {
                id: hero
                width: parent.width
                spacing: 14

                Keycap {
                    Layout.alignment: Qt.AlignHCenter
                    label: root.model.keycapLabel
                    pressed: root.coordinator.isRecording
                    large: true
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 4

                    // A status message can be long: it wraps rather than leaving the window.
                    Text {
                        Layout.fillWidth: true
                        text: root.model.title
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.WordWrap
                        font.pixelSize: 15
                        font.weight: Font.DemiBold
                        color: Theme.primary
                    }
                    // Two lines at least; a longer explanation pushes what follows down.
                    Item {
                        Layout.fillWidth: true
                        implicitHeight: Math.max(36, subtitleText.implicitHeight)

                        LevelBars {
                            visible: root.coordinator.isRecording
                            anchors.top: parent.top
                            anchors.horizontalCenter: parent.horizontalCenter
                            level: root.coordinator.audioLevel
                            bars: 14
                            height: 16
                        }
                        Text {
                            id: subtitleText
                            objectName: "subtitle"
                            visible: !root.coordinator.isRecording
                            width: parent.width
                            anchors.top: parent.top
                            text: root.model.subtitle
                            horizontalAlignment: Text.AlignHCenter
                            wrapMode: Text.WordWrap
                            font.pixelSize: Theme.calloutSize
                            lineHeight: 1.1
                            color: Theme.secondary
                        }
                    }
                }
            }

            // How long the last dictation took to turn into text.
            Rectangle {
                id: latencyPill
            objectName: "latencyPill"
                visible: root.model.latencyText !== ""
                anchors.top: parent.top
                anchors.right: parent.right
                width: latencyLabel.implicitWidth + 14
                height: latencyLabel.implicitHeight + 6
                radius: height / 2
                color: Theme.rowFill

                Text {
                    id: latencyLabel
                    anchors.centerIn: parent
                    text: root.model.latencyText
                    font.pixelSize: 10
                    color: Theme.secondary
                }
                HoverHandler {
                    id: latencyHover
                }
                ToolTip.visible: latencyHover.hovered
                ToolTip.delay: 500
                ToolTip.text: qsTr("Délai entre la fin de la parole et le texte, dernière dictée")
            }
        }

        // The model of the chosen language, while it downloads.
        ModelDownloadRow {
            Layout.fillWidth: true
            coordinator: root.coordinator
        }
        ModelProblemRow {
            Layout.fillWidth: true
            coordinator: root.coordinator
        }

        // Only what is still missing.
        Panel {
            objectName: "permissions"
            Layout.fillWidth: true
            visible: root.model.showsPermissions

            PanelRow {
                visible: !root.model.micGranted
                icon: "mic"
                title: qsTr("Micro")
                detail: qsTr("Pour entendre votre voix")
                ProminentButton {
                    text: qsTr("Autoriser")
                    onClicked: root.model.requestMicrophone()
                }
            }
            Separator {
                visible: !root.model.micGranted && !root.coordinator.shortcutReady
            }
            // Where the desktop binds the shortcut (Wayland) and has not, or cannot; on GNOME without the
            // shortcuts portal, the offer of a keybinding of GNOME's own.
            PanelRow {
                objectName: "shortcutRow"
                visible: !root.coordinator.shortcutReady
                icon: "keyboard"
                title: qsTr("Raccourci")
                detail: root.model.shortcutDetail
                ProminentButton {
                    visible: root.model.canOpenShortcutSettings && !root.model.offersKeybinding
                    text: qsTr("Réglages")
                    onClicked: root.model.openShortcutSettings()
                }
                below: ProminentButton {
                    objectName: "createKeybinding"
                    visible: root.model.offersKeybinding
                    text: qsTr("Créer le raccourci dans GNOME")
                    onClicked: root.model.createKeybinding()
                }
            }
            Separator {
                visible: (!root.model.micGranted || !root.coordinator.shortcutReady)
                         && !root.coordinator.accessibilityGranted
            }
            PanelRow {
                visible: !root.coordinator.accessibilityGranted
                icon: "hand.raised"
                title: root.coordinator.desktopBindsShortcut ? qsTr("Saisie au clavier") : qsTr("Accessibilité")
                detail: root.coordinator.desktopBindsShortcut ? qsTr("Pour coller le texte dans vos applications")
                                                              : qsTr("Pour la touche et le collage")
                // Only where the desktop's settings can be opened: never a button that does nothing.
                ProminentButton {
                    visible: root.model.canRequestAccessibility
                    text: qsTr("Autoriser")
                    onClicked: root.model.requestAccessibility()
                }
            }
            Separator {
                visible: root.model.warnsAboutFn
                         && (!root.model.micGranted || !root.coordinator.accessibilityGranted)
            }
            // A shortcut nobody can hold here: fn, which programs do not see on a PC keyboard.
            PanelRow {
                objectName: "fnWarning"
                visible: root.model.warnsAboutFn
                icon: "keyboard"
                title: qsTr("Touche fn")
                detail: qsTr("Non détectée")
                ProminentButton {
                    text: root.model.useDefaultShortcutTitle
                    onClicked: root.model.useDefaultShortcut()
                }
            }
        }

        Panel {
            Layout.fillWidth: true

            PanelRow {
                icon: "globe"
                title: qsTr("Langue")
                SegmentedPicker {
                    segments: root.model.languageCodes
                    currentIndex: root.model.languageIndex
                    onActivated: (index) => root.model.languageIndex = index
                }
            }
            Separator {}
            PanelRow {
                objectName: "recognitionRow"
                icon: "waveform"
                title: qsTr("Reconnaissance")
                SegmentedPicker {
                    objectName: "recognitionPicker"
                    segments: root.model.recognition.choiceNames
                    currentIndex: root.model.recognition.choiceIndex
                    disabledSegments: root.model.recognition.accurateAvailable ? [] : [1]
                    onActivated: (index) => root.model.recognition.choiceIndex = index
                }
            }
            // Under the row's title, and as wide as the row's texts may go.
            Item {
                width: parent ? parent.width : 0
                implicitHeight: recognitionDetail.implicitHeight + 12

                RecognitionDetail {
                    id: recognitionDetail
                    x: 44
                    y: -6
                    width: parent.width - 44 - 14
                    recognition: root.model.recognition
                }
            }
            Separator {}
            PanelRow {
                icon: "keyboard"
                title: qsTr("Touche")
                ShortcutRecorder {
                    combo: root.coordinator.shortcut
                    desktopBinds: root.coordinator.desktopBindsShortcut
                    // Nothing to record, and no settings to open: the keycap only shows the keys.
                    enabled: !root.coordinator.desktopBindsShortcut || root.model.canOpenShortcutSettings
                    desktopLabel: root.model.keycapLabel
                    onRecorded: (combo) => root.coordinator.shortcut = combo
                    onDesktopSettingsRequested: root.model.openShortcutSettings()
                }
            }
            // The keybinding Parlune added to GNOME's: the desktop runs Parlune at each press, so a hold
            // ends only once the presses stop coming.
            Separator {
                visible: root.model.hasKeybinding
            }
            PanelRow {
                objectName: "keybindingRow"
                visible: root.model.hasKeybinding
                icon: "keyboard"
                title: qsTr("Raccourci de GNOME")
                detail: qsTr("Maintenez-le pour parler : Parlune voit le relâchement avec un court retard.")
                below: PlainButton {
                    objectName: "removeKeybinding"
                    text: qsTr("Retirer le raccourci")
                    fontSize: Theme.captionSize
                    onClicked: root.model.removeKeybinding()
                }
            }
            Separator {}
            PanelRow {
                icon: "bell"
                title: qsTr("Sons de début et de fin")
                ToggleSwitch {
                    checked: root.coordinator.soundsEnabled
                    onToggled: root.coordinator.soundsEnabled = checked
                }
            }
            Separator {}
            PanelRow {
                icon: "speaker.slash"
                title: qsTr("Couper le son en dictée")
                ToggleSwitch {
                    checked: root.coordinator.muteWhileRecording
                    onToggled: root.coordinator.muteWhileRecording = checked
                }
            }
            Separator {}
            PanelRow {
                icon: "power"
                title: qsTr("Ouvrir à la connexion")
                ToggleSwitch {
                    checked: root.coordinator.launchAtLogin
                    onToggled: root.coordinator.launchAtLogin = checked
                }
            }
        }

        ColumnLayout {
            id: recentSection
            objectName: "recent"
            Layout.fillWidth: true
            visible: root.model.recent.length > 0
            spacing: 6

            // Rows keep their checkmark by transcript, so a new transcript at the top leaves the marks
            // of the rows below it in place.
            property var copiedIds: ({})

            RowLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 4
                Layout.rightMargin: 4

                Text {
                    text: qsTr("Récents")
                    font.pixelSize: Theme.captionSize
                    font.weight: Font.Medium
                    color: Theme.secondary
                }
                Item {
                    Layout.fillWidth: true
                }
                PlainButton {
                    text: qsTr("Effacer")
                    fontSize: Theme.captionSize
                    onClicked: {
                        recentSection.copiedIds = {}
                        root.model.clearHistory()
                    }
                }
            }

            Panel {
                Layout.fillWidth: true

                Repeater {
                    model: root.model.recent

                    Column {
                        id: entry
                        required property int index
                        required property var modelData
                        width: parent ? parent.width : 0

                        Separator {
                            visible: entry.index > 0
                            inset: 14
                        }
                        HistoryRow {
                            width: parent.width
                            entryText: entry.modelData.text
                            time: entry.modelData.time
                            copied: recentSection.copiedIds[entry.modelData.id] === true
                            onCopy: {
                                root.model.copy(entry.modelData.text)
                                let ids = recentSection.copiedIds
                                ids[entry.modelData.id] = true
                                recentSection.copiedIds = ids
                            }
                        }
                    }
                }
            }
        }
    }
}
