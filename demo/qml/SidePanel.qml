import QtQuick
import QtQuick.Layouts
import Im.Meeting 1.0
import MeetingDemo 1.0

// Attendees, people waiting to be let in, meeting links and the timeline.
Rectangle {
    id: panel
    property string tab: "people"
    signal tabPicked(string name)
    readonly property var meeting: demo.current
    color: Theme.panel

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 10

        Row {
            Layout.fillWidth: true
            spacing: 4
            Repeater {
                model: [
                    { key: "people", label: qsTr("People"), count: panel.meeting ? panel.meeting.attendeeList.actualCount : 0 },
                    { key: "waiting", label: qsTr("Waiting"), count: panel.meeting ? panel.meeting.pendingAttendeeList.count : 0 },
                    { key: "links", label: qsTr("Links"), count: -1 },
                    { key: "timeline", label: qsTr("Timeline"), count: -1 }
                ]
                delegate: Rectangle {
                    required property var modelData
                    readonly property bool current: panel.tab === modelData.key
                    width: (panel.width - 24 - 12) / 4
                    height: 32; radius: 8
                    color: current ? Theme.card : "transparent"
                    border.color: current ? Theme.accent : "transparent"
                    Row {
                        anchors.centerIn: parent
                        spacing: 4
                        Text { textFormat: Text.PlainText; text: modelData.label; color: current ? Theme.text : Theme.dim; font.family: Theme.font; font.pixelSize: 12 }
                        Rectangle {
                            visible: modelData.count > 0
                            width: 18; height: 16; radius: 8
                            color: modelData.key === "waiting" ? Theme.warn : Theme.line
                            anchors.verticalCenter: parent.verticalCenter
                            Text { textFormat: Text.PlainText; anchors.centerIn: parent; text: modelData.count; color: modelData.key === "waiting" ? "#1f1300" : Theme.text; font.family: Theme.font; font.pixelSize: 10; font.bold: true }
                        }
                    }
                    MouseArea { anchors.fill: parent; onClicked: panel.tabPicked(modelData.key) }
                }
            }
        }

        // People
        ColumnLayout {
            visible: panel.tab === "people"
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 8
            Text {
                textFormat: Text.PlainText
                visible: panel.meeting === null
                text: qsTr("Open a meeting to see who is in it.")
                color: Theme.dim; font.family: Theme.font; font.pixelSize: 12
            }
            ListView {
                Layout.fillWidth: true
                Layout.fillHeight: true
                clip: true
                spacing: 6
                model: panel.meeting ? panel.meeting.attendeeList : null
                delegate: AttendeeRow {
                    user: model.user
                    width: ListView.view.width
                    meeting: panel.meeting
                }
            }
            DemoButton {
                visible: panel.meeting !== null && panel.meeting.state === MeetingDefines.CONNECTED
                Layout.fillWidth: true
                icon: "plus"; text: qsTr("Invite the rest of the conversation"); fontSize: 12
                onClicked: demo.inviteMissing()
            }
        }

        // Waiting
        PendingPanel {
            visible: panel.tab === "waiting"
            Layout.fillWidth: true
            Layout.fillHeight: true
            meeting: panel.meeting
        }

        LinksPanel {
            visible: panel.tab === "links"
            Layout.fillWidth: true
            Layout.fillHeight: true
        }

        TimelinePanel {
            visible: panel.tab === "timeline"
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
    }
}
