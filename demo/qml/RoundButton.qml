import QtQuick
import MeetingDemo 1.0

// A round control-bar button: an icon, a caption under it, and an on/off look.
Item {
    id: control
    property string icon: ""
    property string caption: ""
    property bool active: true
    property color activeTone: Theme.card
    property color inactiveTone: Theme.danger
    property bool enabledState: true
    signal clicked()

    width: 74
    height: 66
    opacity: enabledState ? 1 : 0.45

    Rectangle {
        id: disc
        width: 44; height: 44; radius: 22
        anchors.horizontalCenter: parent.horizontalCenter
        color: {
            var base = control.active ? control.activeTone : control.inactiveTone
            return mouse.pressed ? Qt.darker(base, 1.2) : mouse.containsMouse ? Qt.lighter(base, 1.2) : base
        }
        Icon {
            anchors.centerIn: parent
            width: 22; height: 22
            name: control.icon
            color: "white"
        }
    }
    Text {
        textFormat: Text.PlainText
        anchors.top: disc.bottom
        anchors.topMargin: 4
        anchors.horizontalCenter: parent.horizontalCenter
        text: control.caption
        color: Theme.dim
        font.family: Theme.font
        font.pixelSize: 11
    }
    MouseArea {
        id: mouse
        anchors.fill: disc
        hoverEnabled: true
        enabled: control.enabledState
        onClicked: control.clicked()
    }
}
