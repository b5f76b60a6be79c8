import QtQuick
import QtQuick.Layouts
import Im.Meeting 1.0
import MeetingDemo 1.0

// The account's conversations, each with the meetings its meeting list holds.
Rectangle {
    id: pane
    color: Theme.panel
    signal play(string name)

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 14
        spacing: 12

        RowLayout {
            spacing: 10
            Avatar { name: demo.nameOf(demo.selfId); tone: demo.colourOf(demo.selfId); size: 36 }
            Column {
                Text { textFormat: Text.PlainText; text: demo.nameOf(demo.selfId); color: Theme.text; font.family: Theme.font; font.pixelSize: 15; font.bold: true }
                Text { textFormat: Text.PlainText; text: qsTr("Signed in"); color: Theme.ok; font.family: Theme.font; font.pixelSize: 11 }
            }
        }

        Text {
            textFormat: Text.PlainText
            text: qsTr("Conversations")
            color: Theme.dim
            font.family: Theme.font
            font.pixelSize: 12
            font.capitalization: Font.AllUppercase
            font.letterSpacing: 1
        }

        ListView {
            id: list
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 10
            model: demo.conversations
            delegate: Rectangle {
                id: conv
                required property string dialogId
                required property string title
                required property bool isGroup
                required property string subtitle
                required property var meetings
                readonly property bool selected: demo.current !== null && demo.current.dialogId === dialogId

                width: ListView.view.width
                height: body.implicitHeight + 20
                radius: 10
                color: selected ? Theme.cardHover : Theme.card
                border.width: selected ? 1 : 0
                border.color: Theme.accent

                ColumnLayout {
                    id: body
                    anchors.fill: parent
                    anchors.margins: 10
                    spacing: 6
                    RowLayout {
                        spacing: 8
                        Rectangle {
                            width: 30; height: 30; radius: conv.isGroup ? 8 : 15
                            color: conv.isGroup ? "#334a7a" : demo.colourOf(1002)
                            Icon { anchors.centerIn: parent; width: 18; height: 18; name: conv.isGroup ? "people" : "phone"; color: "white" }
                        }
                        Column {
                            Layout.fillWidth: true
                            Text { textFormat: Text.PlainText; text: conv.title; color: Theme.text; font.family: Theme.font; font.pixelSize: 14; font.bold: true; elide: Text.ElideRight; width: 170 }
                            Text { textFormat: Text.PlainText; text: conv.subtitle; color: Theme.dim; font.family: Theme.font; font.pixelSize: 11; elide: Text.ElideRight; width: 170 }
                        }
                    }
                    Repeater {
                        model: conv.meetings
                        delegate: Rectangle {
                            id: chip
                            required property var meeting
                            readonly property bool inCall: meeting && meeting.state === MeetingDefines.CONNECTED
                            readonly property int present: meeting ? meeting.activeAttendeeList.actualCount : 0
                            Layout.fillWidth: true
                            height: 40
                            radius: 8
                            color: inCall ? "#16361f" : "#1f2d4d"
                            border.color: inCall ? Theme.ok : Theme.line
                            MouseArea { anchors.fill: parent; onClicked: demo.show(chip.meeting) }
                            Rectangle {
                                id: dot
                                width: 8; height: 8; radius: 4
                                anchors.left: parent.left; anchors.leftMargin: 10
                                anchors.verticalCenter: parent.verticalCenter
                                color: chip.inCall ? Theme.ok : chip.present > 0 ? Theme.warn : Theme.dim
                            }
                            Column {
                                anchors.left: dot.right; anchors.leftMargin: 8
                                anchors.verticalCenter: parent.verticalCenter
                                Text {
                                    textFormat: Text.PlainText
                                    // The name has no change signal; the id changes with it.
                                    text: chip.meeting ? (chip.meeting.meetingId, chip.meeting.meetingName()) : ""
                                    color: Theme.text; font.family: Theme.font; font.pixelSize: 12; font.bold: true
                                    width: 120; elide: Text.ElideRight
                                }
                                Text {
                                    textFormat: Text.PlainText
                                    text: chip.inCall ? qsTr("You are in · %1").arg(chip.meeting.meetingTime)
                                                      : chip.present > 0 ? qsTr("%n in the call", "", chip.present) : qsTr("Nobody in the call")
                                    color: Theme.dim; font.family: Theme.font; font.pixelSize: 10
                                }
                            }
                            DemoButton {
                                visible: !chip.inCall
                                anchors.right: parent.right; anchors.rightMargin: 6
                                anchors.verticalCenter: parent.verticalCenter
                                implicitHeight: 26
                                text: qsTr("Join"); fontSize: 11
                                tone: Theme.ok
                                onClicked: demo.join(chip.meeting)
                            }
                        }
                    }
                    RowLayout {
                        spacing: 6
                        DemoButton {
                            text: conv.isGroup ? qsTr("Start meeting") : qsTr("Call")
                            icon: conv.isGroup ? "camera" : "phone"
                            fontSize: 11; implicitHeight: 26
                            onClicked: demo.startMeeting(conv.dialogId)
                        }
                        DemoButton {
                            visible: conv.subtitle !== qsTr("Through a meeting link")
                            text: qsTr("Ring me"); fontSize: 11; implicitHeight: 26
                            tone: "transparent"; textColor: Theme.dim
                            onClicked: demo.simulateIncomingCall(conv.dialogId)
                        }
                    }
                }
            }
        }

        Text {
            textFormat: Text.PlainText
            visible: !headless
            text: qsTr("Scenarios")
            color: Theme.dim; font.family: Theme.font; font.pixelSize: 12
        }
        RowLayout {
            visible: !headless
            spacing: 6
            DemoButton {
                Layout.fillWidth: true
                icon: "play"; text: qsTr("Invited"); tone: Theme.accent; fontSize: 12
                onClicked: pane.play("invited")
            }
            DemoButton {
                Layout.fillWidth: true
                icon: "play"; text: qsTr("Hosting"); tone: Theme.accent; fontSize: 12
                onClicked: pane.play("hosting")
            }
        }
    }
}
