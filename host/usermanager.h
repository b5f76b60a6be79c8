#pragma once
#include "contactbase.h"
#include <QHash>
#include <QSharedPointer>

// The account's in-memory contact store.
class IMHOST_EXPORT UserManager
{
public:
    QSharedPointer<ContactItem> getUserPointer(qint64 uid, bool fetch, const QString &hint,
                                               bool create) const;
    QSharedPointer<ContactItem> addContact(qint64 uid, const QString &name,
                                           const QString &secondName = {});
    void removeContact(qint64 uid) { m_contacts.remove(uid); }
    void clear() { m_contacts.clear(); }

private:
    QHash<qint64, QSharedPointer<ContactItem>> m_contacts;
};
