import QtQuick
import MeetingDemo 1.0

// What the models did, newest at the bottom.
ListView {
    id: view
    clip: true
    spacing: 3
    model: demo.timeline
    // Wrapped lines get their heights only once laid out; follow the end after that.
    function follow() {
        forceLayout()
        positionViewAtEnd()
    }
    Timer { id: settle; interval: 40; onTriggered: view.follow() }
    onCountChanged: if (visible) settle.restart()
    onVisibleChanged: if (visible) settle.restart()
    onHeightChanged: if (visible) settle.restart()
    onContentHeightChanged: if (visible && !moving) settle.restart()
    delegate: Row {
        width: ListView.view.width
        spacing: 6
        Text { textFormat: Text.PlainText; width: 40; text: model.time; color: Theme.dim; font.family: "DejaVu Sans Mono"; font.pixelSize: 10; horizontalAlignment: Text.AlignRight }
        Text {
            textFormat: Text.PlainText
            width: 62
            text: model.source
            elide: Text.ElideRight
            color: model.source === "script" ? Theme.warn : model.source === "server" ? "#60a5fa" : Theme.dim
            font.family: Theme.font; font.pixelSize: 10
        }
        Text {
            textFormat: Text.PlainText
            width: parent.width - 120
            wrapMode: Text.Wrap
            text: model.text
            color: Theme.text; font.family: Theme.font; font.pixelSize: 10
        }
    }
}
