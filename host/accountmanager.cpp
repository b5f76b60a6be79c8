#include "accountmanager.h"

AccountManager *AccountManager::getInstance()
{
    static AccountManager manager;
    return &manager;
}

void AccountManager::record(const QString &name, const QVariantList &args)
{
    m_calls.append({name, args});
    emit called(name, args);
}

QList<AccountManager::Call> AccountManager::calls(const QString &name) const
{
    QList<Call> out;
    for (const Call &c : m_calls) {
        if (c.name == name)
            out.append(c);
    }
    return out;
}

void AccountManager::reset()
{
    m_calls.clear();
    m_meetingModel = nullptr;
    m_joining = false;
    m_joiningId.clear();
}

void AccountManager::setMeetingModel(MeetingModelBase *model)
{
    m_meetingModel = model;
    record(QStringLiteral("setMeetingModel"), {ptr(model)});
}

void AccountManager::createMeetingFinished(int code, MeetingModelBase *model,
                                           const QString &dialogId, const QString &name)
{
    record(QStringLiteral("createMeetingFinished"), {code, ptr(model), dialogId, name});
}

void AccountManager::joinMeetingFinished(bool ok, MeetingModelBase *model,
                                         const QString &meetingId)
{
    record(QStringLiteral("joinMeetingFinished"), {ok, ptr(model), meetingId});
}

void AccountManager::receiveMeetingInvite(MeetingModelBase *model)
{
    record(QStringLiteral("receiveMeetingInvite"), {ptr(model)});
}

void AccountManager::meetingBeFinished(qint64 accountId, const QString &meetingId)
{
    record(QStringLiteral("meetingBeFinished"), {accountId, meetingId});
}

void AccountManager::meetingWillBeDeleted(MeetingModelBase *model)
{
    if (m_meetingModel == model)
        m_meetingModel = nullptr;
    record(QStringLiteral("meetingWillBeDeleted"), {ptr(model)});
}

void AccountManager::setJoiningMeeting(bool joining)
{
    m_joining = joining;
    record(QStringLiteral("setJoiningMeeting"), {joining});
}

void AccountManager::setJoiningMeetingId(const QString &meetingId)
{
    m_joiningId = meetingId;
    record(QStringLiteral("setJoiningMeetingId"), {meetingId});
}

void AccountManager::getJoinMeetingLinkFinished(MeetingLinkItem *item, int code)
{
    record(QStringLiteral("getJoinMeetingLinkFinished"), {ptr(item), code});
}

void AccountManager::error(int code, const QString &text, int commandId)
{
    record(QStringLiteral("error"), {code, text, commandId});
}
