import QtQuick
import QtQuick.Window
import Example.Client 1.0
import Example.Meeting 1.0

Window {
    id: window
    width: 720
    height: 480
    visible: true
    title: "Meetings"

    readonly property var call: Session.call

    // What each tile shows, in order; the headless check reads it.
    function tileLabels() {
        var labels = []
        for (var i = 0; i < tiles.count; ++i)
            labels.push(tiles.itemAt(i).label)
        return labels
    }

    component Button: Rectangle {
        property alias text: caption.text
        signal clicked
        width: caption.implicitWidth + 24
        height: 32
        radius: 4
        color: area.pressed ? "#c0c8d8" : "#dde3ee"
        Text { id: caption; anchors.centerIn: parent }
        MouseArea { id: area; anchors.fill: parent; onClicked: parent.clicked() }
    }

    Column {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 8

        Text { text: "Status: " + Session.status }

        // The conversation's meetings: one row per meeting model.
        ListView {
            width: parent.width
            height: 40
            model: Session.meetings
            delegate: Row {
                required property var meeting
                spacing: 12
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: meeting.meetingName() + " - " + meeting.attendeeList.count + " invited"
                }
                Button {
                    text: "Join"
                    visible: meeting.state === MeetingDefines.NOTCREATE
                    onClicked: Session.join(meeting.meetingId)
                }
            }
        }

        Text {
            visible: window.call !== null
            text: window.call ? "Speaking: " + window.call.whoRSpeaking.join(", ") : ""
        }

        // One tile per attendee in the call, and one per shared screen.
        Flow {
            width: parent.width
            spacing: 8
            Repeater {
                id: tiles
                model: window.call ? window.call.activeAttendeeList : null
                delegate: Rectangle {
                    required property var user
                    readonly property bool isShare: user.type === MeetingDefines.SHARESCREEN
                    readonly property string name: user.userInfo ? user.userInfo.name : "?"
                    readonly property string label: (isShare ? "screen of " + name : name)
                        + (!isShare && user.muteVoice !== 0 ? " [mic off]" : "")
                        + (user.isSpeaking ? " (speaking)" : "")
                    width: 160
                    height: 100
                    radius: 6
                    color: isShare ? "#2d3b55" : "#3a4a3a"
                    border.width: user.isSpeaking ? 3 : 0
                    border.color: "#7fd67f"
                    Text {
                        anchors.centerIn: parent
                        color: "white"
                        text: parent.label
                    }
                }
            }
        }

        Button {
            text: "Leave"
            visible: window.call !== null && window.call.state === MeetingDefines.CONNECTED
            onClicked: Session.leave()
        }
    }
}
