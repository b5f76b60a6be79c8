#include "testsupport.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmodel.h"
#include <QChildEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSet>
#include <algorithm>

namespace testsupport {

QVariant UserRoleProxy::data(const QModelIndex &index, int role) const
{
    if (role < Qt::UserRole)
        return {};
    return QIdentityProxyModel::data(index, role);
}

QModelIndexList UserRoleProxy::match(const QModelIndex &start, int role, const QVariant &value,
                                     int hits, Qt::MatchFlags flags) const
{
    return QAbstractItemModel::match(start, role, value, hits, flags);
}

ModelChecker::ModelChecker(QAbstractItemModel *model) : m_proxy(std::make_unique<UserRoleProxy>())
{
    m_proxy->setSourceModel(model);
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_proxy.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
}

ModelChecker::~ModelChecker() = default;

void ModelChecker::setPaused(bool paused)
{
    m_proxy->blockSignals(paused);
}

void ListInvariants::watch(MeetingModel *model)
{
    m_model = model;
    // A model's lists live as long as it does.
    m_lists = {model->attendeeList(), model->activeAttendeeList(), model->callingAttendeeList(),
               model->pendingAttendeeList(), model->searchModel()};
    const QStringList names = {QStringLiteral("attendeeList"), QStringLiteral("active"),
                               QStringLiteral("calling"), QStringLiteral("pending"),
                               QStringLiteral("search")};
    const QList<MeetingAttendeeList *> all = lists();
    for (int i = 0; i < all.size(); ++i) {
        all[i]->setObjectName(names[i]);
        all[i]->installEventFilter(this);
        for (QObject *child : all[i]->children())
            m_seen[child] = child;
    }
}

QList<MeetingAttendeeList *> ListInvariants::lists() const
{
    return m_model ? m_lists : QList<MeetingAttendeeList *>();
}

void ListInvariants::forgetDestroyed()
{
    m_seen.removeIf([](const auto &entry) { return entry.value().isNull(); });
}

bool ListInvariants::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ChildAdded) {
        QObject *child = static_cast<QChildEvent *>(event)->child();
        m_seen[child] = child;
    }
    return QObject::eventFilter(watched, event);
}

bool ListInvariants::alive(QObject *o) const
{
    const auto it = m_seen.find(o);
    return it == m_seen.end() || !it->isNull();
}

namespace {
QSet<QObject *> rowObjects(const MeetingAttendeeList *l, qint64 uid)
{
    QSet<QObject *> out;
    for (const MeetingAttendee &a : l->rows())
        if (a.userId == uid)
            out.insert(a.user);
    return out;
}
} // namespace

QString ListInvariants::checkList(MeetingAttendeeList *l) const
{
    if (l->count() != l->rowCount())
        return QStringLiteral("count differs from rows");
    // Reused across checks: the fuzzers check after every step, and allocating is most of a check.
    std::vector<qint64> &videoUids = m_scratchUids;
    videoUids.clear();
    for (const MeetingAttendee &a : l->rows()) {
        MeetingAttendeeUser *u = a.user;
        if (!u)
            continue;
        if (!alive(u))
            return QStringLiteral("row %1 holds a destroyed live object").arg(a.userId);
        if (u->type() != MeetingDefines::VIDEO) {
            if (l->getShareByShareId(u->shareId()) != u)
                return QStringLiteral("share %1 not found by its id").arg(u->shareId());
            if (l == m_model->searchModel())
                continue;
            const auto type = MeetingDefines::AttendeeType(u->type());
            const int row = l->getAttendeeIndex(a.userId, type);
            if (l->getAttendeeInfoByUid(a.userId, type) != u ||
                (l->existAttendee(a.userId) && (row < 0 || l->rows().at(row).user != u)))
                return QStringLiteral("list %1: share %2 not in its table")
                    .arg(l->objectName(), u->shareId());
            continue;
        }
        videoUids.push_back(a.userId);
        if (!l->existAttendee(a.userId))
            return QStringLiteral("list %1: row %2 not in its table")
                .arg(l->objectName())
                .arg(a.userId);
        // The search list may show one user twice, as attendee and as applicant.
        QObject *found = l->getAttendeeInfoByUid(a.userId, MeetingDefines::VIDEO);
        if (found != u && !(l == m_model->searchModel() && rowObjects(l, a.userId).contains(found)))
            return QStringLiteral("list %1: row %2 found as another object")
                .arg(l->objectName())
                .arg(a.userId);
    }
    std::sort(videoUids.begin(), videoUids.end());
    const auto distinct = std::unique(videoUids.begin(), videoUids.end()) - videoUids.begin();
    if (l->actualCount() != distinct)
        return QStringLiteral("actualCount %1 but %2 attendees")
            .arg(l->actualCount())
            .arg(distinct);
    return {};
}

QString ListInvariants::check() const
{
    if (!m_model)
        return {};
    for (MeetingAttendeeList *l : std::as_const(m_lists)) {
        const QString broken = checkList(l);
        if (!broken.isEmpty())
            return broken;
    }
    std::vector<QObject *> &masterUsers = m_scratchUsers;
    masterUsers.clear();
    for (const MeetingAttendee &a : m_model->attendeeList()->rows())
        masterUsers.push_back(a.user);
    std::sort(masterUsers.begin(), masterUsers.end());
    for (MeetingAttendeeList *derived :
         {m_model->activeAttendeeList(), m_model->callingAttendeeList()}) {
        for (const MeetingAttendee &a : derived->rows())
            if (a.user && !std::binary_search(masterUsers.begin(), masterUsers.end(), a.user))
                return QStringLiteral("derived row %1 not in the attendee list").arg(a.userId);
    }
    if (m_model->webSocketConnected() && m_model->state() != MeetingDefines::CONNECTED)
        return QStringLiteral("connected socket in state %1").arg(m_model->state());
    return {};
}

void drainEvents()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

} // namespace testsupport
