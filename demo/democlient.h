#pragma once
#include "meetinglinkitem.h"
#include "meetingmodel.h"
#include "simserver.h"
#include <QColor>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <memory>

class AccountBase;
class Cast;
class NetworkChannel;
class QUrl;
class ConversationModel;
class MeetingLinkList;
class MeetingManager;
class Timeline;
class WhiteboardStore;
namespace im::wire {
class MeetingPush;
}

// The host side of the client: one signed-in account with its meeting manager, the host's
// handling of server pushes and account manager calls (invitations, join and create outcomes,
// notices), and the actions the UI offers. The UI and the scenario drive the module only
// through this object and the module's own objects.
class DemoClient : public QObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("meetingmanager.h")
    Q_MOC_INCLUDE("meetinglinklist.h")
    Q_MOC_INCLUDE("meetinglinkitem.h")
    Q_MOC_INCLUDE("meetingmodel.h")
    Q_MOC_INCLUDE("conversationmodel.h")
    Q_MOC_INCLUDE("timeline.h")
    Q_MOC_INCLUDE("whiteboardstore.h")
    Q_PROPERTY(MeetingManager *manager READ manager CONSTANT)
    Q_PROPERTY(MeetingLinkList *links READ links CONSTANT)
    Q_PROPERTY(ConversationModel *conversations READ conversations CONSTANT)
    Q_PROPERTY(Timeline *timeline READ timeline CONSTANT)
    Q_PROPERTY(WhiteboardStore *whiteboards READ whiteboards CONSTANT)
    Q_PROPERTY(qlonglong selfId READ selfId CONSTANT)
    Q_PROPERTY(MeetingModel *current READ current NOTIFY currentChanged)
    Q_PROPERTY(MeetingModel *incoming READ incoming NOTIFY incomingChanged)
    Q_PROPERTY(QString incomingCaller READ incomingCaller NOTIFY incomingChanged)
    Q_PROPERTY(qlonglong incomingCallerId READ incomingCallerId NOTIFY incomingChanged)
    Q_PROPERTY(QString incomingPlace READ incomingPlace NOTIFY incomingChanged)
    Q_PROPERTY(MeetingLinkItem *linkOffer READ linkOffer NOTIFY linkOfferChanged)
    Q_PROPERTY(QString receivedLinkName READ receivedLinkName CONSTANT)
    Q_PROPERTY(QString ratingFor READ ratingFor NOTIFY ratingForChanged)
public:
    // Without a simulated server the account waits for `connectToServer`.
    DemoClient(const Cast &cast, SimServer *server, QObject *parent = nullptr);
    ~DemoClient() override;

    // Signs the account in at a meeting server, which then answers and pushes instead.
    void connectToServer(const QUrl &url, const QByteArray &token);
    bool signedIn() const { return m_signedIn; }

    MeetingManager *manager() const { return m_manager; }
    MeetingLinkList *links() const;
    ConversationModel *conversations() const { return m_conversations; }
    Timeline *timeline() const { return m_timeline; }
    WhiteboardStore *whiteboards() const { return m_whiteboards; }
    AccountBase *account() const { return m_account.get(); }
    qlonglong selfId() const;
    MeetingModel *current() const { return m_current; }
    MeetingModel *incoming() const { return m_incoming; }
    QString incomingCaller() const;
    qlonglong incomingCallerId() const;
    QString incomingPlace() const;
    MeetingLinkItem *linkOffer() const { return m_linkOffer; }
    QString receivedLinkName() const;
    QString ratingFor() const { return m_ratingFor; }

    Q_INVOKABLE void acceptIncoming(bool withCamera);
    Q_INVOKABLE void declineIncoming();
    Q_INVOKABLE void startMeeting(const QString &dialogId);
    Q_INVOKABLE void join(MeetingModel *model);
    Q_INVOKABLE void show(MeetingModel *model);
    Q_INVOKABLE void leave(bool endForAll);
    Q_INVOKABLE void rate(int score);
    Q_INVOKABLE void admit(qlonglong uid);
    Q_INVOKABLE void turnAway(qlonglong uid);
    Q_INVOKABLE void inviteMissing();
    Q_INVOKABLE void simulateIncomingCall(const QString &dialogId);
    Q_INVOKABLE void openReceivedLink();
    Q_INVOKABLE void askToJoinByLink();
    Q_INVOKABLE void dismissLinkOffer();
    Q_INVOKABLE QString nameOf(qlonglong uid) const;
    Q_INVOKABLE QColor colourOf(qlonglong uid) const;
    Q_INVOKABLE QString conversationTitle(const QString &dialogId) const;

signals:
    void currentChanged();
    void incomingChanged();
    void linkOfferChanged();
    void ratingForChanged();
    void notice(const QString &text);

private:
    void onPushed(const MeetingPush &push);
    void onMeetingEnded(const QString &dialogId, const QString &meetingId);
    void onServerPush(int kind, const im::wire::MeetingPush &push);
    QString runningMeeting(const QString &dialogId) const;
    void onAccountCall(const QString &name, const QVariantList &args);
    void watchModel(MeetingModel *model);
    void setCurrent(MeetingModel *model);
    void setIncoming(MeetingModel *model);
    void startMedia(MeetingModel *model);
    void createOnServer(const QString &dialogId);

    const Cast &m_cast;
    SimServer *m_server;
    std::unique_ptr<AccountBase> m_account;
    MeetingManager *m_manager = nullptr;
    ConversationModel *m_conversations = nullptr;
    Timeline *m_timeline = nullptr;
    WhiteboardStore *m_whiteboards = nullptr;
    QPointer<MeetingModel> m_current;
    QPointer<MeetingModel> m_incoming;
    QPointer<MeetingLinkItem> m_linkOffer;
    QSet<QString> m_keyed;
    QSet<QString> m_creating;
    QHash<QString, bool> m_cameraOnJoin;
    QSet<const MeetingModel *> m_wasConnected;
    QString m_ratingFor;
    // What a meeting server said runs, by meeting id.
    QHash<QString, MeetingPush> m_running;
    bool m_signedIn = false;
};
