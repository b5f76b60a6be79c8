import QtQuick
import QtMultimedia
import Im.Meeting 1.0
import MeetingDemo 1.0

// One attendee entry: a camera (or the person's initials when it is off), a shared screen or a
// whiteboard, with the name, microphone, network and hand indicators on top.
Rectangle {
    id: tile
    property var user: null
    property var meeting: null
    property bool compact: false

    readonly property int kind: user ? user.type : MeetingDefines.VIDEO
    readonly property var contact: user ? user.userInfo : null
    readonly property string personName: contact ? contact.name : ""
    readonly property var uid: contact ? contact.uid : -1
    readonly property bool showsVideo: user !== null && kind !== MeetingDefines.WHITEBOARD
                                       && user.muteVideo === 0 && !user.muteVideoLocal
    readonly property bool speaking: user !== null && user.isSpeaking && user.muteVoice === 0
                                     && kind === MeetingDefines.VIDEO
    readonly property color personColour: demo.colourOf(uid)

    radius: compact ? 8 : 12
    color: Qt.darker(personColour, 3.2)
    clip: true
    border.width: speaking ? 3 : 1
    border.color: speaking ? Theme.ok : Theme.line

    // The output registers with the attendee's sink, so the same stream can play here and in
    // every other view of this attendee at once.
    VideoOutput {
        id: output
        anchors.fill: parent
        anchors.margins: tile.border.width
        visible: tile.showsVideo
        fillMode: tile.kind === MeetingDefines.VIDEO ? VideoOutput.PreserveAspectCrop : VideoOutput.PreserveAspectFit
    }
    property var boundSink: null
    function bindSink() {
        var sink = user && kind !== MeetingDefines.WHITEBOARD ? user.videoSink : null
        if (sink === boundSink)
            return
        if (boundSink)
            boundSink.removeSink(output.videoSink)
        boundSink = sink
        if (sink)
            sink.appendSink(output.videoSink)
    }
    onUserChanged: bindSink()
    Component.onCompleted: bindSink()
    Component.onDestruction: if (boundSink) boundSink.removeSink(output.videoSink)
    Connections {
        // After a reconnect the lists stop every sink; showing the tile again restarts it.
        target: tile.meeting
        function onNotifySwitchWindow() { if (tile.boundSink) tile.boundSink.appendSink(output.videoSink) }
    }

    Avatar {
        anchors.centerIn: parent
        visible: tile.kind === MeetingDefines.VIDEO && !tile.showsVideo
        name: tile.personName
        tone: tile.personColour
        size: Math.min(tile.width, tile.height) * 0.36
        Rectangle {
            // Ripples while a person without a picture talks.
            anchors.centerIn: parent
            width: parent.width + 14; height: width; radius: width / 2
            color: "transparent"
            border.width: 3
            border.color: Theme.ok
            visible: tile.speaking
        }
    }

    Loader {
        anchors.fill: parent
        anchors.margins: 2
        active: tile.kind === MeetingDefines.WHITEBOARD
        sourceComponent: Item {
            WhiteboardCanvas {
                id: canvas
                anchors.fill: parent
                store: demo.whiteboards
                shareId: tile.user ? tile.user.shareId : ""
                meeting: tile.meeting
                editable: tile.user !== null && (tile.uid === demo.selfId || tile.user.allowDraw)
            }
            EventDispatcher {
                anchors.fill: parent
                onWheel: function (event) {
                    if (event.modifiers & Qt.ControlModifier)
                        canvas.zoom = canvas.zoom * (event.angleDelta.y > 0 ? 1.1 : 0.9)
                }
            }
        }
    }

    // Badges along the top.
    Row {
        anchors.top: parent.top; anchors.left: parent.left
        anchors.margins: 8
        spacing: 6
        Rectangle {
            visible: tile.user !== null && tile.kind === MeetingDefines.VIDEO && tile.user.participationStatus === MeetingDefines.RAISE_HAND
            width: handRow.implicitWidth + 14; height: 26; radius: 13
            color: Theme.warn
            Row {
                id: handRow
                anchors.centerIn: parent; spacing: 4
                Icon { width: 18; height: 18; name: "hand"; color: "#1f1300"; anchors.verticalCenter: parent.verticalCenter }
                Text { textFormat: Text.PlainText; visible: !tile.compact; text: qsTr("Hand raised"); color: "#1f1300"; font.family: Theme.font; font.pixelSize: 12; font.bold: true; anchors.verticalCenter: parent.verticalCenter }
            }
        }
        Rectangle {
            visible: tile.user !== null && tile.kind === MeetingDefines.VIDEO && tile.user.participationStatus === MeetingDefines.LISTENER && !tile.compact
            width: listenerText.implicitWidth + 14; height: 22; radius: 11
            color: "#33415580"; border.color: Theme.line
            Text { textFormat: Text.PlainText; id: listenerText; anchors.centerIn: parent; text: qsTr("Listener"); color: Theme.dim; font.family: Theme.font; font.pixelSize: 11 }
        }
        Rectangle {
            visible: tile.kind !== MeetingDefines.VIDEO
            width: shareRow.implicitWidth + 14; height: 26; radius: 13
            color: "#cc0f172a"
            Row {
                id: shareRow
                anchors.centerIn: parent; spacing: 6
                Icon { width: 16; height: 16; name: tile.kind === MeetingDefines.WHITEBOARD ? "board" : "screen"; color: Theme.text; anchors.verticalCenter: parent.verticalCenter }
                Text {
                    textFormat: Text.PlainText
                    anchors.verticalCenter: parent.verticalCenter
                    text: tile.kind === MeetingDefines.WHITEBOARD ? qsTr("%1's whiteboard").arg(tile.personName) : qsTr("%1's screen").arg(tile.personName)
                    color: Theme.text; font.family: Theme.font; font.pixelSize: 12
                }
            }
        }
    }
    Icon {
        visible: tile.kind === MeetingDefines.VIDEO && tile.user !== null
        anchors.top: parent.top; anchors.right: parent.right; anchors.margins: 8
        width: 20; height: 20
        name: "signal"
        level: tile.user ? tile.user.networkScore : 0
        color: tile.user && tile.user.networkScore <= 2 ? Theme.warn : "white"
    }

    // Name and microphone along the bottom.
    Rectangle {
        visible: tile.kind === MeetingDefines.VIDEO
        anchors.left: parent.left; anchors.bottom: parent.bottom; anchors.margins: 8
        height: tile.compact ? 22 : 28
        width: nameRow.implicitWidth + 16
        radius: height / 2
        color: "#cc0f172a"
        Row {
            id: nameRow
            anchors.centerIn: parent
            spacing: 6
            Icon {
                anchors.verticalCenter: parent.verticalCenter
                width: tile.compact ? 14 : 18; height: width
                readonly property int mute: tile.user ? tile.user.muteVoice : 0
                name: mute === 0 ? "mic" : "mic-off"
                color: mute === 0 ? (tile.speaking ? Theme.ok : "white") : Theme.danger
            }
            Text {
                textFormat: Text.PlainText
                anchors.verticalCenter: parent.verticalCenter
                text: tile.personName + (tile.uid === demo.selfId ? qsTr(" (you)") : "")
                color: "white"; font.family: Theme.font; font.pixelSize: tile.compact ? 11 : 13
            }
            Icon {
                visible: tile.meeting !== null && tile.uid === tile.meeting.hostUid
                anchors.verticalCenter: parent.verticalCenter
                width: 14; height: 14; name: "star"; color: Theme.warn
            }
            Text {
                textFormat: Text.PlainText
                visible: tile.user !== null && tile.user.muteVoice === 3 && !tile.compact
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("muted by host"); color: "#fca5a5"; font.family: Theme.font; font.pixelSize: 11
            }
        }
    }

    // A level meter from the engine's decibel series while the person talks.
    Row {
        visible: tile.speaking && !tile.compact
        anchors.right: parent.right; anchors.bottom: parent.bottom; anchors.margins: 12
        spacing: 3
        Repeater {
            model: tile.user ? tile.user.decibels : []
            delegate: Rectangle {
                required property var modelData
                width: 4; radius: 2
                height: Math.max(3, Math.min(24, modelData / 2.4))
                anchors.bottom: parent.bottom
                color: Theme.ok
            }
        }
    }
}
