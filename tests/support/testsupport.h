#pragma once
#include <QAbstractItemModelTester>
#include <QHash>
#include <QIdentityProxyModel>
#include <QList>
#include <QPointer>
#include <QSignalSpy>
#include <QVariantList>
#include <memory>
#include <vector>

class MeetingAttendeeList;
class MeetingModel;
class QAbstractItemModel;

namespace testsupport {

// The attendee list answers unknown roles with the row map, which the model tester rejects
// for Qt's standard roles; this proxy hides those roles so the tester can still check every
// row transaction.
class UserRoleProxy : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override;
    // The identity proxy would search the source's answers, bypassing the hidden roles.
    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits,
                          Qt::MatchFlags flags) const override;
};

// Attaches a QAbstractItemModelTester (fatal mode) to `model` through a UserRoleProxy.
class ModelChecker
{
public:
    explicit ModelChecker(QAbstractItemModel *model);
    ~ModelChecker();
    // Paused, the tester sees no transaction (the proxy still follows the model).
    void setPaused(bool paused);

private:
    std::unique_ptr<UserRoleProxy> m_proxy;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

// What must hold between a meeting model's lists after any step. Remembers every live object
// the lists ever created, so that a row pointing to a destroyed one is caught without touching
// it; one instance can follow several models in turn.
class ListInvariants : public QObject
{
public:
    // Names the model's lists (for the messages) and starts following them.
    void watch(MeetingModel *model);
    // Empty when the invariants hold, otherwise what broke.
    QString check() const;
    QList<MeetingAttendeeList *> lists() const;
    // Drops what it remembers of destroyed objects, for a caller that has just emptied the lists
    // and would otherwise remember every object of a long run.
    void forgetDestroyed();
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool alive(QObject *o) const;
    QString checkList(MeetingAttendeeList *list) const;

    QPointer<MeetingModel> m_model;
    QList<MeetingAttendeeList *> m_lists;
    QHash<QObject *, QPointer<QObject>> m_seen;
    mutable std::vector<qint64> m_scratchUids;
    mutable std::vector<QObject *> m_scratchUsers;
};

// Delivers everything queued for the main thread (engine signals, server answers).
void drainEvents();

} // namespace testsupport
