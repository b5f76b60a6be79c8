import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import MeetingDemo 1.0

ApplicationWindow {
    id: root
    width: 1600
    height: 900
    visible: true
    color: Theme.bg
    title: qsTr("Meetings — demo client")

    // Which tab the side panel shows: people, waiting, links or timeline.
    property string panelTab: "people"
    signal playScenario()

    RowLayout {
        anchors.fill: parent
        spacing: 0
        ConversationPane {
            Layout.preferredWidth: 262
            Layout.fillHeight: true
            onPlay: root.playScenario()
        }
        MeetingPane {
            id: meetingPane
            Layout.fillWidth: true
            Layout.fillHeight: true
        }
        SidePanel {
            Layout.preferredWidth: 318
            Layout.fillHeight: true
            tab: root.panelTab
            onTabPicked: function (name) { root.panelTab = name }
        }
    }

    // Over the top of the stage, below the meeting's header.
    Prompts {
        x: meetingPane.x + (meetingPane.width - width) / 2
        y: 124
    }

    IncomingCall {
        anchors.fill: parent
    }

    Toasts {
        x: meetingPane.x + (meetingPane.width - width) / 2
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 112
    }
}
