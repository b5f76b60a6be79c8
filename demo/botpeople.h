#pragma once
#include "people.h"
#include <QHash>
#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>
#include <QUrl>

class Cast;
class QProcess;

// The people as clients of a meeting server: one headless client process per person, signed in
// with that person's account and told what to do on its command line, as a user would type it.
// Their report lines go to one log file per person.
class BotPeople : public QObject, public People
{
    Q_OBJECT
public:
    struct Setup
    {
        QString program; // the headless client
        QUrl server;
        QString caFile;
        QHash<qint64, QByteArray> tokens;
        QString workDir; // logs and link files
    };

    BotPeople(const Cast &cast, Setup setup, QObject *parent = nullptr);
    // Stops every client it started.
    ~BotPeople() override;

    // Starts one client per person with a token; false when one does not start.
    bool start();
    // Every client has signed in.
    bool ready() const override;

    bool heard() const override { return false; }
    bool draw() const override { return false; }
    void startMeeting(qint64 host, const QString &dialogId, const QString &name,
                      const QList<qint64> &inRoom, const QList<qint64> &invited) override;
    void join(qint64 uid) override;
    void decline(qint64 uid) override;
    void setMic(qint64 uid, bool on) override;
    void raiseHand(qint64 uid, bool up) override;
    void transferHost(qint64 from, qint64 to) override;
    void startScreenShare(qint64 uid) override;
    void openWhiteboard(qint64 uid) override;
    void stopShare(qint64 uid) override;
    void speak(qint64, int) override {}
    void applyByLink(qint64 uid, const Link &link) override;

signals:
    // One line per command given, for the timeline.
    void note(const QString &text);

private:
    struct Bot
    {
        QProcess *process = nullptr;
        bool signedIn = false;
        bool inCall = false;
        // Commands that need the call, given once it is up.
        QStringList afterConnect;
    };
    void give(qint64 uid, const QString &command);
    // Gives `command` now when the call is up, or once it is.
    void giveInCall(qint64 uid, const QString &command);
    void onOutput(qint64 uid);
    // Where a meeting link's secrets wait for the client of `uid`.
    QString linkFile(qint64 uid) const;

    const Cast &m_cast;
    Setup m_setup;
    QHash<qint64, Bot> m_bots;
};
