#pragma once
#include "im.pb.h"
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

// What the server keeps of one meeting between restarts.
struct StoredMeeting
{
    im::Meeting record;
    QString nonce;
    QByteArray key;
    QString clientId;
    qint64 hostId = 0;
};

struct StoredRating
{
    qint64 accountId = 0;
    QString meetingId;
    int score = 0;
    int connectingIssues = 0;
    int audioIssues = 0;
    int videoIssues = 0;
    QString comment;
};

struct StoredConversation
{
    QString id;
    bool isGroup = true;
    QList<qint64> members;
};

// The server's durable state in one SQLite file. Every write is committed before the server
// answers the request that caused it, so an answered change survives a restart.
class Store
{
public:
    explicit Store(const QString &connectionName);
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    // Opens the file and brings its schema to the current version.
    bool open(const QString &path);
    int schemaVersion() const;

    bool upsertAccount(qint64 id, const QByteArray &tokenHash);
    std::optional<QByteArray> accountTokenHash(qint64 id) const;
    bool upsertConversation(const StoredConversation &c);
    QList<StoredConversation> conversations() const;

    bool saveMeeting(const StoredMeeting &m);
    bool endMeeting(const QString &meetingId);
    QList<StoredMeeting> runningMeetings() const;

    bool saveLink(const im::MeetingLink &link);
    bool deleteLink(const QString &linkId);
    QList<im::MeetingLink> links() const;

    bool addRating(const StoredRating &rating);
    bool addLog(qint64 accountId, const QString &name, const QByteArray &data);
    qint64 logBytes(qint64 accountId) const;
    int ratingCount() const;

    // The key media tokens are signed with; made once, kept across restarts.
    QByteArray secret();

private:
    bool migrate();
    bool exec(const QString &sql);

    QString m_name;
    QSqlDatabase m_db;
};
