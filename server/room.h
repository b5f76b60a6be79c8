#pragma once
#include "wire.pb.h"
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QWebSocket>

class Directory;

// One meeting's media room: who is connected, their mutes, roles and hands, shares and the
// room's permissions. It sends each engine the whole room when it connects and only the change
// after that, and keeps the directory's record of attendees in step.
class Room : public QObject
{
    Q_OBJECT
public:
    using Msg = im::wire::MediaMessage;

    Room(const QString &meetingId, Directory &directory, QObject *parent = nullptr);

    // Media control messages travel as JSON text frames, readable without generated code.
    static QString frame(const Msg &m);
    static bool parseFrame(const QString &text, Msg *m);

    QString meetingId() const { return m_meetingId; }
    int connectedCount() const;
    // Takes the engine's connection; a second connection of the same user replaces the first.
    void connectEngine(qint64 uid, QWebSocket *socket, const QString &logUrl);
    void receive(qint64 uid, const im::wire::MediaMessage &message);
    void disconnected(qint64 uid, QWebSocket *socket);
    void called(qint64 uid, qint64 inviter);
    void declined(qint64 uid);
    // The meeting is over: every engine hears it and is let go.
    void dismiss();

private:
    struct Member
    {
        QPointer<QWebSocket> socket;
        qint64 inviter = 0;
        bool calling = false;
        int muteAudio = 0;
        int muteVideo = 1;
        bool listener = false;
        bool raiseHand = false;
        bool invitingSpeak = false;
        QString shareId;
        int shareType = 0;
        bool otherMark = false;
    };
    bool isHost(qint64 uid) const;
    void refuse(qint64 uid, int error, const QString &text);
    void send(qint64 uid, const Msg &m);
    void broadcast(const Msg &m, qint64 except = 0);
    QJsonObject entry(qint64 uid, const Member &m) const;
    QByteArray roomInfo(qint64 onlyUid = 0) const;
    void leave(qint64 uid, bool dismiss);
    void onMute(qint64 uid, const Msg &m);
    void onMuteAll(qint64 uid, const Msg &m);
    void onKick(qint64 uid, const Msg &m);
    void onTransfer(qint64 uid, const Msg &m);
    void onSpeaking(qint64 uid, const Msg &m);
    void onShare(qint64 uid, const Msg &m);
    void onPermission(qint64 uid, const Msg &m);
    void setRole(qint64 uid, bool listener, qint64 operatorId);

    QString m_meetingId;
    Directory &m_directory;
    QHash<qint64, Member> m_members;
    bool m_muteAllAudio = false;
    bool m_muteAllVideo = false;
    bool m_unmuteAudio = true;
    bool m_unmuteVideo = true;
    QString m_whoCanShare = QStringLiteral("all");
    bool m_disableSpeaker = false;
    int m_nextShare = 1;
};
