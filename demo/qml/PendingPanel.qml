import QtQuick
import QtQuick.Layouts
import MeetingDemo 1.0

// People who asked to join through a meeting link and wait for the host.
ColumnLayout {
    id: pending
    property var meeting: null
    spacing: 8

    Text {
        textFormat: Text.PlainText
        visible: !pending.meeting || pending.meeting.pendingAttendeeList.count === 0
        text: qsTr("Nobody is waiting to be let in.")
        color: Theme.dim; font.family: Theme.font; font.pixelSize: 12
    }
    ListView {
        Layout.fillWidth: true
        Layout.fillHeight: true
        clip: true
        spacing: 6
        model: pending.meeting ? pending.meeting.pendingAttendeeList : null
        delegate: Rectangle {
            readonly property var user: model.user
            readonly property var contact: user ? user.userInfo : null
            width: ListView.view.width
            height: 92
            radius: 8
            color: Theme.card
            border.color: Theme.warn
            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 10
                spacing: 6
                RowLayout {
                    spacing: 10
                    Avatar { size: 34; name: contact ? contact.name : "?"; tone: demo.colourOf(contact ? contact.uid : -1) }
                    Column {
                        Text { textFormat: Text.PlainText; text: contact ? contact.name : qsTr("Someone"); color: Theme.text; font.family: Theme.font; font.pixelSize: 14; font.bold: true }
                        Text { textFormat: Text.PlainText; text: qsTr("asks to join through a meeting link"); color: Theme.dim; font.family: Theme.font; font.pixelSize: 11 }
                    }
                }
                RowLayout {
                    visible: pending.meeting !== null && pending.meeting.isHost
                    spacing: 6
                    DemoButton { text: qsTr("Let in"); icon: "check"; tone: Theme.ok; fontSize: 12; implicitHeight: 28; onClicked: demo.admit(contact.uid) }
                    DemoButton { text: qsTr("Turn away"); icon: "close"; fontSize: 12; implicitHeight: 28; onClicked: demo.turnAway(contact.uid) }
                }
            }
        }
    }
}
