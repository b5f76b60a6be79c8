#include "meetinglist.h"
#include "accountbase.h"
#include "accountmanager.h"
#include "im.pb.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetinglinkitem.h"
#include "meetinglinklist.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include <QJSEngine>
#include <QPointer>
#include <algorithm>

namespace {

bool ownStatusBusy(const AccountBase *account)
{
    const QSharedPointer<ContactItem> self = account->selfContact();
    if (!self)
        return false;
    const QVariantMap status = self->userStatus();
    const auto busy = status.constFind(QStringLiteral("busy"));
    return busy != status.constEnd() && busy->toBool();
}

} // namespace

struct MeetingListPrivate
{
    QHash<int, QByteArray> m_roleNames;
    QList<MeetingModel *> m_rows;
    QHash<QString, MeetingModel *> m_models;
    QString m_dialogId;
    AccountBase *m_account = nullptr;
};

MeetingList::MeetingList(const QString &dialogId, AccountBase *account)
    : QAbstractListModel(account), d(std::make_unique<MeetingListPrivate>())
{
    d->m_dialogId = dialogId;
    d->m_account = account;
    d->m_roleNames.insert(USER_ROLE, QByteArrayLiteral("meeting"));
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

MeetingList::MeetingList(AccountBase *account) : MeetingList(QString(), account) {}

MeetingList::~MeetingList()
{
    emit startDestroy();
    reset();
}

QString MeetingList::dialogId() const
{
    return d->m_dialogId;
}

AccountBase *MeetingList::account() const
{
    return d->m_account;
}

int MeetingList::count() const
{
    return int(d->m_rows.size());
}

QVariant MeetingList::data(const QModelIndex &index, int role) const
{
    if (index.row() < 0 || index.column() < 0 || index.row() >= d->m_rows.size() ||
        role != USER_ROLE)
        return {};
    return QVariant::fromValue(d->m_rows.at(index.row()));
}

// A list has no children; the item model contract wants 0 below a valid parent.
int MeetingList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QHash<int, QByteArray> MeetingList::roleNames() const
{
    return d->m_roleNames;
}

MeetingModel *MeetingList::getMeetingModel(const QString &key) const
{
    return d->m_models.value(key);
}

void MeetingList::createMeeting(qint64 targetId)
{
    MeetingInfo info;
    info.dialogId = d->m_dialogId;
    auto *model = new MeetingModel(info, d->m_account, this);
    // No meeting id yet: the server's first record for this dialog re-keys it.
    insertModel(model, d->m_dialogId, false);
    model->constructsData(targetId);
    AccountManager::getInstance()->setMeetingModel(model);
}

void MeetingList::setMeetings(QHash<QString, MeetingInfo> meetings)
{
    // Records may add rows at the top while we walk, so walk a snapshot.
    const QList<QPointer<MeetingModel>> shown(d->m_rows.cbegin(), d->m_rows.cend());
    for (const QPointer<MeetingModel> &model : shown) {
        if (!model)
            continue;
        const QString key = model->meetingId().isEmpty() ? model->dialogId() : model->meetingId();
        if (!meetings.contains(key)) {
            removeModel(model);
            continue;
        }
        updateMeeting(meetings.take(key), UPDATE_MEETING, false);
    }
    for (const MeetingInfo &info : std::as_const(meetings))
        updateMeeting(info, UPDATE_MEETING, false);
}

void MeetingList::updateMeeting(const MeetingInfo &info, UpdateFrom from, bool wasInviting)
{
    if (info.attendees.isEmpty())
        return;
    if (info.meetingId.isEmpty()) {
        qCWarning(lcMeeting) << "meeting record without a meeting id";
        return;
    }
    MeetingModel *model = findModel(info.meetingId, info.dialogId);
    const bool stale = model && model->meetingInfo().version > info.version && from != NEW_MEETING;
    if (stale && from != JOIN_MEETING)
        return;
    if (model) {
        // A join answer overtaken by a newer push still ends the join; only its record is old.
        if (!stale && !model->webSocketConnected())
            model->setMeeting(info);
    } else if (d->m_models.size() >= kMaxMeetings) {
        qCWarning(lcMeeting) << "meeting record refused: the conversation lists" << kMaxMeetings
                             << "meetings already";
        if (from == JOIN_MEETING)
            AccountManager::getInstance()->joinMeetingFinished(false, nullptr, info.meetingId);
        return;
    } else {
        model = new MeetingModel(info, d->m_account, this);
        insertModel(model, info.meetingId, true);
    }

    switch (from) {
    case CREATE_MEETING:
        model->setState(MeetingDefines::CREATED);
        AccountManager::getInstance()->createMeetingFinished(0, model, model->dialogId(),
                                                             model->meetingName());
        break;
    case JOIN_MEETING:
        finishJoin(model, stale ? nullptr : &info);
        break;
    case UPDATE_MEETING:
    case NEW_MEETING:
        if (!wasInviting && invitationDue(model)) {
            model->getJoinMediaUrl();
            AccountManager::getInstance()->receiveMeetingInvite(model);
        }
        break;
    }
}

void MeetingList::updateMeeting(const im::Meeting &meeting, const QString &mediaServerUrl,
                                bool join)
{
    if (!join) {
        if (MeetingModel *model = d->m_models.value(QString::fromStdString(meeting.id())))
            model->setMeeting(meeting, mediaServerUrl, false);
        return;
    }
    if (meeting.attendees_size() == 0)
        return;
    MeetingInfo info = MeetingInfo::fromMeeting(meeting);
    info.mediaServerUrl = mediaServerUrl;
    bool wasInviting = false;
    if (MeetingModel *model = findModel(info.meetingId, info.dialogId)) {
        MeetingAttendee own;
        wasInviting = ownEntry(model, own) && own.status == MeetingDefines::INVITING;
        model->setMeeting(meeting, mediaServerUrl, true);
        model->setSpeakerCapacity(info.speakerCapacity);
    }
    updateMeeting(info, mediaServerUrl.isEmpty() ? UPDATE_MEETING : JOIN_MEETING, wasInviting);
}

void MeetingList::reset()
{
    const QList<MeetingModel *> models = d->m_rows;
    if (!d->m_rows.isEmpty()) {
        beginResetModel();
        d->m_rows.clear();
        emit countChanged(0);
        endResetModel();
    }
    // Forget before deleting: a model's destructor reaches the host, which may call back here.
    d->m_models.clear();
    qDeleteAll(models);
}

bool MeetingList::messageBeRevoked(qint64 msgId)
{
    const auto it = std::find_if(d->m_rows.cbegin(), d->m_rows.cend(),
                                 [msgId](MeetingModel *m) { return m->messageId() == msgId; });
    if (it == d->m_rows.cend())
        return false;
    QPointer<MeetingModel> model = *it;
    forgetModel(model);
    AccountManager::getInstance()->meetingBeFinished(d->m_account ? d->m_account->accountId() : 0,
                                                     model->meetingId());
    if (model)
        removeModel(model);
    return true;
}

qint64 MeetingList::ownId() const
{
    if (!d->m_account)
        return 0;
    if (const QSharedPointer<DialogBase> dialog = d->m_account->dialog(d->m_dialogId, false))
        return dialog->ownUserId();
    return d->m_account->accountId();
}

MeetingModel *MeetingList::findModel(const QString &meetingId, const QString &dialogId)
{
    if (MeetingModel *model = d->m_models.value(meetingId))
        return model;
    MeetingModel *pending = d->m_models.take(dialogId);
    if (pending)
        d->m_models.insert(meetingId, pending);
    return pending;
}

void MeetingList::insertModel(MeetingModel *model, const QString &key, bool offerToLink)
{
    d->m_models.insert(key, model);
    beginInsertRows({}, 0, 0);
    d->m_rows.prepend(model);
    MeetingManager *manager = d->m_account ? d->m_account->meetingManager() : nullptr;
    if (offerToLink && manager) {
        if (MeetingLinkItem *link = manager->meetingLinkList()->getMeetingLinkItem(d->m_dialogId)) {
            link->setMeetingModel(model);
            link->setName(model->meetingName());
        }
    }
    emit countChanged(count());
    endInsertRows();
}

void MeetingList::removeModel(MeetingModel *model)
{
    forgetModel(model);
    const int row = int(d->m_rows.indexOf(model));
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    d->m_rows.removeAt(row);
    emit countChanged(count());
    endRemoveRows();
    delete model;
}

// Keys are meeting ids, or the dialog id of a meeting created here; drop whichever it has.
void MeetingList::forgetModel(MeetingModel *model)
{
    d->m_models.removeIf([model](const auto &it) { return it.value() == model; });
}

bool MeetingList::ownEntry(MeetingModel *model, MeetingAttendee &out) const
{
    return model->attendeeList()->getAttendee(ownId(), MeetingDefines::VIDEO, out);
}

// The nonce is the model's: the server's messages never carry one, the host's records do.
bool MeetingList::invitationDue(MeetingModel *model) const
{
    MeetingAttendee own;
    if (!d->m_account || !ownEntry(model, own) || own.status != MeetingDefines::INVITING)
        return false;
    if (model->nonce().isEmpty())
        return false;
    if (d->m_account->deviceModel()->currentDevice().value(QStringLiteral("permissions")).toInt() !=
        0)
        return false;
    if (ownStatusBusy(d->m_account))
        return false;
    return own.deviceId == 0 || own.deviceId == d->m_account->deviceId();
}

void MeetingList::finishJoin(MeetingModel *model, const MeetingInfo *fresh)
{
    AccountManager *accounts = AccountManager::getInstance();
    if (model->state() != MeetingDefines::CONNECTED) {
        model->setState(MeetingDefines::CREATED);
        accounts->joinMeetingFinished(true, model, model->meetingId());
        return;
    }
    // Already in the call on another path: take the record and start the media at once.
    if (fresh)
        model->setMeeting(*fresh);
    accounts->setJoiningMeeting(false);
    model->attendeeList()->setVideoSink(true, -1);
    auto *own = qobject_cast<MeetingAttendeeUser *>(
        model->attendeeList()->getAttendeeInfoByUid(ownId(), MeetingDefines::VIDEO));
    if (own)
        model->createCall(own->muteVideo() != 0, own->muteVoice() != 0,
                          own->role() == QLatin1String("speaker"));
}
