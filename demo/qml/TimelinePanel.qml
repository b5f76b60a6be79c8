import QtQuick
import MeetingDemo 1.0

// What the models did, newest at the bottom.
ListView {
    id: view
    clip: true
    spacing: 3
    model: demo.timeline
    onCountChanged: Qt.callLater(positionViewAtEnd)
    delegate: Row {
        width: ListView.view.width
        spacing: 6
        Text { width: 40; text: model.time; color: Theme.dim; font.family: "DejaVu Sans Mono"; font.pixelSize: 10; horizontalAlignment: Text.AlignRight }
        Text {
            width: 62
            text: model.source
            elide: Text.ElideRight
            color: model.source === "script" ? Theme.warn : model.source === "server" ? "#60a5fa" : Theme.dim
            font.family: Theme.font; font.pixelSize: 10
        }
        Text {
            width: parent.width - 120
            wrapMode: Text.Wrap
            text: model.text
            color: Theme.text; font.family: Theme.font; font.pixelSize: 10
        }
    }
}
