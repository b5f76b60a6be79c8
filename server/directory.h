#pragma once
#include "store.h"
#include "wire.pb.h"
#include <QHash>
#include <QObject>
#include <QSet>
#include <functional>

// The IM side of the server: conversations, meetings, links and ratings, and the meeting
// commands that work on them. Every command is checked against what the signed-in account may
// see; state changes are written to the store before the answer leaves.
class Directory : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        int code = 0;
        QByteArray body;
    };
    // Server-side attendee states and roles, as the im messages number them.
    enum Status { Inviting = 1, Rejected = 2, Active = 3, TimedOut = 4, Busy = 5 };
    enum Code {
        BadRequest = 400,
        Forbidden = 403,
        NotFound = 404,
        WrongPassword = 2113,
        TooManyLinks = 28101,
        Unavailable = 503
    };
    static constexpr int kMaxLinksPerOwner = 5;
    using MediaUrl = std::function<QString(const QString &meetingId, qint64 uid)>;

    Directory(Store &store, MediaUrl mediaUrl, QObject *parent = nullptr);

    void load();
    Reply handle(qint64 accountId, int command, const QByteArray &payload);
    im::wire::SignInResp signInAnswer(qint64 accountId) const;

    // The media side's view.
    bool isAttendee(const QString &meetingId, qint64 uid) const;
    qint64 hostOf(const QString &meetingId) const;
    bool isPrivateCall(const QString &meetingId) const;
    QList<im::MeetingAttendeeEntry> attendees(const QString &meetingId) const;
    void setStatus(const QString &meetingId, qint64 uid, int status);
    void removeAttendee(const QString &meetingId, qint64 uid);
    void setHost(const QString &meetingId, qint64 uid);
    void endMeeting(const QString &meetingId);

signals:
    // `mergeKey` names the meeting when a newer record of it may replace this push.
    void pushReady(const QList<qint64> &recipients, im::wire::PushKind kind,
                   const QByteArray &payload, const QString &mergeKey);
    // The room calls these users now.
    void invited(const QString &meetingId, qint64 uid, qint64 inviter);
    void declined(const QString &meetingId, qint64 uid);
    void meetingStarted(const QString &meetingId);
    void meetingEnded(const QString &meetingId);

private:
    Reply create(qint64 account, const QByteArray &payload);
    Reply invite(qint64 account, const QByteArray &payload);
    Reply reject(qint64 account, const QByteArray &payload);
    Reply join(qint64 account, const QByteArray &payload);
    Reply createOrUpdateLink(qint64 account, const QByteArray &payload);
    Reply listLinks(qint64 account) const;
    Reply deleteLink(qint64 account, const QByteArray &payload);
    Reply getLink(qint64 account, const QByteArray &payload) const;
    Reply joinByLink(qint64 account, const QByteArray &payload);
    Reply deletePending(qint64 account, const QByteArray &payload);
    Reply rate(qint64 account, const QByteArray &payload);

    StoredMeeting *meeting(const QString &id);
    const StoredMeeting *meeting(const QString &id) const;
    QString runningMeetingOf(const QString &dialogId) const;
    QString meetingOfHost(qint64 uid) const;
    bool isMember(const QString &dialogId, qint64 uid) const;
    bool mayUse(const im::MeetingLink &link, const im::MeetingLink &asked) const;
    im::MeetingLink *link(const QString &id);
    im::MeetingLink linkAnswer(const im::MeetingLink &l) const;
    void setEntry(StoredMeeting &m, qint64 uid, int status, qint64 inviter);
    void changed(StoredMeeting &m, const QList<qint64> &invitedNow = {});
    QList<qint64> audience(const StoredMeeting &m) const;
    QString newId(const char *prefix) const;

    Store &m_store;
    MediaUrl m_mediaUrl;
    QHash<QString, StoredConversation> m_conversations;
    QHash<QString, StoredMeeting> m_meetings;
    QHash<QString, QSet<qint64>> m_pastAttendees;
    QList<im::MeetingLink> m_links;
    int m_nextMessage = 1000;
};
