import QtQuick
import QtQuick.Layouts
import Im.Meeting 1.0
import MeetingDemo 1.0

// The open meeting: who is talking, the video grid (or a share with the cameras beside it),
// and the controls.
Rectangle {
    id: pane
    color: Theme.bg
    readonly property var meeting: demo.current
    readonly property bool inCall: meeting !== null && meeting.state === MeetingDefines.CONNECTED

    // Bumped whenever the active list changes shape, so look-ups below are redone.
    property int revision: 0
    Connections {
        target: pane.meeting ? pane.meeting.activeAttendeeList : null
        function onCountChanged() { pane.revision++ }
        function onMoved() { pane.revision++ }
        function onModelReset() { pane.revision++ }
    }
    readonly property var shareUser: {
        revision
        if (!meeting)
            return null
        var list = meeting.activeAttendeeList
        var index = list.getFirstAttendeeIndex(MeetingDefines.SHARESCREEN)
        return index < 0 ? null : list.getAttendeeInfoByIndex(index)
    }
    readonly property int cameraCount: meeting ? meeting.activeAttendeeList.actualCount : 0

    Column {
        anchors.centerIn: parent
        visible: pane.meeting === null
        spacing: 10
        Icon { anchors.horizontalCenter: parent.horizontalCenter; width: 56; height: 56; name: "camera"; color: Theme.line }
        Text { textFormat: Text.PlainText; anchors.horizontalCenter: parent.horizontalCenter; text: qsTr("No meeting open"); color: Theme.dim; font.family: Theme.font; font.pixelSize: 18 }
        Text { textFormat: Text.PlainText; anchors.horizontalCenter: parent.horizontalCenter; text: qsTr("Start one from a conversation, or wait for a call."); color: Theme.dim; font.family: Theme.font; font.pixelSize: 13 }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12
        visible: pane.meeting !== null

        // Header
        RowLayout {
            Layout.fillWidth: true
            spacing: 12
            Column {
                Layout.fillWidth: true
                spacing: 3
                Text {
                    textFormat: Text.PlainText
                    text: pane.meeting ? (pane.meeting.meetingId, pane.meeting.meetingName()) : ""
                    color: Theme.text; font.family: Theme.font; font.pixelSize: 22; font.bold: true
                }
                Text {
                    textFormat: Text.PlainText
                    text: pane.meeting ? demo.conversationTitle(pane.meeting.dialogId) + "  ·  " + qsTr("host: %1").arg(demo.nameOf(pane.meeting.hostUid)) : ""
                    color: Theme.dim; font.family: Theme.font; font.pixelSize: 12
                }
            }
            Rectangle {
                visible: pane.inCall && pane.meeting.isHost && !pane.meeting.isPrivateCall
                height: 28; width: hostRow.implicitWidth + 20; radius: 14
                color: "#3a2f0b"; border.color: Theme.warn
                Row {
                    id: hostRow
                    anchors.centerIn: parent; spacing: 6
                    Icon { width: 16; height: 16; name: "star"; color: Theme.warn; anchors.verticalCenter: parent.verticalCenter }
                    Text { textFormat: Text.PlainText; text: qsTr("You are the host"); color: Theme.warn; font.family: Theme.font; font.pixelSize: 12; anchors.verticalCenter: parent.verticalCenter }
                }
            }
            Rectangle {
                visible: pane.inCall
                height: 28; width: timeText.implicitWidth + 24; radius: 14
                color: "#13301c"; border.color: Theme.ok
                Text { textFormat: Text.PlainText; id: timeText; anchors.centerIn: parent; text: pane.meeting ? pane.meeting.meetingTime : ""; color: Theme.ok; font.family: "DejaVu Sans Mono"; font.pixelSize: 13; font.bold: true }
            }
        }

        // Who is speaking
        Rectangle {
            Layout.fillWidth: true
            height: 30; radius: 8
            color: Theme.panel
            visible: pane.inCall
            Row {
                anchors.verticalCenter: parent.verticalCenter
                anchors.left: parent.left; anchors.leftMargin: 12
                spacing: 8
                Icon { width: 16; height: 16; name: "mic"; color: pane.meeting && pane.meeting.whoRSpeaking.length > 0 ? Theme.ok : Theme.dim; anchors.verticalCenter: parent.verticalCenter }
                Text {
                    textFormat: Text.PlainText
                    anchors.verticalCenter: parent.verticalCenter
                    color: Theme.text; font.family: Theme.font; font.pixelSize: 13
                    text: pane.meeting && pane.meeting.whoRSpeaking.length > 0
                          ? qsTr("Speaking: %1").arg(pane.meeting.whoRSpeaking.join(", "))
                          : qsTr("Nobody is speaking")
                }
            }
            Text {
                textFormat: Text.PlainText
                anchors.verticalCenter: parent.verticalCenter
                anchors.right: parent.right; anchors.rightMargin: 12
                color: Theme.dim; font.family: Theme.font; font.pixelSize: 12
                text: pane.meeting ? qsTr("%1 in the call · %2 not joined").arg(pane.cameraCount).arg(pane.meeting.callingAttendeeList.count) : ""
            }
        }

        // Stage
        Item {
            id: stage
            Layout.fillWidth: true
            Layout.fillHeight: true

            // A share takes the stage; the cameras move to a strip beside it.
            readonly property bool sharing: pane.shareUser !== null
            // Beside a share the cameras take a strip just wide enough for their tiles.
            readonly property real stripWidth: {
                if (!sharing)
                    return 0
                var n = Math.max(1, pane.cameraCount)
                var bestTile = 0
                var bestWidth = 0
                for (var cols = 1; cols <= 2; ++cols) {
                    var rows = Math.ceil(n / cols)
                    var tile = Math.min(width * 0.17, (height - (rows - 1) * 10) / rows * 16 / 9)
                    if (tile > bestTile + 1) {
                        bestTile = tile
                        bestWidth = cols * tile + (cols - 1) * 10
                    }
                }
                return bestWidth
            }

            // The share keeps its own 16:9 shape, top-aligned.
            VideoTile {
                visible: stage.sharing
                readonly property real room: stage.width - stage.stripWidth - 12
                x: 0; y: 0
                width: Math.min(room, stage.height * 16 / 9)
                height: width * 9 / 16
                user: pane.shareUser
                meeting: pane.meeting
            }

            Item {
                id: gridArea
                x: stage.sharing ? stage.width - stage.stripWidth : 0
                width: stage.sharing ? stage.stripWidth : stage.width
                height: stage.height
                readonly property int n: Math.max(1, pane.cameraCount)
                readonly property real gap: 10
                function tileFor(cols) {
                    var rows = Math.ceil(n / cols)
                    var w = (width - (cols - 1) * gap) / cols
                    var h = (height - (rows - 1) * gap) / rows
                    return Math.min(w, h * 16 / 9)
                }
                // As many columns as give the largest tiles; side by side when nearly equal.
                readonly property int cols: {
                    var best = 1
                    for (var c = 2; c <= Math.min(n, stage.sharing ? 2 : 5); ++c) {
                        if (tileFor(c) > tileFor(best) * (stage.sharing ? 1.0 : 0.95))
                            best = c
                    }
                    return best
                }
                readonly property real tileW: Math.max(60, tileFor(cols))
                Grid {
                    id: grid
                    x: (parent.width - width) / 2
                    y: stage.sharing ? 0 : (parent.height - height) / 2
                    columns: gridArea.cols
                    spacing: gridArea.gap
                    Repeater {
                        model: pane.meeting ? pane.meeting.activeAttendeeList : null
                        delegate: VideoTile {
                            user: model.user
                            visible: user !== null && user.type === MeetingDefines.VIDEO
                            width: gridArea.tileW
                            height: gridArea.tileW * 9 / 16
                            compact: stage.sharing || gridArea.tileW < 260
                            meeting: pane.meeting
                        }
                    }
                }
            }

            // Not (or no longer) in this meeting.
            Rectangle {
                anchors.fill: parent
                visible: pane.meeting !== null && !pane.inCall
                color: "#e60b1220"
                radius: 12
                Column {
                    anchors.centerIn: parent
                    spacing: 14
                    Text {
                        textFormat: Text.PlainText
                        anchors.horizontalCenter: parent.horizontalCenter
                        color: Theme.text; font.family: Theme.font; font.pixelSize: 20; font.bold: true
                        text: demo.ratingFor !== "" ? qsTr("You left the meeting") : qsTr("You are not in this call")
                    }
                    Text {
                        textFormat: Text.PlainText
                        anchors.horizontalCenter: parent.horizontalCenter
                        color: Theme.dim; font.family: Theme.font; font.pixelSize: 13
                        text: pane.meeting ? qsTr("%n people are in the call", "", pane.cameraCount) : ""
                    }
                    Column {
                        visible: demo.ratingFor !== ""
                        anchors.horizontalCenter: parent.horizontalCenter
                        spacing: 8
                        Text { textFormat: Text.PlainText; anchors.horizontalCenter: parent.horizontalCenter; text: qsTr("How was the call?"); color: Theme.text; font.family: Theme.font; font.pixelSize: 14 }
                        Row {
                            id: stars
                            anchors.horizontalCenter: parent.horizontalCenter
                            spacing: 6
                            property int hovered: -1
                            Repeater {
                                model: 5
                                delegate: Icon {
                                    required property int index
                                    width: 30; height: 30; name: "star"
                                    color: index <= stars.hovered ? Theme.warn : Theme.dim
                                    MouseArea {
                                        anchors.fill: parent
                                        hoverEnabled: true
                                        onContainsMouseChanged: stars.hovered = containsMouse ? parent.index : -1
                                        onClicked: demo.rate(parent.index + 1)
                                    }
                                }
                            }
                        }
                    }
                    DemoButton {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: qsTr("Join again"); icon: "camera"; tone: Theme.ok
                        onClicked: demo.join(pane.meeting)
                    }
                }
            }
        }

        ControlBar {
            Layout.fillWidth: true
            meeting: pane.meeting
            visible: pane.inCall
        }
    }
}
