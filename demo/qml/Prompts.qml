import QtQuick
import Im.Meeting 1.0
import MeetingDemo 1.0

// Questions the meeting puts to the user: a raised hand (to the host), an invitation to speak,
// a request to switch a device back on.
Column {
    id: prompts
    spacing: 8
    readonly property var meeting: demo.current

    property string handName: ""
    property var handUser: null
    property string inviteFrom: ""
    property int deviceType: -1

    // The prompt carries a name; the attendee list knows whose it is.
    function userOfName(name) {
        var list = meeting.attendeeList
        for (var i = 0; i < list.count; ++i) {
            var u = list.getAttendeeInfoByIndex(i)
            if (u && u.type === MeetingDefines.VIDEO && u.userInfo && u.userInfo.name === name)
                return u
        }
        return null
    }

    Connections {
        target: prompts.meeting
        function onNotifyRaiseHand(name, cancel) {
            prompts.handName = cancel ? "" : name
            prompts.handUser = cancel ? null : prompts.userOfName(name)
        }
        function onInviteSpeaker(operatorId, cancel) { prompts.inviteFrom = cancel ? "" : demo.nameOf(operatorId) }
        function onRequestOpenDev(type, hostRequest) { prompts.deviceType = type }
        function onStateChanged(state) {
            if (state !== MeetingDefines.CONNECTED) {
                prompts.handName = ""; prompts.inviteFrom = ""; prompts.deviceType = -1
            }
        }
    }
    onMeetingChanged: { handName = ""; inviteFrom = ""; deviceType = -1 }

    component Card: Rectangle {
        id: card
        property string icon
        property string text
        default property alias buttons: buttonRow.data
        width: Math.max(380, cardRow.implicitWidth + 32)
        height: 60; radius: 12
        color: Theme.card
        border.color: Theme.warn
        Row {
            id: cardRow
            anchors.centerIn: parent
            spacing: 12
            Icon { width: 26; height: 26; name: card.icon; color: Theme.warn; anchors.verticalCenter: parent.verticalCenter }
            Text { textFormat: Text.PlainText; text: card.text; color: Theme.text; font.family: Theme.font; font.pixelSize: 14; anchors.verticalCenter: parent.verticalCenter }
            Row { id: buttonRow; spacing: 6; anchors.verticalCenter: parent.verticalCenter }
        }
    }

    Card {
        // Gone once the hand is down, whoever answered it.
        visible: prompts.handName !== "" && prompts.handUser !== null
                 && prompts.handUser.participationStatus === MeetingDefines.RAISE_HAND
        icon: "hand"
        text: qsTr("%1 raised a hand").arg(prompts.handName)
        DemoButton {
            text: qsTr("Let speak"); tone: Theme.ok; implicitHeight: 30
            onClicked: { prompts.meeting.agreeSpeak(prompts.handUser.userInfo.uid, false); prompts.handName = "" }
        }
        DemoButton {
            text: qsTr("Not now"); implicitHeight: 30
            onClicked: { prompts.meeting.rejectSpeak(prompts.handUser.userInfo.uid); prompts.handName = "" }
        }
    }
    Card {
        visible: prompts.inviteFrom !== ""
        icon: "mic"
        text: qsTr("%1 invites you to speak").arg(prompts.inviteFrom)
        DemoButton { text: qsTr("OK"); implicitHeight: 30; onClicked: prompts.inviteFrom = "" }
    }
    Card {
        visible: prompts.deviceType >= 0
        icon: prompts.deviceType === 0 ? "mic" : "camera"
        text: prompts.deviceType === 0 ? qsTr("Turn your microphone back on?") : qsTr("Turn your camera back on?")
        DemoButton {
            text: qsTr("Turn on"); tone: Theme.ok; implicitHeight: 30
            onClicked: {
                var me = prompts.meeting.attendeeList.getAttendeeInfoByUid(prompts.meeting.userId)
                if (me) {
                    if (prompts.deviceType === 0)
                        me.muteVoice = 0
                    else
                        me.muteVideo = 0
                }
                prompts.deviceType = -1
            }
        }
        DemoButton { text: qsTr("Keep off"); implicitHeight: 30; onClicked: prompts.deviceType = -1 }
    }
}
