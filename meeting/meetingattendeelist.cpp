#include "meetingattendeelist.h"
#include "accountbase.h"
#include "contactbase.h"
#include "meetingattendeeuser.h"
#include "videosink.h"
#include <QJSEngine>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <tuple>
#include <utility>
#include <vector>

using namespace MeetingDefines;

namespace {
constexpr qsizetype kPlacementsPerBatch = 32;

// The fields operator== looks at; hashing them turns "find the equal row" into one look-up.
struct RowKey
{
    qint64 inviterId;
    qint64 userId;
    int deviceId;
    const MeetingAttendeeUser *user;

    bool operator==(const RowKey &o) const
    {
        return inviterId == o.inviterId && userId == o.userId && deviceId == o.deviceId &&
               user == o.user;
    }
    auto tied() const { return std::make_tuple(userId, inviterId, deviceId, quintptr(user)); }
    bool operator<(const RowKey &o) const { return tied() < o.tied(); }
};

// Sorted keys stand in for hash sets while a refresh reconciles rows: the few rows a refresh
// usually touches then need no allocation at all.
constexpr int kInlineKeys = 32;

// Like the rows, the hash tables keep their capacity when emptied, so refilling them allocates
// nothing.
template <typename Hash> void emptyInPlace(Hash &hash)
{
    // Walking an empty table would allocate one.
    if (!hash.isEmpty())
        hash.removeIf([](const auto &) { return true; });
}

size_t qHash(const RowKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.inviterId, k.userId, k.deviceId, k.user);
}

RowKey keyOf(const MeetingAttendee &a)
{
    return {a.inviterId, a.userId, a.deviceId, a.user};
}

bool sameRecord(const MeetingAttendee &a, const MeetingAttendee &b)
{
    return a == b && a.status == b.status && a.role == b.role && a.inviter == b.inviter;
}

// Counts, per original row index, the rows that are still waiting for their place.
class PendingRows
{
public:
    explicit PendingRows(int n) : m_tree(n + 1, 0)
    {
        for (int i = 1; i <= n; ++i) {
            m_tree[i] += 1;
            const int up = i + (i & -i);
            if (up <= n)
                m_tree[up] += m_tree[i];
        }
    }
    void take(int row)
    {
        for (int i = row + 1; i < m_tree.size(); i += i & -i)
            --m_tree[i];
    }
    int before(int row) const
    {
        int sum = 0;
        for (int i = row; i > 0; i -= i & -i)
            sum += m_tree[i];
        return sum;
    }

private:
    QVarLengthArray<int, kInlineKeys + 1> m_tree;
};

// The waiting rows by key; equal keys keep their row order and are handed out first to last.
class WaitingRows
{
public:
    template <typename KeyAt> WaitingRows(int n, KeyAt keyAt) : m_rows(n), m_taken(n, 0)
    {
        for (int i = 0; i < n; ++i)
            m_rows[i] = {keyAt(i), i};
        std::sort(m_rows.begin(), m_rows.end(), [](const Entry &a, const Entry &b) {
            return a.key < b.key || (a.key == b.key && a.row < b.row);
        });
    }
    // The first waiting row with this key not handed out yet, or -1.
    int take(const RowKey &key)
    {
        const auto first =
            std::lower_bound(m_rows.begin(), m_rows.end(), key,
                             [](const Entry &e, const RowKey &k) { return e.key < k; });
        if (first == m_rows.end() || !(first->key == key))
            return -1;
        // Equal keys are handed out in order, so the group's first entry counts them.
        int &taken = m_taken[int(first - m_rows.begin())];
        const auto next = first + taken;
        if (next == m_rows.end() || !(next->key == key))
            return -1;
        ++taken;
        return next->row;
    }

private:
    struct Entry
    {
        RowKey key;
        int row;
    };
    QVarLengthArray<Entry, kInlineKeys> m_rows;
    QVarLengthArray<int, kInlineKeys> m_taken;
};

// A user listed twice keeps the first place and takes the later values, as a later record
// for a known attendee does.
void mergeRecord(MeetingAttendee &kept, const MeetingAttendee &later)
{
    MeetingAttendeeUser *user = kept.user;
    QSharedPointer<ContactBase> inviter = kept.inviter;
    kept = later;
    if (user)
        kept.user = user;
    if (inviter)
        kept.inviter = inviter;
}

QList<MeetingAttendee> mergedByUser(const QList<MeetingAttendee> &list)
{
    QList<MeetingAttendee> rows;
    rows.reserve(list.size());
    QHash<qint64, int> rowOfUser;
    rowOfUser.reserve(list.size());
    for (const MeetingAttendee &a : list) {
        const auto it = rowOfUser.constFind(a.userId);
        if (it != rowOfUser.cend()) {
            mergeRecord(rows[*it], a);
            continue;
        }
        rowOfUser.insert(a.userId, int(rows.size()));
        rows.append(a);
    }
    return rows;
}

QSharedPointer<ContactBase> memberContact(GroupMemberModel *members, qint64 uid)
{
    if (!members)
        return {};
    QSharedPointer<ContactBase> contact = members->getMemberByUid(uid, false, false, QString());
    if (!contact)
        contact = members->getMemberByUid(uid, true, false, QString());
    return contact;
}

// QList::move rotates by swapping; shifting each record once is several times cheaper.
void shiftRow(QList<MeetingAttendee> &rows, int from, int to)
{
    MeetingAttendee *const b = rows.data();
    MeetingAttendee moving = b[from];
    if (from < to)
        std::copy(b + from + 1, b + to + 1, b + from);
    else
        std::copy_backward(b + to, b + from, b + from + 1);
    b[to] = moving;
}

bool isActiveLike(int status)
{
    return status == ACTIVE || status == CONNECTING;
}

// Every share that is not a whiteboard is a picture share.
std::pair<qint64, int> shareKey(qint64 uid, int type)
{
    return {uid, type == WHITEBOARD ? WHITEBOARD : SHARESCREEN};
}

constexpr std::array<int, 2> kShareKinds{WHITEBOARD, SHARESCREEN};

// Share entries by owner and kind, sorted by key. Shares are few and are found by id by walking
// them: a flat array walks only its entries (a hash visits all of its buckets, 128 at the
// least), allocates nothing per entry and keeps its capacity when emptied.
class ShareTable
{
public:
    using Key = std::pair<qint64, int>;
    struct Entry
    {
        Key key;
        MeetingAttendee attendee;
    };

    const MeetingAttendee *find(const Key &key) const
    {
        const qsizetype i = indexOf(key);
        return i < 0 ? nullptr : &m_entries.at(i).attendee;
    }
    bool contains(const Key &key) const { return indexOf(key) >= 0; }
    MeetingAttendee value(const Key &key) const
    {
        const MeetingAttendee *a = find(key);
        return a ? *a : MeetingAttendee();
    }
    void insert(const Key &key, const MeetingAttendee &a)
    {
        const qsizetype i = lowerBound(key);
        if (i < m_entries.size() && m_entries.at(i).key == key)
            m_entries[i].attendee = a;
        else
            m_entries.insert(i, Entry{key, a});
    }
    void remove(const Key &key)
    {
        if (const qsizetype i = indexOf(key); i >= 0)
            m_entries.remove(i);
    }
    MeetingAttendee take(const Key &key)
    {
        MeetingAttendee a = value(key);
        remove(key);
        return a;
    }
    bool isEmpty() const { return m_entries.isEmpty(); }
    void clear() { m_entries.clear(); }
    const QList<Entry> &entries() const { return m_entries; }

private:
    qsizetype lowerBound(const Key &key) const
    {
        const auto it = std::lower_bound(m_entries.cbegin(), m_entries.cend(), key,
                                         [](const Entry &e, const Key &k) { return e.key < k; });
        return it - m_entries.cbegin();
    }
    qsizetype indexOf(const Key &key) const
    {
        const qsizetype i = lowerBound(key);
        return i < m_entries.size() && m_entries.at(i).key == key ? i : -1;
    }

    QList<Entry> m_entries;
};

} // namespace

struct MeetingAttendeeListPrivate
{
    QList<MeetingAttendee> m_rows;
    QHash<qint64, MeetingAttendee> m_video;
    // A user may hold a whiteboard and a picture share at once.
    ShareTable m_share;
    AccountBase *m_account = nullptr;
    QString m_dialogId;
    qint64 m_userId = 0;
    int m_maxCountHistory = 0;
    int m_speakerCount = 0;
    // False while a bulk insert may have put share rows in the video table.
    bool m_tablesExact = true;
    // Live objects that a row here held and that have been deleted since, with their type.
    // Another list may delete one while a row here still points at it, so rows reach their
    // objects through alive().
    QHash<const MeetingAttendeeUser *, int> m_dead;
    QSet<const MeetingAttendeeUser *> m_watched;
    // First row of each live object, right for the rows before m_indexedRows; rows are found
    // in constant time and the index catches up lazily after a change.
    mutable QHash<const MeetingAttendeeUser *, int> m_rowOf;
    mutable int m_indexedRows = 0;
    bool m_batching = false;
    QList<MeetingAttendee> m_unplaced;
};

MeetingAttendeeList::MeetingAttendeeList(AccountBase *account, QObject *parent)
    : QAbstractListModel(parent), d(std::make_unique<MeetingAttendeeListPrivate>())
{
    d->m_account = account;
    // QML never deletes an object with a parent; marking one would cost it QML data.
    if (!QObject::parent())
        QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

MeetingAttendeeList::~MeetingAttendeeList()
{
    emit startDestroy();
    // The objects this list made die after it; none may call back into it.
    for (const MeetingAttendeeUser *user : std::as_const(d->m_watched))
        const_cast<MeetingAttendeeUser *>(user)->removeHolder(this);
}

AccountBase *MeetingAttendeeList::account() const
{
    return d->m_account;
}

qint64 MeetingAttendeeList::userId() const
{
    return d->m_userId;
}

void MeetingAttendeeList::setUserId(qint64 userId)
{
    d->m_userId = userId;
}

QString MeetingAttendeeList::dialogId() const
{
    return d->m_dialogId;
}

void MeetingAttendeeList::setDialogId(const QString &dialogId)
{
    d->m_dialogId = dialogId;
}

int MeetingAttendeeList::count() const
{
    return int(d->m_rows.size());
}

int MeetingAttendeeList::actualCount() const
{
    return int(d->m_video.size());
}

int MeetingAttendeeList::maxCountHistory() const
{
    return d->m_maxCountHistory;
}

int MeetingAttendeeList::speakerCount() const
{
    return d->m_speakerCount;
}

const QList<MeetingAttendee> &MeetingAttendeeList::rows() const
{
    return d->m_rows;
}

int MeetingAttendeeList::rowCount(const QModelIndex &) const
{
    return count();
}

QVariant MeetingAttendeeList::data(const QModelIndex &index, int role) const
{
    if (index.row() < 0 || index.column() < 0 || index.model() != this || index.row() >= count())
        return {};
    const MeetingAttendee &a = d->m_rows.at(index.row());
    MeetingAttendeeUser *user = alive(a);
    switch (role) {
    case USER_ROLE:
        return QVariant::fromValue(user);
    case INVITER_ROLE:
        return QVariant::fromValue(a.inviter);
    case STATUS_ROLE:
        return a.status;
    default:
        return QVariantMap{
            {QStringLiteral("inviterId"), QVariant::fromValue<qlonglong>(a.inviterId)},
            {QStringLiteral("userId"), QVariant::fromValue<qlonglong>(a.userId)},
            {QStringLiteral("deviceId"), a.deviceId},
            {QStringLiteral("status"), a.status},
            {QStringLiteral("inviter"), QVariant::fromValue(a.inviter)},
            {QStringLiteral("user"), QVariant::fromValue(user)},
            {QStringLiteral("role"), a.role}};
    }
}

// One table for every list: proxies ask on every row transaction, and a shared copy costs no
// allocation.
QHash<int, QByteArray> MeetingAttendeeList::roleNames() const
{
    static const QHash<int, QByteArray> names = {{USER_ROLE, QByteArrayLiteral("user")},
                                                 {INVITER_ROLE, QByteArrayLiteral("inviter")},
                                                 {STATUS_ROLE, QByteArrayLiteral("status")},
                                                 {ITEM_MODEL, QByteArrayLiteral("itemModel")}};
    return names;
}

// ---- live objects ----

template <typename T> T *MeetingAttendeeList::createLiveObject(qint64 uid)
{
    return new T(uid, this);
}

// A list deletes only what it created: other lists hold the same pointers.
void MeetingAttendeeList::deleteLiveObject(const MeetingAttendee &a)
{
    MeetingAttendeeUser *user = alive(a);
    if (user && user->parent() == this)
        delete user;
}

// Every list that holds a live object hears of its end, so that rows left pointing at it
// until the next refresh are never dereferenced.
void MeetingAttendeeList::hold(const MeetingAttendee &a)
{
    if (!a.user)
        return;
    d->m_dead.remove(a.user);
    // The object tells its lists itself: a connection per list and object cost two
    // allocations, and sender() would make ending a large meeting quadratic.
    if (d->m_watched.contains(a.user))
        return;
    d->m_watched.insert(a.user);
    a.user->addHolder(this);
}

void MeetingAttendeeList::forgetLiveObject(const MeetingAttendeeUser *user)
{
    d->m_watched.remove(user);
    // Keep only what rows still point at, so that a list living as long as a meeting stays small.
    if (d->m_dead.size() > count() + 64) {
        QSet<const MeetingAttendeeUser *> held;
        for (const MeetingAttendee &row : std::as_const(d->m_rows))
            held.insert(row.user);
        d->m_dead.removeIf(
            [&held](decltype(d->m_dead)::iterator it) { return !held.contains(it.key()); });
    }
    d->m_dead.insert(user, user->type());
}

MeetingAttendeeUser *MeetingAttendeeList::alive(const MeetingAttendee &a) const
{
    return d->m_dead.isEmpty() || !d->m_dead.contains(a.user) ? a.user : nullptr;
}

int MeetingAttendeeList::typeOf(const MeetingAttendee &a) const
{
    if (MeetingAttendeeUser *user = alive(a))
        return user->type();
    return d->m_dead.value(a.user, VIDEO);
}

// ---- look-ups ----

const MeetingAttendee *MeetingAttendeeList::entry(qint64 uid, int type) const
{
    if (type == VIDEO) {
        const auto it = d->m_video.constFind(uid);
        return it == d->m_video.cend() ? nullptr : &*it;
    }
    return d->m_share.find(shareKey(uid, type));
}

bool MeetingAttendeeList::existAttendee(qint64 uid) const
{
    return d->m_video.contains(uid);
}

bool MeetingAttendeeList::getAttendee(qint64 uid, AttendeeType type, MeetingAttendee &out) const
{
    const MeetingAttendee *found = d->m_video.contains(uid) ? entry(uid, type) : nullptr;
    if (found)
        out = *found;
    return found;
}

int MeetingAttendeeList::getAttendeeIndex(qint64 uid, AttendeeType type) const
{
    const MeetingAttendee *found = d->m_video.contains(uid) ? entry(uid, type) : nullptr;
    return found ? searchAttendee(*found) : -1;
}

bool MeetingAttendeeList::isAttendeeInviter(qint64 uid, qint64 inviterUid) const
{
    const auto it = d->m_video.constFind(uid);
    return it != d->m_video.cend() && it->inviterId == inviterUid;
}

QList<MeetingAttendee> MeetingAttendeeList::activeAttendees() const
{
    QList<MeetingAttendee> out;
    activeAttendees(out);
    return out;
}

QList<MeetingAttendee> MeetingAttendeeList::callingAttendees() const
{
    QList<MeetingAttendee> out;
    callingAttendees(out);
    return out;
}

void MeetingAttendeeList::activeAttendees(QList<MeetingAttendee> &out) const
{
    collectRows(out, true);
}

void MeetingAttendeeList::callingAttendees(QList<MeetingAttendee> &out) const
{
    collectRows(out, false);
}

void MeetingAttendeeList::collectRows(QList<MeetingAttendee> &out, bool active) const
{
    out.clear();
    out.reserve(count());
    for (const MeetingAttendee &a : std::as_const(d->m_rows)) {
        if (isActiveLike(a.status) == active)
            out.append(a);
    }
}

QObject *MeetingAttendeeList::getAttendeeInfoByIndex(int index) const
{
    return validRow(index) ? alive(d->m_rows.at(index)) : nullptr;
}

QObject *MeetingAttendeeList::getAttendeeInfoByUid(qlonglong uid, AttendeeType type) const
{
    const MeetingAttendee *found = entry(uid, type);
    return found ? alive(*found) : nullptr;
}

QObject *MeetingAttendeeList::attendeeSelfInviter() const
{
    const auto it = d->m_video.constFind(d->m_userId);
    return it == d->m_video.cend() ? nullptr : it->inviter.data();
}

// Compares identity fields only and never reads a live object, so it is safe while a row
// still points at an object that another list has deleted.
int MeetingAttendeeList::searchAttendee(const MeetingAttendee &a) const
{
    if (!a.user)
        return int(d->m_rows.indexOf(a));
    // Stale entries of rows long gone would otherwise pile up.
    if (d->m_indexedRows == 0 || d->m_rowOf.size() > 2 * count() + 64) {
        d->m_rowOf.clear();
        d->m_indexedRows = 0;
    }
    for (; d->m_indexedRows < count(); ++d->m_indexedRows) {
        const MeetingAttendeeUser *user = d->m_rows.at(d->m_indexedRows).user;
        const int known = d->m_rowOf.value(user, -1);
        if (known < 0 || known >= d->m_indexedRows || d->m_rows.at(known).user != user)
            d->m_rowOf.insert(user, d->m_indexedRows);
    }
    const int row = d->m_rowOf.value(a.user, -1);
    if (row < 0 || row >= count() || d->m_rows.at(row).user != a.user)
        return -1;
    // An address reused after a deletion can stand for two identities.
    return d->m_rows.at(row) == a ? row : int(d->m_rows.indexOf(a));
}

void MeetingAttendeeList::rowsChangedFrom(int row)
{
    d->m_indexedRows = std::min(d->m_indexedRows, std::max(row, 0));
}

int MeetingAttendeeList::rowNear(const MeetingAttendee &a, int hint) const
{
    return validRow(hint) && d->m_rows.at(hint) == a ? hint : searchAttendee(a);
}

bool MeetingAttendeeList::selfOnTop() const
{
    return !d->m_rows.isEmpty() && d->m_rows.constFirst().userId == d->m_userId;
}

bool MeetingAttendeeList::selfIsSpeaker() const
{
    const auto it = d->m_video.constFind(d->m_userId);
    return it != d->m_video.cend() && it->user && it->user->participationStatus() == SPEAKER;
}

// ---- counters ----

void MeetingAttendeeList::publishCounters()
{
    emit countChanged(count());
    updateActualCount();
}

void MeetingAttendeeList::updateActualCount()
{
    emit actualCountChanged(actualCount());
    updateMaxCountHistory(actualCount());
}

void MeetingAttendeeList::updateMaxCountHistory(int count)
{
    if (count <= d->m_maxCountHistory)
        return;
    d->m_maxCountHistory = count;
    emit maxCountHistoryChanged(count);
}

void MeetingAttendeeList::setspeakerCount(int count)
{
    if (count == d->m_speakerCount)
        return;
    d->m_speakerCount = count;
    emit speakerCountChanged(count);
}

// ---- inserting ----

void MeetingAttendeeList::enterTables(const MeetingAttendee &a, Tables tables)
{
    const bool share = a.user && a.user->type() != VIDEO;
    if (tables == Tables::Bulk || !share)
        d->m_video.insert(a.userId, a);
    if (share)
        d->m_share.insert(shareKey(a.userId, a.user->type()), a);
}

void MeetingAttendeeList::insertRowAt(int pos, const MeetingAttendee &a, Tables tables)
{
    beginInsertRows({}, pos, pos);
    d->m_rows.insert(pos, a);
    rowsChangedFrom(pos);
    hold(a);
    enterTables(a, tables);
    endInsertRows();
}

bool MeetingAttendeeList::notAfter(const MeetingAttendee &a, const MeetingAttendee &b) const
{
    return alive(a) && alive(b) && a <= b;
}

bool MeetingAttendeeList::followsOwner(const MeetingAttendee &a) const
{
    if (a.user->type() == VIDEO || a.user->state() != ACTIVE)
        return false;
    const auto owner = d->m_video.constFind(a.userId);
    return owner != d->m_video.cend() && owner->user && owner->user->muteVideo() == 0 &&
           !owner->user->muteVideoLocal();
}

int MeetingAttendeeList::placementOf(const MeetingAttendee &a) const
{
    if (a.userId == d->m_userId && a.user->participationStatus() == SPEAKER &&
        a.user->type() == VIDEO)
        return 0;
    for (int i = 1; i < count(); ++i) {
        if (notAfter(a, d->m_rows.at(i)))
            return i;
    }
    return count();
}

void MeetingAttendeeList::appendAttendee(const MeetingAttendee &a)
{
    if (!a.user) {
        qCWarning(lcMeeting) << "attendee" << a.userId << "has no live object; not listed";
        return;
    }
    // A second entry of the same kind would leave a row that the tables no longer know.
    const bool share = a.user->type() != VIDEO;
    if (share ? d->m_share.contains(shareKey(a.userId, a.user->type()))
              : d->m_video.contains(a.userId)) {
        qCWarning(lcMeeting) << "attendee" << a.userId << "is listed already; not listed again";
        return;
    }
    if (d->m_batching) {
        insertRowAt(count(), a, Tables::ByType);
        markUnplaced(a);
    } else if (followsOwner(a)) {
        const int owner = searchAttendee(d->m_video.value(a.userId));
        if (owner < 0)
            return;
        insertRowAt(owner + 1, a, Tables::ByType);
        emit countChanged(count());
        return;
    } else {
        insertRowAt(placementOf(a), a, Tables::ByType);
    }
    publishCounters();
}

void MeetingAttendeeList::appendAttendee(const QList<MeetingAttendee> &list, bool atFront)
{
    for (const MeetingAttendee &a : list)
        insertRowAt(atFront ? 0 : count(), a, Tables::Bulk);
    d->m_tablesExact = d->m_tablesExact && list.isEmpty();
    publishCounters();
}

void MeetingAttendeeList::updateAttendeeUser(MeetingAttendee &a)
{
    const QSharedPointer<DialogBase> dialog =
        d->m_account ? d->m_account->dialog(d->m_dialogId, false) : QSharedPointer<DialogBase>();
    const QSharedPointer<GroupModel> group =
        dialog && dialog->isGroup() ? dialog->groupModel() : QSharedPointer<GroupModel>();
    GroupMemberModel *members = group ? group->getMemberModel() : nullptr;
    UserManager *users = d->m_account ? d->m_account->userManager() : nullptr;

    if (!a.inviter) {
        a.inviter = memberContact(members, a.inviterId);
        if (!a.inviter && users)
            a.inviter = users->getUserPointer(a.inviterId, true, QString(), true);
    }
    if (a.user) {
        a.user->setState(a.status);
        a.user->setParticipationStatus(a.role);
        return;
    }
    auto *user = createLiveObject<MeetingAttendeeUser>(a.userId);
    user->setState(a.status);
    user->setParticipationStatus(a.role);
    user->setUserInfo(memberContact(members, a.userId));
    if (!user->userInfo() && users)
        user->setUserInfo(users->getUserPointer(a.userId, true, QString(), true));
    a.user = user;
}

// ---- reconciling ----

QSet<qint64> MeetingAttendeeList::initAttendees(const QList<MeetingAttendee> &list, bool &added)
{
    added = false;
    if (d->m_rows.isEmpty() && !list.isEmpty()) {
        beginResetModel();
        d->m_rows = mergedByUser(list);
        rowsChangedFrom(0);
        d->m_video.reserve(d->m_rows.size());
        for (MeetingAttendee &row : d->m_rows) {
            updateAttendeeUser(row);
            hold(row);
            enterTables(row, Tables::ByType);
        }
        endResetModel();
        added = true;
        publishCounters();
        return {};
    }

    QSet<qint64> wanted;
    wanted.reserve(list.size());
    for (const MeetingAttendee &a : list)
        wanted.insert(a.userId);
    QSet<qint64> removed;
    for (int i = 0; i < count();) {
        const MeetingAttendee row = d->m_rows.at(i);
        if (wanted.contains(row.userId)) {
            ++i;
            continue;
        }
        if (kickOut(row, i))
            removed.insert(row.userId);
        deleteLiveObject(row);
    }
    if (!list.isEmpty())
        updateKnownAttendees(list, added);
    publishCounters();
    return removed;
}

void MeetingAttendeeList::updateKnownAttendees(const QList<MeetingAttendee> &list, bool &added)
{
    // A server set usually follows the rows, so the row after the last one found is tried
    // first; otherwise one index serves the whole pass until an insert shifts the rows.
    QHash<RowKey, int> rowOf;
    bool stale = true;
    int next = 0;
    for (const MeetingAttendee &a : list) {
        const auto known = d->m_video.find(a.userId);
        if (known == d->m_video.end()) {
            MeetingAttendee copy = a;
            updateAttendeeUser(copy);
            appendAttendee(copy);
            added = true;
            stale = true;
            continue;
        }
        const MeetingAttendee old = *known;
        MeetingAttendee e = old;
        mergeRecord(e, a);
        if (!sameRecord(e, old)) {
            *known = e;
            hold(e);
        }
        if (MeetingAttendeeUser *user = alive(old))
            user->setState(a.status);

        int row = validRow(next) && d->m_rows.at(next) == old ? next : -1;
        if (row < 0 && stale) {
            rowOf.clear();
            rowOf.reserve(count());
            for (int i = count() - 1; i >= 0; --i)
                rowOf.insert(keyOf(d->m_rows.at(i)), i);
            stale = false;
        }
        if (row < 0)
            row = rowNear(old, rowOf.value(keyOf(old), -1));
        next = row + 1;
        if (row < 0 || sameRecord(d->m_rows.at(row), e))
            continue;
        if (d->m_rows.at(row).user != e.user)
            rowsChangedFrom(row);
        d->m_rows[row] = e;
        rowOf.insert(keyOf(e), row);
        emit dataChanged(index(row), index(row), {});
    }
}

void MeetingAttendeeList::setDifferentAttendees(const QList<MeetingAttendee> &list)
{
    bool changed = false;
    if (!d->m_rows.isEmpty()) {
        // Rows that already match at both ends stay; only the middle is reconciled.
        const int common = int(std::min(d->m_rows.size(), list.size()));
        int head = 0;
        while (head < common && d->m_rows.at(head) == list.at(head))
            ++head;
        int tail = 0;
        while (tail < common - head &&
               d->m_rows.at(count() - 1 - tail) == list.at(list.size() - 1 - tail))
            ++tail;
        changed = removeRowsNotIn(list, head, tail);
        changed = placeRows(list, head, tail) || changed;
    } else if (!list.isEmpty()) {
        beginResetModel();
        d->m_rows = list;
        rowsChangedFrom(0);
        for (const MeetingAttendee &row : list)
            hold(row);
        endResetModel();
        changed = true;
    }
    if (changed || !d->m_tablesExact)
        rebuildTables();
    else
        publishCounters();
    setspeakerCount(countSpeakers());
}

bool MeetingAttendeeList::removeRowsNotIn(const QList<MeetingAttendee> &list, int head, int tail)
{
    QVarLengthArray<RowKey, kInlineKeys> wanted;
    wanted.reserve(list.size() - head - tail);
    for (int j = head; j < list.size() - tail; ++j)
        wanted.append(keyOf(list.at(j)));
    std::sort(wanted.begin(), wanted.end());
    bool removed = false;
    for (int i = head; i < count() - tail;) {
        if (std::binary_search(wanted.begin(), wanted.end(), keyOf(d->m_rows.at(i)))) {
            ++i;
            continue;
        }
        beginRemoveRows({}, i, i);
        dropTableEntries(d->m_rows.at(i));
        d->m_rows.removeAt(i);
        rowsChangedFrom(i);
        endRemoveRows();
        publishCounters();
        removed = true;
    }
    return removed;
}

bool MeetingAttendeeList::placeRows(const QList<MeetingAttendee> &list, int head, int tail)
{
    // Rows waiting for their place keep their relative order below the placed ones, so the
    // current index of a waiting row is j plus the waiting rows that stood before it.
    const int waiting = count() - head - tail;
    WaitingRows waitingRows(waiting, [this, head](int i) { return keyOf(d->m_rows.at(head + i)); });
    PendingRows pending(waiting);
    bool changed = false;
    for (int j = head; j < list.size() - tail; ++j) {
        const MeetingAttendee &a = list.at(j);
        const int original = waitingRows.take(keyOf(a));
        if (original < 0) {
            insertRowAt(j, a, Tables::Bulk);
            d->m_tablesExact = false;
            publishCounters();
            changed = true;
            continue;
        }
        const int k = j + pending.before(original);
        pending.take(original);
        if (k == j)
            continue;
        beginMoveRows({}, k, k, {}, j);
        shiftRow(d->m_rows, k, j);
        rowsChangedFrom(std::min(k, j));
        endMoveRows();
        emit moved(k, j);
        changed = true;
    }
    // Left over: more rows equal to a record than the list holds copies of it.
    const int end = int(list.size()) - tail;
    while (count() > list.size()) {
        beginRemoveRows({}, end, end);
        dropTableEntries(d->m_rows.at(end));
        d->m_rows.removeAt(end);
        rowsChangedFrom(end);
        endRemoveRows();
        publishCounters();
        changed = true;
    }
    return changed;
}

// Drops a row's entries, whichever table it went to.
void MeetingAttendeeList::dropTableEntries(const MeetingAttendee &row)
{
    d->m_video.remove(row.userId);
    d->m_share.remove(shareKey(row.userId, typeOf(row)));
}

void MeetingAttendeeList::rebuildTables()
{
    // Emptied entry by entry (a refresh drops the entries of the rows it removes): the tables
    // keep their capacity, and a small list never walks all of it.
    for (const MeetingAttendee &row : std::as_const(d->m_rows))
        dropTableEntries(row);
    emptyInPlace(d->m_video);
    d->m_share.clear();
    for (const MeetingAttendee &row : std::as_const(d->m_rows)) {
        MeetingAttendeeUser *user = alive(row);
        // A row whose object is gone never hides a live share of the same kind.
        if (user && user->type() == VIDEO)
            d->m_video.insert(row.userId, row);
        else if (user || !d->m_share.contains(shareKey(row.userId, typeOf(row))))
            d->m_share.insert(shareKey(row.userId, typeOf(row)), row);
    }
    d->m_tablesExact = true;
    publishCounters();
}

int MeetingAttendeeList::countSpeakers() const
{
    int speakers = 0;
    for (const MeetingAttendee &row : std::as_const(d->m_rows)) {
        const MeetingAttendeeUser *user = alive(row);
        speakers += user && user->type() == VIDEO && user->participationStatus() == SPEAKER;
    }
    return speakers;
}

// ---- removing ----

// Announces a row as gone and removes it with its table entries. Receivers of kickedOut run
// foreign code, so the row is found again before and after the signal.
bool MeetingAttendeeList::kickOut(const MeetingAttendee &gone, int hint)
{
    int row = rowNear(gone, hint);
    if (row < 0)
        return false;
    emit kickedOut(gone.userId, row, typeOf(gone));
    row = rowNear(gone, row);
    if (row < 0)
        return false;
    beginRemoveRows({}, row, row);
    d->m_rows.removeAt(row);
    rowsChangedFrom(row);
    d->m_video.remove(gone.userId);
    for (int kind : kShareKinds)
        d->m_share.remove(shareKey(gone.userId, kind));
    reenterTables(gone.userId);
    endRemoveRows();
    return true;
}

// A list may show one user twice (the search results: attendee and applicant) while the
// tables hold one row per user and kind; when that row goes, the other one takes its place.
void MeetingAttendeeList::reenterTables(qint64 uid)
{
    for (const MeetingAttendee &row : std::as_const(d->m_rows)) {
        if (row.userId != uid)
            continue;
        const int type = typeOf(row);
        if (type == VIDEO && !d->m_video.contains(uid))
            d->m_video.insert(uid, row);
        else if (type != VIDEO && !d->m_share.contains(shareKey(uid, type)))
            d->m_share.insert(shareKey(uid, type), row);
    }
}

void MeetingAttendeeList::removeAttendee(bool kicked, int index, MeetingAttendee &a)
{
    if (!validRow(index))
        return;
    if (MeetingAttendeeUser *user = alive(a))
        user->stopVideoSink();
    beginRemoveRows({}, index, index);
    d->m_rows.removeAt(index);
    rowsChangedFrom(index);
    reenterTables(a.userId);
    endRemoveRows();
    publishCounters();
    if (!kicked)
        return;
    emit kickedOut(a.userId, index, typeOf(a));
    deleteLiveObject(a);
    a.user = nullptr;
}

void MeetingAttendeeList::removeAttendee(qint64 uid, bool kicked, const QString &shareId)
{
    if (shareId.isEmpty() && d->m_video.contains(uid)) {
        MeetingAttendee a = d->m_video.take(uid);
        removeAttendee(kicked, searchAttendee(a), a);
    }
    // A share id names one share; an entry whose object is gone cannot be told apart.
    for (int kind : kShareKinds) {
        const MeetingAttendee *entry = d->m_share.find(shareKey(uid, kind));
        if (!entry)
            continue;
        const MeetingAttendeeUser *user = alive(*entry);
        if (!shareId.isEmpty() && (!user || user->shareId() != shareId))
            continue;
        MeetingAttendee a = d->m_share.take(shareKey(uid, kind));
        removeAttendee(kicked, searchAttendee(a), a);
    }
}

void MeetingAttendeeList::removeRowsOf(const QObject *user)
{
    if (!user)
        return;
    for (int i = count() - 1; i >= 0; --i) {
        MeetingAttendee row = d->m_rows.at(i);
        if (row.user != user)
            continue;
        if (d->m_video.value(row.userId).user == row.user)
            d->m_video.remove(row.userId);
        for (int kind : kShareKinds) {
            if (d->m_share.value(shareKey(row.userId, kind)).user == row.user)
                d->m_share.remove(shareKey(row.userId, kind));
        }
        removeAttendee(false, i, row);
        i = std::min(i, count());
    }
}

void MeetingAttendeeList::updateAttendee(const QList<qint64> &uids, bool deleteUser)
{
    const QSet<qint64> keep(uids.cbegin(), uids.cend());
    for (int i = 0; i < count();) {
        const MeetingAttendee row = d->m_rows.at(i);
        if (keep.contains(row.userId)) {
            ++i;
            continue;
        }
        if (deleteUser) {
            if (MeetingAttendeeUser *user = alive(row))
                user->setMuteVideoLocal(true);
        }
        if (kickOut(row, i))
            publishCounters();
        if (deleteUser)
            deleteLiveObject(row);
    }
}

void MeetingAttendeeList::clearAttendee(bool deleteUsers)
{
    const QList<MeetingAttendeeUser *> users =
        deleteUsers ? findChildren<MeetingAttendeeUser *>(Qt::FindDirectChildrenOnly)
                    : QList<MeetingAttendeeUser *>();
    // An empty list stays as it is, without a reset its views would redraw for.
    if (users.isEmpty() && d->m_rows.isEmpty() && d->m_video.isEmpty() && d->m_share.isEmpty() &&
        d->m_dead.isEmpty())
        return;
    beginResetModel();
    qDeleteAll(users);
    d->m_rows.clear();
    rowsChangedFrom(0);
    emptyInPlace(d->m_video);
    d->m_share.clear();
    emptyInPlace(d->m_dead);
    endResetModel();
    emit countChanged(0);
    emit actualCountChanged(0);
}

// ---- ordering ----

void MeetingAttendeeList::moveRow(int index, int target)
{
    if (!validRow(index) || target < 0 || target > count() || target == index ||
        target == index + 1)
        return;
    beginMoveRows({}, index, index, {}, target);
    shiftRow(d->m_rows, index, target > index ? target - 1 : target);
    rowsChangedFrom(std::min(index, target));
    endMoveRows();
    emit moved(index, target);
}

int MeetingAttendeeList::targetAbove(const MeetingAttendee &a, int index, int floor,
                                     int fallback) const
{
    for (int i = index - 1; i >= floor; --i) {
        if (notAfter(d->m_rows.at(i), a))
            return i + 1;
    }
    return fallback;
}

int MeetingAttendeeList::targetBelow(const MeetingAttendee &a, int index) const
{
    for (int i = index + 1; i < count(); ++i) {
        if (notAfter(a, d->m_rows.at(i)))
            return i;
    }
    return count();
}

// Keys are read once per row and compared as tuples, which keeps the order strict and weak
// whatever values the live objects hold; rows without a live object go last.
void MeetingAttendeeList::sortRows()
{
    using Key = std::array<int, 5>;
    std::vector<std::pair<Key, int>> order;
    order.reserve(size_t(count()));
    for (int i = 0; i < count(); ++i) {
        const MeetingAttendee &row = d->m_rows.at(i);
        const MeetingAttendeeUser *u = alive(row);
        order.emplace_back(u ? Key{0, row.converState(u->state()), u->participationStatus(),
                                   u->muteVideo() != 0, u->muteVideoLocal()}
                             : Key{1, 0, 0, 0, 0},
                           i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto &l, const auto &r) { return l.first < r.first; });
    QList<MeetingAttendee> sorted;
    sorted.reserve(count());
    for (const auto &entry : order)
        sorted.append(d->m_rows.at(entry.second));
    d->m_rows = std::move(sorted);
    rowsChangedFrom(0);
}

void MeetingAttendeeList::beginBatch()
{
    d->m_batching = true;
}

void MeetingAttendeeList::endBatch()
{
    d->m_batching = false;
    const QList<MeetingAttendee> unplaced = std::exchange(d->m_unplaced, {});
    // Each placement scans the rows; beyond a few, one sort costs less.
    if (unplaced.size() > kPlacementsPerBatch) {
        sortAttendee();
        return;
    }
    for (const MeetingAttendee &a : unplaced)
        placeRow(searchAttendee(a));
}

void MeetingAttendeeList::markUnplaced(const MeetingAttendee &a)
{
    // Past the limit a sort follows anyway, so the list need not grow.
    if (d->m_unplaced.size() <= kPlacementsPerBatch && !d->m_unplaced.contains(a))
        d->m_unplaced.append(a);
}

// Where single changes would have put the row: the own camera of a speaker on top, a share
// below its owner's open camera, any other row among the rows it sorts with.
void MeetingAttendeeList::placeRow(int row)
{
    if (!validRow(row) || !alive(d->m_rows.at(row)))
        return;
    const MeetingAttendee a = d->m_rows.at(row);
    if (followsOwner(a)) {
        moveRow(row, searchAttendee(d->m_video.value(a.userId)) + 1);
        return;
    }
    if (a.userId == d->m_userId && a.user->type() == VIDEO &&
        a.user->participationStatus() == SPEAKER) {
        moveRow(row, 0);
        return;
    }
    // Strictly before on the way up and not after on the way down, so equal rows keep the
    // order in which the room named them.
    for (int i = 1; i < row; ++i) {
        if (alive(d->m_rows.at(i)) && a < d->m_rows.at(i)) {
            moveRow(row, i);
            return;
        }
    }
    moveRow(row, targetBelow(a, row));
}

void MeetingAttendeeList::sortAttendee()
{
    if (count() < 2)
        return;
    beginResetModel();
    sortRows();
    const MeetingAttendee self = d->m_video.value(d->m_userId);
    const MeetingAttendeeUser *selfUser = alive(self);
    const int selfRow = searchAttendee(self);
    if (selfRow > 0 && selfUser && selfUser->participationStatus() == SPEAKER) {
        d->m_rows.removeAt(selfRow);
        d->m_rows.insert(0, self);
        rowsChangedFrom(0);
    }
    // The own shares follow the own camera, a picture share first.
    for (int kind : kShareKinds) {
        const MeetingAttendee *share = entry(d->m_userId, kind);
        if (!share || !selfUser || selfUser->muteVideo() != 0)
            continue;
        const int shareRow = searchAttendee(*share);
        if (shareRow > 0) {
            const MeetingAttendee moving = *share;
            d->m_rows.removeAt(shareRow);
            d->m_rows.insert(1, moving);
            rowsChangedFrom(1);
        }
    }
    endResetModel();
}

void MeetingAttendeeList::sortAttendeeByState(qint64 uid, int state, int index)
{
    const auto it = d->m_video.constFind(uid);
    if (it == d->m_video.cend() || !validRow(index))
        return;
    int target = -1;
    if (isActiveLike(state))
        target = targetAbove(*it, index, 0, selfOnTop() ? 1 : 0);
    else if (state == REJECTED || state == TIMEOUT || state == BUSY)
        target = targetBelow(*it, index);
    moveRow(index, target);
}

void MeetingAttendeeList::sortAttendeeByStatus(qint64 uid, int status, int index)
{
    const auto it = d->m_video.constFind(uid);
    if (it == d->m_video.cend() || !validRow(index))
        return;
    const int floor = selfOnTop() ? 1 : 0;
    int target = -1;
    switch (status) {
    case SPEAKER:
        target = uid == d->m_userId ? 0 : targetAbove(*it, index, floor, floor);
        break;
    case RAISE_HAND:
    case INVITE:
        target = targetAbove(*it, index, 1, 1);
        break;
    case LISTENER:
        target = targetBelow(*it, index);
        break;
    default:
        return;
    }
    moveRow(index, target);
}

void MeetingAttendeeList::sortAttendeeByVideo(qint64 uid, int muteVideo, int type, int index)
{
    const auto owner = d->m_video.constFind(uid);
    if (owner == d->m_video.cend() || !validRow(index))
        return;
    const bool share = type != VIDEO;
    const MeetingAttendee a = share ? d->m_share.value(shareKey(uid, type)) : *owner;
    if (muteVideo != 0) {
        moveRow(index, targetBelow(a, index));
        return;
    }
    const int fallback = selfIsSpeaker() ? 1 : 0;
    if (!share || !owner->user || owner->user->muteVideo() != 0) {
        moveRow(index, targetAbove(a, index, 0, fallback));
        return;
    }
    // A share with its owner's camera on stands right below the owner.
    int target = fallback;
    for (int i = index - 1; i >= 0; --i) {
        if (d->m_rows.at(i).userId == uid) {
            target = i + 1;
            break;
        }
    }
    moveRow(index, target);
}

bool MeetingAttendeeList::updateAttendee(qint64 uid, int muteVoice, int muteVideo, int status,
                                         int role, int networkScore)
{
    const auto it = d->m_video.find(uid);
    if (it == d->m_video.end())
        return false;
    MeetingAttendee e = *it;
    MeetingAttendeeUser *user = alive(e);
    if (user && networkScore != -1)
        user->setNetworkScore(networkScore);
    if (status != e.status || role != e.role) {
        const int row = searchAttendee(e);
        e.status = status;
        e.role = role;
        d->m_video.insert(uid, e);
        if (validRow(row)) {
            d->m_rows[row] = e;
            emit dataChanged(index(row), index(row), {});
        }
    }
    if (!user)
        return true;
    if (user->state() != status) {
        const int row = searchAttendee(e);
        user->setState(status);
        d->m_batching ? markUnplaced(e) : sortAttendeeByState(uid, status, row);
    }
    const int oldVideo = user->muteVideo();
    user->setMute(muteVideo, 0, 1);
    user->setMute(muteVoice, 0, 0);
    if (uid == d->m_userId) {
        user->setMute(muteVideo, 1, 1);
        user->setMute(muteVoice, 1, 0);
    } else if ((muteVideo & oldVideo) == 0 && (muteVideo != 0 || oldVideo != 0)) {
        d->m_batching ? markUnplaced(e)
                      : sortAttendeeByVideo(uid, muteVideo, VIDEO, searchAttendee(e));
    }
    if (user->participationStatus() != role) {
        const int row = searchAttendee(e);
        user->setParticipationStatus(role);
        d->m_batching ? markUnplaced(e) : sortAttendeeByStatus(uid, role, row);
    }
    return true;
}

void MeetingAttendeeList::updateAttendeesStatus(qint64 uid, int status)
{
    const auto it = d->m_video.constFind(uid);
    if (it == d->m_video.cend())
        return;
    MeetingAttendee e = *it;
    if (e.status != status) {
        const int row = searchAttendee(e);
        e.status = status;
        d->m_video.insert(uid, e);
        if (validRow(row)) {
            d->m_rows[row] = e;
            emit dataChanged(index(row), index(row), {});
        }
    }
    MeetingAttendeeUser *user = alive(e);
    if (!user || user->state() == status)
        return;
    user->setState(status);
    if (isActiveLike(status) || status == REJECTED || status == TIMEOUT || status == BUSY)
        sortAttendeeByState(uid, status, searchAttendee(e));
}

// ---- shares and queries ----

void MeetingAttendeeList::createShareAttendee(qint64 uid, const QString &shareId, AttendeeType type,
                                              bool allowDraw, int muteVideo)
{
    const auto it = d->m_video.constFind(uid);
    if (it == d->m_video.cend())
        return;
    MeetingAttendee record = *it;
    MeetingAttendeeUser *owner = alive(record);
    const bool listed = d->m_share.contains(shareKey(uid, type));
    // Ids name shares in closes and look-ups; a second tile with the same id would be unreachable.
    const bool idTaken = getShareByShareId(shareId);
    if (!owner || type == VIDEO || listed || idTaken) {
        qCWarning(lcMeeting) << "share of attendee" << uid << "refused: type" << type
                             << (listed ? "while another of its kind is listed" : "")
                             << (idTaken ? "with the id of a listed share" : "");
        return;
    }
    MeetingAttendeeUser *share = nullptr;
    if (type == WHITEBOARD) {
        auto *board = createLiveObject<MeetingAttendeeWhiteBoard>(uid);
        board->setAllowDraw(allowDraw);
        share = board;
    } else {
        share = createLiveObject<MeetingAttendeeUser>(uid);
    }
    connect(owner, &MeetingAttendeeUser::stateChanged, share, &MeetingAttendeeUser::setState);
    connect(owner, &MeetingAttendeeUser::networkScoreChanged, share,
            &MeetingAttendeeUser::setNetworkScore);
    share->setShareId(shareId);
    share->setType(type);
    share->setMute(muteVideo, 0, 1);
    share->setMute(owner->muteVoice(), 0, 0);
    share->setMute(0, 1, 1);
    share->setMute(0, 1, 0);
    share->setState(owner->state());
    share->setNetworkScore(owner->networkScore());
    share->setUserInfo(owner->sharedUserInfo());
    record.user = share;
    record.status = share->state();
    if (uid == d->m_userId)
        share->setMute(share->muteVideo(), 1, 1);
    appendAttendee(record);
    if (d->m_share.value(shareKey(uid, type)).user != share)
        delete share;
}

bool MeetingAttendeeList::updateShareAttendee(qint64 uid, AttendeeType type, bool allowDraw, int)
{
    const MeetingAttendee *share = type == VIDEO ? nullptr : entry(uid, type);
    if (!share)
        return false;
    if (auto *board = qobject_cast<MeetingAttendeeWhiteBoard *>(alive(*share)))
        board->setAllowDraw(allowDraw);
    return true;
}

QObject *MeetingAttendeeList::getShareByShareId(const QString &shareId) const
{
    for (const auto &entry : d->m_share.entries()) {
        MeetingAttendeeUser *user = alive(entry.attendee);
        if (user && user->shareId() == shareId)
            return user;
    }
    return nullptr;
}

// Shares are taken in display order, a screen share before a whiteboard, so the answer
// does not depend on the hash order of the share table.
int MeetingAttendeeList::getFirstAttendeeIndex(AttendeeType type) const
{
    int firstShare = -1;
    for (int i = 0; i < count(); ++i) {
        const MeetingAttendee &row = d->m_rows.at(i);
        MeetingAttendeeUser *user = alive(row);
        if (type == VIDEO) {
            if (user && user->muteVideo() == 0)
                return i;
            continue;
        }
        const int rowType = typeOf(row);
        const MeetingAttendee *share = rowType == VIDEO ? nullptr : entry(row.userId, rowType);
        if (!share || *share != row)
            continue;
        if (user && user->type() == SHARESCREEN)
            return i;
        if (firstShare < 0)
            firstShare = i;
    }
    return firstShare;
}

QList<MeetingAttendee> MeetingAttendeeList::search(const QString &text) const
{
    if (text.isEmpty())
        return d->m_rows;
    QList<MeetingAttendee> out;
    for (const MeetingAttendee &row : std::as_const(d->m_rows)) {
        const MeetingAttendeeUser *user = alive(row);
        const QSharedPointer<ContactBase> contact = user ? user->sharedUserInfo() : nullptr;
        if (contact && (contact->name().contains(text, Qt::CaseInsensitive) ||
                        contact->secondName().contains(text, Qt::CaseInsensitive)))
            out.append(row);
    }
    return out;
}

int MeetingAttendeeList::getSpeakerCount() const
{
    int speakers = 0;
    for (const MeetingAttendee &row : std::as_const(d->m_rows)) {
        const MeetingAttendeeUser *user = alive(row);
        if (!user || user->participationStatus() != SPEAKER)
            break;
        ++speakers;
    }
    return speakers;
}

int MeetingAttendeeList::getRaiseHandCount(int speakerCount) const
{
    if (!validRow(speakerCount))
        return 0;
    int hands = 0;
    for (int i = speakerCount; i < count(); ++i) {
        const MeetingAttendeeUser *user = alive(d->m_rows.at(i));
        if (!user)
            continue;
        if (user->participationStatus() == LISTENER)
            break;
        if (user->participationStatus() == RAISE_HAND)
            ++hands;
    }
    return hands;
}

bool MeetingAttendeeList::speakersFull(int maxSpeakerCount) const
{
    if (d->m_video.size() < maxSpeakerCount)
        return false;
    int speakers = 0;
    for (const MeetingAttendee &a : std::as_const(d->m_video)) {
        const MeetingAttendeeUser *user = alive(a);
        if (user && user->participationStatus() == SPEAKER && ++speakers >= maxSpeakerCount)
            return true;
    }
    return false;
}

void MeetingAttendeeList::setVideoSink(bool all, qint64 uid)
{
    const auto stop = [this](const MeetingAttendee &a) {
        if (MeetingAttendeeUser *user = alive(a))
            user->stopVideoSink();
    };
    if (all) {
        for (const MeetingAttendee &row : std::as_const(d->m_rows)) {
            if (row.userId != d->m_userId)
                stop(row);
        }
        return;
    }
    for (const AttendeeType type : {VIDEO, WHITEBOARD, SHARESCREEN}) {
        if (const MeetingAttendee *found = entry(uid, type))
            stop(*found);
    }
}
