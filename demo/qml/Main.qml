import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import MeetingDemo 1.0

ApplicationWindow {
    id: root
    width: 1360
    height: 820
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

    Prompts {
        anchors.top: parent.top
        anchors.topMargin: 18
        anchors.horizontalCenter: parent.horizontalCenter
    }

    IncomingCall {
        anchors.fill: parent
    }

    Toasts {
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 100
        anchors.horizontalCenter: parent.horizontalCenter
    }
}
