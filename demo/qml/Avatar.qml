import QtQuick

// A person's initials in their colour.
Rectangle {
    id: avatar
    property string name: ""
    property color tone: Theme.accent
    property int size: 40
    width: size; height: size; radius: size / 2
    color: tone
    Text {
        textFormat: Text.PlainText
        anchors.centerIn: parent
        color: "white"
        font.family: Theme.font
        font.bold: true
        font.pixelSize: avatar.size * 0.38
        text: {
            var parts = avatar.name.split(" ").filter(function (p) { return p.length > 0 })
            return parts.length === 0 ? "?" : parts.length === 1 ? parts[0][0]
                                                                  : parts[0][0] + parts[parts.length - 1][0]
        }
    }
}
