import QtQuick
import MeetingDemo 1.0

// A flat button with an optional icon.
Rectangle {
    id: button
    property alias text: label.text
    property string icon: ""
    property color tone: Theme.card
    property color textColor: Theme.text
    property bool enabledState: true
    property int fontSize: 13
    signal clicked()

    implicitHeight: 34
    implicitWidth: row.implicitWidth + 24
    radius: 8
    color: !enabledState ? Qt.darker(tone, 1.4) : mouse.pressed ? Qt.darker(tone, 1.2)
         : mouse.containsMouse ? Qt.lighter(tone, 1.15) : tone
    opacity: enabledState ? 1 : 0.55

    Row {
        id: row
        anchors.centerIn: parent
        spacing: 6
        Icon {
            visible: button.icon !== ""
            name: button.icon
            color: button.textColor
            width: 18; height: 18
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            textFormat: Text.PlainText
            id: label
            visible: text !== ""
            color: button.textColor
            font.family: Theme.font
            font.pixelSize: button.fontSize
            anchors.verticalCenter: parent.verticalCenter
        }
    }
    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        enabled: button.enabledState
        onClicked: button.clicked()
    }
}
