import QtQuick
import QtQuick.Layouts
import Im.Meeting 1.0
import MeetingDemo 1.0

// Microphone, camera, share, whiteboard, hand, the host's controls and leave.
Rectangle {
    id: bar
    property var meeting: null
    height: 84
    radius: 14
    color: Theme.panel

    property int revision: 0
    Connections {
        target: bar.meeting ? bar.meeting.attendeeList : null
        function onCountChanged() { bar.revision++ }
        function onModelReset() { bar.revision++ }
    }
    readonly property var me: {
        revision
        return meeting ? meeting.attendeeList.getAttendeeInfoByUid(meeting.userId) : null
    }
    function ownShare(type) {
        return meeting ? meeting.attendeeList.getAttendeeInfoByUid(meeting.userId, type) : null
    }
    readonly property bool host: meeting !== null && meeting.isHost
    readonly property bool listener: me !== null && me.participationStatus !== MeetingDefines.SPEAKER
                                     && meeting.canSpeakingPrivileges
    readonly property bool micOn: me !== null && me.muteVoice === 0
    readonly property bool camOn: me !== null && me.muteVideo === 0
    readonly property bool heldByHost: me !== null && me.muteVoice === 3 && !host && !meeting.canUnmuteAudio

    RowLayout {
        anchors.centerIn: parent
        spacing: 4

        RoundButton {
            icon: bar.micOn ? "mic" : "mic-off"
            caption: bar.heldByHost ? qsTr("Held by host") : bar.micOn ? qsTr("Mute") : qsTr("Unmute")
            active: bar.micOn
            enabledState: !bar.listener && !bar.heldByHost
            onClicked: bar.me.muteVoice = bar.micOn ? 1 : 0
        }
        RoundButton {
            icon: bar.camOn ? "camera" : "camera-off"
            caption: bar.camOn ? qsTr("Stop video") : qsTr("Start video")
            active: bar.camOn
            enabledState: !bar.listener
            onClicked: bar.me.muteVideo = bar.camOn ? 1 : 0
        }
        RoundButton {
            readonly property var share: { bar.revision; return bar.ownShare(MeetingDefines.SHARESCREEN) }
            icon: "screen"
            caption: share ? qsTr("Stop share") : qsTr("Share")
            active: share === null
            inactiveTone: Theme.accent
            enabledState: bar.meeting !== null && (bar.host || bar.meeting.canMultiShare)
            onClicked: share ? bar.meeting.closeShare(share.shareId)
                             : bar.meeting.createShare(MeetingDefines.DESKTOP_SHARE, null, Qt.size(1920, 1080), 15)
        }
        RoundButton {
            readonly property var board: { bar.revision; return bar.ownShare(MeetingDefines.WHITEBOARD) }
            icon: "board"
            caption: board ? qsTr("Close board") : qsTr("Whiteboard")
            active: board === null
            inactiveTone: Theme.accent
            enabledState: bar.meeting !== null && (bar.host || bar.meeting.canMultiShare)
            onClicked: board ? bar.meeting.closeShare(board.shareId)
                             : bar.meeting.createShare(MeetingDefines.WHITEBOARD_SHARE)
        }
        RoundButton {
            visible: !bar.host
            readonly property bool raised: bar.me !== null && bar.me.participationStatus === MeetingDefines.RAISE_HAND
            icon: "hand"
            caption: raised ? qsTr("Lower hand") : qsTr("Raise hand")
            active: !raised
            inactiveTone: Theme.warn
            onClicked: bar.meeting.raiseHand(raised)
        }

        Rectangle { visible: bar.host; width: 1; height: 48; color: Theme.line; Layout.leftMargin: 8; Layout.rightMargin: 8 }
        RoundButton {
            visible: bar.host
            icon: "mic-off"; caption: qsTr("Mute all")
            onClicked: bar.meeting.setMuteAll(true, false, MeetingDefines.MUTE_AUDIO)
        }
        RoundButton {
            visible: bar.host
            icon: "mic"; caption: qsTr("Unmute all")
            onClicked: {
                bar.meeting.setMuteAll(false, true, MeetingDefines.MUTE_AUDIO)
                bar.meeting.setRequestOpenDev(MeetingDefines.MUTE_AUDIO)
            }
        }
        RoundButton {
            visible: bar.host
            icon: "screen"
            caption: bar.meeting && bar.meeting.canMultiShare ? qsTr("All may share") : qsTr("Host shares")
            active: bar.meeting !== null && bar.meeting.canMultiShare
            inactiveTone: "#475569"
            // The engine takes 0 for host-only sharing and anything else for everyone.
            onClicked: bar.meeting.setSharePremission(bar.meeting.canMultiShare ? 0 : 1, !bar.meeting.canSpeakingPrivileges)
        }

        Rectangle { width: 1; height: 48; color: Theme.line; Layout.leftMargin: 8; Layout.rightMargin: 8 }
        RoundButton {
            icon: "leave"; caption: qsTr("Leave")
            active: false
            onClicked: demo.leave(false)
        }
        RoundButton {
            visible: bar.host
            icon: "close"; caption: qsTr("End for all")
            active: false
            inactiveTone: "#7f1d1d"
            onClicked: demo.leave(true)
        }
    }
}
