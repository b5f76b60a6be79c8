#pragma once
#include "contactbase.h"
#include "dialogbase.h"
#include "filemanager.h"
#include "settings.h"
#include "usermanager.h"
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSharedPointer>
#include <QVariantMap>
#include <functional>
#include <optional>

class MeetingManager;

// One signed-in account: its ids, settings, contacts and request channel.
//
// The request channel hands every request to a pluggable server side. Answers are
// delivered later on the account's thread, never inside sendRequest, as a network would.
class IMHOST_EXPORT AccountBase : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qint64 accountId READ accountId CONSTANT)
public:
    using Callback = std::function<void(int code, const QByteArray &body)>;

    struct Request
    {
        int commandId = 0;
        QByteArray payload;
        bool sync = false;
    };
    struct Answer
    {
        int code = 0;
        QByteArray body;
        int delayMs = 0;
    };
    // Returns no answer to leave the request unanswered.
    using Server = std::function<std::optional<Answer>(int commandId, const QByteArray &payload)>;
    using SyncServer = std::function<QVariantMap(int commandId, const QByteArray &payload)>;
    // A server across a network: it calls back later, exactly once, also on failure.
    using RemoteServer =
        std::function<void(int commandId, const QByteArray &payload, Callback callback)>;

    AccountBase(qint64 accountId, int deviceId, QObject *parent = nullptr);
    ~AccountBase() override;

    virtual void sendRequest(int commandId, const QByteArray &payload, Callback callback, bool flag,
                             const QVariantMap &extra);
    virtual QVariantMap sendSyncRequest(int commandId, const QByteArray &payload);

    QSharedPointer<DialogBase> dialog(const QString &dialogId, bool create) const;
    QSharedPointer<ContactItem> selfContact() const { return m_self; }
    MeetingManager *meetingManager() const { return m_meetingManager; }

    qint64 accountId() const { return m_accountId; }
    int deviceId() const { return m_deviceId; }
    DeviceModel *deviceModel() { return &m_devices; }
    AccountSettingModel *accountSettingModel() { return &m_settings; }
    FileManager *fileManager() { return &m_files; }
    UserManager *userManager() { return &m_users; }
    // The account's clock, in milliseconds since the epoch; settable for tests.
    qint64 currentTimestamp() const;

    // Host side.
    void setMeetingManager(MeetingManager *manager) { m_meetingManager = manager; }
    QSharedPointer<DialogBase> addDialog(const QString &dialogId, bool isGroup, qint64 ownUserId);
    void setCurrentTimestamp(qint64 ms) { m_fixedTime = ms; }

    // Server side, for tests and the demo.
    void setServer(Server server) { m_server = std::move(server); }
    void setSyncServer(SyncServer server) { m_syncServer = std::move(server); }
    void setRemoteServer(RemoteServer server) { m_remoteServer = std::move(server); }
    void scriptAnswer(int commandId, int code, const QByteArray &body = {});
    QList<Request> requests() const { return m_requests; }
    QList<Request> requests(int commandId) const;
    void clearRequests() { m_requests.clear(); }

signals:
    void requestSent(int commandId, const QByteArray &payload);

private:
    std::optional<Answer> answerFor(int commandId, const QByteArray &payload);

    qint64 m_accountId;
    int m_deviceId;
    qint64 m_fixedTime = 0;
    MeetingManager *m_meetingManager = nullptr;
    QSharedPointer<ContactItem> m_self;
    QHash<QString, QSharedPointer<DialogBase>> m_dialogs;
    DeviceModel m_devices;
    AccountSettingModel m_settings;
    FileManager m_files;
    UserManager m_users;
    Server m_server;
    SyncServer m_syncServer;
    RemoteServer m_remoteServer;
    QHash<int, QList<Answer>> m_scripted;
    QList<Request> m_requests;
};
