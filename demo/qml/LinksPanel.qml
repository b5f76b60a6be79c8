import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Im.Meeting 1.0
import MeetingDemo 1.0

// The account's meeting links, and a link someone shared with it.
ColumnLayout {
    id: linksPanel
    spacing: 8

    Text { textFormat: Text.PlainText; text: qsTr("Your meeting links"); color: Theme.dim; font.family: Theme.font; font.pixelSize: 12 }
    ListView {
        Layout.fillWidth: true
        Layout.preferredHeight: Math.min(contentHeight, 300)
        clip: true
        spacing: 6
        model: demo.links
        delegate: Rectangle {
            readonly property var item: model.meetingLink
            width: ListView.view.width
            height: 84
            radius: 8
            color: Theme.card
            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 10
                spacing: 4
                RowLayout {
                    spacing: 8
                    Icon { width: 18; height: 18; name: "link"; color: Theme.accent }
                    Text { textFormat: Text.PlainText; text: item ? item.name : ""; color: Theme.text; font.family: Theme.font; font.pixelSize: 13; font.bold: true; Layout.fillWidth: true; elide: Text.ElideRight }
                }
                Text {
                    textFormat: Text.PlainText
                    // The password stays hidden; it travels with the link.
                    text: item ? qsTr("%1 · password ••••••").arg(demo.conversationTitle(item.dialogId)) : ""
                    color: Theme.dim; font.family: Theme.font; font.pixelSize: 11
                }
                RowLayout {
                    spacing: 4
                    DemoButton { text: qsTr("Start"); fontSize: 10; implicitHeight: 22; tone: Theme.ok; onClicked: demo.startMeeting(item.dialogId) }
                    DemoButton { text: qsTr("Rename"); fontSize: 10; implicitHeight: 22; onClicked: demo.links.createOrUpdateMeetingLink(item.id, item.name + qsTr(" (renamed)")) }
                    DemoButton { text: qsTr("Delete"); fontSize: 10; implicitHeight: 22; textColor: "#fca5a5"; onClicked: demo.links.removeMeetingLink(item.id) }
                }
            }
        }
    }
    RowLayout {
        Layout.fillWidth: true
        spacing: 6
        TextField {
            id: newName
            Layout.fillWidth: true
            placeholderText: qsTr("New link name")
            font.family: Theme.font; font.pixelSize: 12
        }
        DemoButton {
            icon: "plus"; text: qsTr("Create"); fontSize: 12
            onClicked: { demo.links.createOrUpdateMeetingLink("", newName.text); newName.text = "" }
        }
    }

    Rectangle { Layout.fillWidth: true; height: 1; color: Theme.line }
    Text { textFormat: Text.PlainText; text: qsTr("Shared with you"); color: Theme.dim; font.family: Theme.font; font.pixelSize: 12 }
    Rectangle {
        Layout.fillWidth: true
        height: offer.implicitHeight + 20
        radius: 8
        color: Theme.card
        ColumnLayout {
            id: offer
            anchors.fill: parent
            anchors.margins: 10
            spacing: 6
            readonly property var item: demo.linkOffer
            Text {
                textFormat: Text.PlainText
                text: qsTr("Ravi shared \"%1\"").arg(demo.receivedLinkName)
                color: Theme.text; font.family: Theme.font; font.pixelSize: 13
            }
            Text {
                textFormat: Text.PlainText
                visible: offer.item !== null
                text: {
                    if (!offer.item)
                        return ""
                    switch (offer.item.state) {
                    case MeetingLinkItem.APPLYING: return qsTr("Asking to be let in…")
                    case MeetingLinkItem.APPLIED: return qsTr("Waiting for the host to let you in")
                    case MeetingLinkItem.APPROVED: return qsTr("Let in")
                    default: return offer.item.meetingModel ? qsTr("A meeting is running there") : qsTr("No meeting there right now")
                    }
                }
                color: Theme.dim; font.family: Theme.font; font.pixelSize: 11
            }
            RowLayout {
                spacing: 6
                DemoButton { visible: offer.item === null; text: qsTr("Open link"); icon: "link"; fontSize: 12; implicitHeight: 28; onClicked: demo.openReceivedLink() }
                DemoButton {
                    visible: offer.item !== null && offer.item.state === MeetingLinkItem.NOT_APPLIED
                    text: qsTr("Ask to join"); tone: Theme.ok; fontSize: 12; implicitHeight: 28
                    onClicked: demo.askToJoinByLink()
                }
                DemoButton { visible: offer.item !== null; text: qsTr("Close"); fontSize: 12; implicitHeight: 28; onClicked: demo.dismissLinkOffer() }
            }
        }
    }
    Item { Layout.fillHeight: true }
}
