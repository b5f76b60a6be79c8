import QtQuick
import MeetingDemo 1.0

// Notices from the module (invitations sent, media errors, refused commands), for a few seconds.
Column {
    id: toasts
    spacing: 6
    ListModel { id: notices }
    Connections {
        target: demo
        function onNotice(text) {
            notices.append({ text: text })
            if (notices.count > 3)
                notices.remove(0)
            expiry.restart()
        }
    }
    Timer { id: expiry; interval: 4500; onTriggered: notices.clear() }
    Repeater {
        model: notices
        delegate: Rectangle {
            anchors.horizontalCenter: parent.horizontalCenter
            width: label.implicitWidth + 32; height: 36; radius: 18
            color: "#ee1e293b"; border.color: Theme.line
            Text { textFormat: Text.PlainText; id: label; anchors.centerIn: parent; text: model.text; color: Theme.text; font.family: Theme.font; font.pixelSize: 13 }
        }
    }
}
