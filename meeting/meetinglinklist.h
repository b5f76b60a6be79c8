#pragma once
#include "meeting_global.h"
#include <QAbstractListModel>
#include <QHash>
#include <QSharedPointer>
#include <functional>
#include <memory>

class MeetingLinkItem;
class MeetingManager;
namespace im {
class MeetingLink;
namespace meeting {
class ListMeetingLinksResp;
}
} // namespace im
struct MeetingLinkListPrivate;

/// The account's own meeting links, one per conversation, plus the link being joined.
class MEETING_EXPORT MeetingLinkList : public QAbstractListModel
{
    Q_OBJECT
    Q_MOC_INCLUDE("meetinglinkitem.h")
    Q_MOC_INCLUDE("meeting.pb.h")
    Q_PROPERTY(MeetingLinkItem *joinMeetingLink READ joinMeetingLink NOTIFY joinMeetingLinkChanged)
public:
    // Links that answers may list; one per conversation, so far more than anyone owns.
    static constexpr int kMaxLinks = 1000;

    explicit MeetingLinkList(MeetingManager *manager);
    ~MeetingLinkList() override;

    QVariant data(const QModelIndex &index, int role) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QHash<int, QByteArray> roleNames() const override;

    Q_INVOKABLE void getJoinMeetingLinkInfo(QString id, QString password, QString token,
                                            QString dialogId = QString());
    Q_INVOKABLE void listMeetingLinks();
    Q_INVOKABLE void createOrUpdateMeetingLink(QString id, QString name);
    Q_INVOKABLE void removeMeetingLink(QString id);
    Q_INVOKABLE void startMeeting(MeetingLinkItem *meetingLink);
    Q_INVOKABLE void clearJoinMeetingLink();
    Q_INVOKABLE MeetingLinkItem *getMeetingLinkItem(QString dialogId) const;

    MeetingLinkItem *joinMeetingLink() const;
    QSharedPointer<MeetingLinkItem> getMeetingLinkItemPtr(const QString &dialogId) const;
    void getMeetingLinkItemByToken(
        const QString &id, const QString &token,
        std::function<void(int, const QSharedPointer<MeetingLinkItem> &)> done) const;
    void setJoinMeetingLink(const QSharedPointer<MeetingLinkItem> &item);

    // Answers of the server commands.
    void setMeetingLinks(const im::meeting::ListMeetingLinksResp &resp);
    void setMeetingLink(const im::MeetingLink &link);
    void deleteMeetingLink(const QString &id);
    QSharedPointer<MeetingLinkItem> createMeetingLinkItemPtr(const im::MeetingLink &link);
    void setJoiningMeetingLink(const QSharedPointer<MeetingLinkItem> &item, int code);
    void setJoiningMeetingLinkState(const QString &id, int state);

signals:
    void startDestroy();
    void joinMeetingLinkChanged(MeetingLinkItem *joinMeetingLink);
    void meetingLink(QVariant meetingLink);

private:
    void insertItem(int row, const QSharedPointer<MeetingLinkItem> &item);
    void removeItem(int row);

    std::unique_ptr<MeetingLinkListPrivate> d;
};
