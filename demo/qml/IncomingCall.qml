import QtQuick
import MeetingDemo 1.0

// The ringing prompt of an incoming call.
Rectangle {
    id: overlay
    readonly property var meeting: demo.incoming
    visible: meeting !== null
    color: "#aa050a14"
    MouseArea { anchors.fill: parent }

    Rectangle {
        anchors.centerIn: parent
        width: 440; height: 330; radius: 18
        color: Theme.card
        border.color: Theme.accent
        Column {
            anchors.centerIn: parent
            spacing: 14
            Item {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 96; height: 96
                Rectangle {
                    // The ring around the caller pulses while it rings.
                    anchors.centerIn: parent
                    width: 96; height: 96; radius: 48
                    color: "transparent"; border.color: Theme.ok; border.width: 3
                    SequentialAnimation on scale {
                        running: overlay.visible; loops: Animation.Infinite
                        NumberAnimation { from: 0.85; to: 1.05; duration: 700 }
                        NumberAnimation { from: 1.05; to: 0.85; duration: 700 }
                    }
                }
                Avatar { anchors.centerIn: parent; size: 74; name: demo.incomingCaller; tone: demo.colourOf(demo.incomingCallerId) }
            }
            Text {
                textFormat: Text.PlainText
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("%1 is calling").arg(demo.incomingCaller)
                color: Theme.text; font.family: Theme.font; font.pixelSize: 20; font.bold: true
            }
            Text {
                textFormat: Text.PlainText
                anchors.horizontalCenter: parent.horizontalCenter
                text: overlay.meeting ? overlay.meeting.meetingName() + "  ·  " + demo.incomingPlace : ""
                color: Theme.dim; font.family: Theme.font; font.pixelSize: 13
            }
            Text {
                textFormat: Text.PlainText
                // Who is in there already, from the meeting's own active list.
                anchors.horizontalCenter: parent.horizontalCenter
                color: Theme.dim; font.family: Theme.font; font.pixelSize: 12
                text: {
                    if (!overlay.meeting)
                        return ""
                    var list = overlay.meeting.activeAttendeeList
                    var names = []
                    for (var i = 0; i < list.count; ++i) {
                        var u = list.getAttendeeInfoByIndex(i)
                        if (u && u.userInfo)
                            names.push(u.userInfo.name.split(" ")[0])
                    }
                    return names.length ? qsTr("In the call: %1").arg(names.join(", ")) : ""
                }
            }
            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 10
                DemoButton { text: qsTr("Decline"); icon: "leave"; tone: Theme.danger; onClicked: demo.declineIncoming() }
                DemoButton { text: qsTr("Audio only"); icon: "mic"; onClicked: demo.acceptIncoming(false) }
                DemoButton { text: qsTr("Join with video"); icon: "camera"; tone: Theme.ok; onClicked: demo.acceptIncoming(true) }
            }
        }
    }
}
