import QtQuick
import QtQuick.Window
import QtMultimedia
import Live.Meeting 1.0

Window {
    id: window
    width: 980
    height: 560
    visible: true
    color: "#1e2230"
    title: "Live call - user " + (live.call ? live.call.userId : "")

    readonly property var call: live.call

    Text {
        id: header
        x: 12; y: 8
        color: "white"
        font.pixelSize: 16
        text: window.title + (window.call && window.call.state === MeetingDefines.CONNECTED
                              ? " - in the call" : " - connecting")
    }

    // One tile per attendee in the call, each showing that attendee's decoded video.
    Flow {
        anchors { left: parent.left; right: parent.right; top: header.bottom; bottom: parent.bottom }
        anchors.margins: 12
        spacing: 10
        Repeater {
            model: window.call ? window.call.activeAttendeeList : null
            delegate: Rectangle {
                id: tile
                required property var user
                readonly property string name: user.userInfo ? user.userInfo.name : "?"
                width: 310
                height: 210
                radius: 6
                color: "#2f3a4f"
                border.width: user.isSpeaking ? 3 : 0
                border.color: "#7fd67f"

                VideoOutput {
                    id: output
                    anchors.fill: parent
                    anchors.margins: 4
                    fillMode: VideoOutput.PreserveAspectFit
                }
                property var boundSink: null
                function bindSink() {
                    if (boundSink)
                        boundSink.removeSink(output.videoSink)
                    boundSink = user ? user.videoSink : null
                    if (boundSink) {
                        boundSink.appendSink(output.videoSink)
                        live.stats.watch(output.videoSink, user)
                    }
                }
                onUserChanged: bindSink()
                Component.onCompleted: bindSink()
                Component.onDestruction: if (boundSink) boundSink.removeSink(output.videoSink)

                Rectangle {
                    anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
                    height: 26
                    color: "#a0000000"
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        x: 8
                        color: "white"
                        text: tile.name + "   level " + tile.user.decibel.toFixed(0)
                    }
                }
            }
        }
    }
}
