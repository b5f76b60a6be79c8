#pragma once
#include "accountbase.h"
#include "networkchannel.h"
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <memory>

class MeetingManager;
class MeetingModel;
class MeetingLinkItem;
class MeetingAttendeeUser;

// One signed-in client of the meeting server, headless: the host's part (account, request
// channel, feeding server pushes to the meeting manager) and a user who follows simple
// commands. What it sees is reported as one line per change.
class ClientSession : public QObject
{
    Q_OBJECT
public:
    // The devices a call starts with (empty names: the system's defaults).
    struct Media
    {
        QString camera = QStringLiteral("Test camera");
        QString microphone = QStringLiteral("Test microphone");
        QString speaker = QStringLiteral("Test speakers");
        bool cameraOn = false;
    };

    ClientSession(qint64 accountId, const QByteArray &token, const QUrl &server,
                  QObject *parent = nullptr);
    ~ClientSession() override;

    // Trusts the server certificate MEETING_CLIENT_CA names, and only it, for every TLS
    // connection of the process (the request channel and the engines' media room). Call once,
    // before connecting; nothing changes when the variable is not set.
    static void trustServerCertificate();

    void setMedia(const Media &media) { m_media = media; }
    void start();
    // One command line; returns false for one it does not know.
    bool command(const QString &line);

signals:
    void report(const QString &line);
    // A joined meeting's call is being set up.
    void mediaStarted(MeetingModel *model);

private:
    void onSignedIn(const im::wire::SignInResp &answer);
    void onPush(im::wire::PushKind kind, const QByteArray &payload);
    void onMeetingPush(const im::wire::MeetingPush &push);
    void onMeetingFinished(const im::wire::MeetingPush &push);
    void ensureDialog(const QString &dialogId, bool isGroup, const QList<qint64> &members);
    void onAccountCall(const QString &name, const QVariantList &args);
    void call(const QString &dialogId, const QString &name);
    void accept();
    MeetingAttendeeUser *self() const;
    void closeOwnShares(MeetingModel *m);
    void startMedia(MeetingModel *model);
    void writeLink(const QString &file);
    void joinLink(const QString &file);
    void uploadLog(const QString &fileName, const QString &url);
    void snapshot();

    std::unique_ptr<AccountBase> m_account;
    NetworkChannel *m_channel = nullptr;
    MeetingManager *m_manager = nullptr;
    QPointer<MeetingModel> m_current;
    QPointer<MeetingModel> m_incoming;
    QPointer<MeetingLinkItem> m_linkOffer;
    QSet<QString> m_keyed;
    QHash<QString, im::wire::MeetingPush> m_running;
    QSet<QString> m_creating;
    QString m_linkFile;
    QString m_last;
    // "accept" before the call rings answers it when it does.
    bool m_acceptNext = false;
    Media m_media;
    QTimer m_watch;
    QNetworkAccessManager m_network;
};
