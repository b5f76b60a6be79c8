#pragma once
#include <QList>
#include <QString>

// What the other people of a scenario do. On the simulated server the demo plays them itself;
// against a meeting server each of them is a client of its own, giving the commands a user
// would.
class People
{
public:
    struct Link
    {
        QString id;
        QString token;
        QString password;
    };

    virtual ~People() = default;

    // Ready to act (signed in, where that applies).
    virtual bool ready() const { return true; }

    // Whether their voices and drawings reach this client; scenarios skip what does not.
    virtual bool heard() const = 0;
    virtual bool draw() const = 0;

    virtual void startMeeting(qint64 host, const QString &dialogId, const QString &name,
                              const QList<qint64> &inRoom, const QList<qint64> &invited) = 0;
    virtual void join(qint64 uid) = 0;
    virtual void decline(qint64 uid) = 0;
    virtual void setMic(qint64 uid, bool on) = 0;
    virtual void raiseHand(qint64 uid, bool up) = 0;
    virtual void transferHost(qint64 from, qint64 to) = 0;
    virtual void startScreenShare(qint64 uid) = 0;
    virtual void openWhiteboard(qint64 uid) = 0;
    virtual void stopShare(qint64 uid) = 0;
    // Lets only `uid` talk for `ms`.
    virtual void speak(qint64 uid, int ms) = 0;
    virtual void applyByLink(qint64 uid, const Link &link) = 0;
};
