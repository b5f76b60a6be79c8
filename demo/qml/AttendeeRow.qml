import QtQuick
import QtQuick.Layouts
import QtMultimedia
import Im.Meeting 1.0
import MeetingDemo 1.0

// One person in the side panel, with a live thumbnail of their camera and, for the host, what
// can be done about them.
Rectangle {
    id: row
    property var user: null
    property var meeting: null
    readonly property bool isCamera: user !== null && user.type === MeetingDefines.VIDEO
    readonly property var contact: user ? user.userInfo : null
    readonly property var uid: contact ? contact.uid : -1
    readonly property bool self: uid === demo.selfId
    readonly property bool hostView: meeting !== null && meeting.isHost && !self && !meeting.isPrivateCall
                                     && meeting.state === MeetingDefines.CONNECTED
                                     && user !== null && user.state === MeetingDefines.ACTIVE
    readonly property bool showsVideo: isCamera && user.muteVideo === 0 && !user.muteVideoLocal

    visible: isCamera
    height: isCamera ? content.implicitHeight + 14 : 0
    radius: 8
    color: user && user.isSpeaking ? "#153322" : Theme.card

    function statusText() {
        if (!user)
            return ""
        switch (user.state) {
        case MeetingDefines.INVITING: return qsTr("Calling…")
        case MeetingDefines.REJECTED: return qsTr("Declined")
        case MeetingDefines.TIMEOUT: return qsTr("No answer")
        case MeetingDefines.BUSY: return qsTr("Busy")
        case MeetingDefines.RECONNECT:
        case MeetingDefines.DISCONNECT: return qsTr("Reconnecting…")
        }
        var parts = []
        if (meeting && uid === meeting.hostUid)
            parts.push(qsTr("Host"))
        switch (user.participationStatus) {
        case MeetingDefines.RAISE_HAND: parts.push(qsTr("Hand raised")); break
        case MeetingDefines.INVITE: parts.push(qsTr("Invited to speak")); break
        case MeetingDefines.LISTENER: parts.push(qsTr("Listener")); break
        default: parts.push(qsTr("Speaker"))
        }
        return parts.join(" · ")
    }

    ColumnLayout {
        id: content
        anchors.left: parent.left; anchors.right: parent.right
        anchors.top: parent.top; anchors.margins: 7
        spacing: 6
        RowLayout {
            spacing: 8
            Rectangle {
                id: thumbBox
                width: 64; height: 36; radius: 5
                color: Qt.darker(demo.colourOf(row.uid), 3)
                clip: true
                Avatar {
                    anchors.centerIn: parent
                    visible: !row.showsVideo
                    size: 28
                    name: row.contact ? row.contact.name : ""
                    tone: demo.colourOf(row.uid)
                }
                // A second output on the same sink as the grid tile.
                VideoOutput {
                    id: thumb
                    anchors.fill: parent
                    visible: row.showsVideo
                    fillMode: VideoOutput.PreserveAspectCrop
                }
                property var boundSink: null
                function bindSink() {
                    var sink = row.isCamera ? row.user.videoSink : null
                    if (sink === boundSink)
                        return
                    if (boundSink)
                        boundSink.removeSink(thumb.videoSink)
                    boundSink = sink
                    if (sink)
                        sink.appendSink(thumb.videoSink)
                }
                Connections { target: row; function onUserChanged() { thumbBox.bindSink() } }
                Component.onCompleted: bindSink()
                Component.onDestruction: if (boundSink) boundSink.removeSink(thumb.videoSink)
            }
            Column {
                Layout.fillWidth: true
                Text {
                    textFormat: Text.PlainText
                    text: (row.contact ? row.contact.name : "") + (row.self ? qsTr(" (you)") : "")
                    color: Theme.text; font.family: Theme.font; font.pixelSize: 13
                    elide: Text.ElideRight; width: 150
                }
                Text {
                    textFormat: Text.PlainText
                    text: row.statusText()
                    color: row.user && row.user.participationStatus === MeetingDefines.RAISE_HAND ? Theme.warn : Theme.dim
                    font.family: Theme.font; font.pixelSize: 11
                }
            }
            Icon {
                visible: row.user !== null && row.user.participationStatus === MeetingDefines.RAISE_HAND
                width: 18; height: 18; name: "hand"; color: Theme.warn
            }
            Icon {
                width: 18; height: 18
                readonly property int mute: row.user ? row.user.muteVoice : 0
                name: mute === 0 ? "mic" : "mic-off"
                color: mute !== 0 ? Theme.danger : row.user && row.user.isSpeaking ? Theme.ok : Theme.dim
            }
        }
        Flow {
            visible: row.hostView
            Layout.fillWidth: true
            spacing: 4
            component Action: DemoButton { fontSize: 10; implicitHeight: 22; tone: "#24324f" }
            Action {
                visible: row.user && row.user.participationStatus === MeetingDefines.RAISE_HAND
                text: qsTr("Let speak"); tone: Theme.ok
                onClicked: row.meeting.agreeSpeak(row.uid, false)
            }
            Action {
                visible: row.user && row.user.participationStatus === MeetingDefines.RAISE_HAND
                text: qsTr("Not now")
                onClicked: row.meeting.rejectSpeak(row.uid)
            }
            Action {
                visible: row.user && row.user.participationStatus === MeetingDefines.LISTENER && row.meeting.canSpeakingPrivileges
                text: qsTr("Invite to speak")
                onClicked: row.meeting.inviteSpeak(row.uid, false)
            }
            Action {
                visible: row.user && row.user.muteVoice === 0
                text: qsTr("Mute")
                onClicked: row.user.muteVoice = 1
            }
            Action {
                visible: row.user && row.user.participationStatus === MeetingDefines.SPEAKER && row.meeting.canSpeakingPrivileges
                text: qsTr("To listener")
                onClicked: row.meeting.beListener(row.uid)
            }
            Action {
                text: qsTr("Make host")
                onClicked: row.meeting.transfer(row.uid)
            }
            Action {
                text: qsTr("Remove"); textColor: "#fca5a5"
                onClicked: row.meeting.kicked(row.uid)
            }
        }
    }
}
