#include "groupmodel.h"

QSharedPointer<GroupMemItem> GroupMemberModel::getMemberByUid(qint64 uid, bool fetch, bool,
                                                              const QString &) const
{
    if (auto member = m_loaded.value(uid))
        return member;
    return fetch ? m_roster.value(uid) : QSharedPointer<GroupMemItem>();
}

QSharedPointer<GroupMemItem> GroupMemberModel::addMember(qint64 uid, const QString &name,
                                                         bool loaded)
{
    auto member = QSharedPointer<GroupMemItem>::create(uid, name);
    (loaded ? m_loaded : m_roster).insert(uid, member);
    return member;
}
