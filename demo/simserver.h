#pragma once
#include "accountbase.h"
#include "im.pb.h"
#include <QHash>
#include <QObject>
#include <QRandomGenerator>
#include <QSet>
#include <optional>

class Cast;
class MediaRoom;

// What the host learns when the server tells it about a meeting. For an invitation the key
// material travels with it, as it would inside the (encrypted) chat message.
struct MeetingPush
{
    QString dialogId;
    im::Meeting meeting;
    QString nonce;
    QByteArray key;
    QString clientId;
    bool invitation = false;
};

// The server behind the account's request channel. Keeps meetings, links and pending
// attendees in memory, answers every meeting command after a short network-like delay and
// pushes meeting updates to the host as a server would.
class SimServer : public QObject
{
    Q_OBJECT
public:
    // Server-side attendee states and roles, as the im messages number them.
    enum ServerStatus { Inviting = 1, Rejected = 2, Active = 3, TimedOut = 4, Busy = 5 };
    static constexpr int kRoleListener = 1;

    SimServer(const Cast &cast, QObject *parent = nullptr);
    ~SimServer() override;

    std::optional<AccountBase::Answer> answer(int commandId, const QByteArray &payload);
    QVariantMap answerSync(int commandId, const QByteArray &payload);
    // Answers arrive after this many milliseconds at most; 0 answers on the next event loop turn.
    void setMaxDelay(int ms) { m_maxDelay = ms; }

    // What other people do.
    QString startMeeting(qint64 hostId, const QString &dialogId, const QString &name,
                         const QList<qint64> &inRoom, const QList<qint64> &invited);
    bool applyByLink(qint64 uid, const QString &linkId);

    MediaRoom *room(const QString &meetingId) const;
    QString runningMeeting(const QString &dialogId) const;
    // The meetings of a conversation as the host would load them from history.
    QList<MeetingPush> meetingsOf(const QString &dialogId) const;
    QString ownLinkId(const QString &dialogId) const;
    // A link that someone else shared with this account.
    std::optional<im::MeetingLink> receivedLink() const;
    QString meetingName(const QString &meetingId) const;

    // From the media rooms: `status` is a ServerStatus, or 0 when the member is gone.
    void memberChanged(const QString &meetingId, qint64 uid, int status);
    bool acceptsToken(const QString &meetingId, const QString &token) const;

signals:
    void pushed(const MeetingPush &push);
    void meetingEnded(const QString &dialogId, const QString &meetingId);
    // Readable server-side events; never carries keys, nonces, passwords or tokens.
    void note(const QString &text);

private:
    struct Meeting
    {
        im::Meeting msg;
        QString nonce;
        QByteArray key;
        QString clientId;
        qint64 hostId = 0;
        MediaRoom *room = nullptr;
        QSet<QString> tokens;
    };
    struct Reply
    {
        int code = 0;
        QByteArray body;
    };

    Reply invite(const QByteArray &payload);
    Reply reject(const QByteArray &payload);
    Reply join(const QByteArray &payload);
    Reply createOrUpdateLink(const QByteArray &payload);
    Reply listLinks();
    Reply deleteLink(const QByteArray &payload);
    Reply getLink(const QByteArray &payload);
    Reply joinByLink(const QByteArray &payload);
    Reply deletePending(const QByteArray &payload);
    Reply rate(const QByteArray &payload);

    Meeting *meeting(const QString &id);
    Meeting &create(qint64 hostId, const QString &dialogId, const QString &name, bool privateCall);
    void end(const QString &meetingId);
    void push(const Meeting &m, bool invitation);
    im::MeetingAttendeeEntry *entry(im::Meeting &msg, qint64 uid, bool pending);
    void removeEntry(im::Meeting &msg, qint64 uid, bool pending);
    void setEntry(Meeting &m, qint64 uid, int status, qint64 inviter);
    im::MeetingLink *link(const QString &id);
    im::MeetingLink linkAnswer(const im::MeetingLink &link) const;
    QString randomHex(int bytes);
    QString nameOf(qint64 uid) const;

    const Cast &m_cast;
    QRandomGenerator m_rng;
    QHash<QString, Meeting> m_meetings;
    QList<im::MeetingLink> m_links;
    int m_nextMeeting = 1;
    int m_nextLink = 1;
    int m_nextMessage = 5000;
    int m_maxDelay = 150;
};
