#pragma once
#include "contactbase.h"
#include <QHash>
#include <QSharedPointer>

class IMHOST_EXPORT GroupMemberModel
{
public:
    // `fetch` false answers from the loaded members only; true also from the server's roster.
    QSharedPointer<GroupMemItem> getMemberByUid(qint64 uid, bool fetch, bool create,
                                                const QString &hint) const;
    QSharedPointer<GroupMemItem> addMember(qint64 uid, const QString &name, bool loaded = true);

private:
    QHash<qint64, QSharedPointer<GroupMemItem>> m_loaded;
    QHash<qint64, QSharedPointer<GroupMemItem>> m_roster;
};

class IMHOST_EXPORT GroupModel
{
public:
    GroupMemberModel *getMemberModel() { return &m_members; }

private:
    GroupMemberModel m_members;
};
