#include "usermanager.h"

QSharedPointer<ContactItem> UserManager::getUserPointer(qint64 uid, bool, const QString &,
                                                        bool) const
{
    return m_contacts.value(uid);
}

QSharedPointer<ContactItem> UserManager::addContact(qint64 uid, const QString &name,
                                                    const QString &secondName)
{
    auto contact = QSharedPointer<ContactItem>::create(uid, name, secondName);
    m_contacts.insert(uid, contact);
    return contact;
}
