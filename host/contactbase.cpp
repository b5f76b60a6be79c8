#include "contactbase.h"

ContactBase::ContactBase(qint64 uid, const QString &name, const QString &secondName,
                         QObject *parent)
    : QObject(parent), m_uid(uid), m_name(name), m_secondName(secondName)
{
}

void ContactBase::setName(const QString &name)
{
    if (m_name == name)
        return;
    m_name = name;
    emit nameChanged();
}

void ContactBase::setSecondName(const QString &secondName)
{
    if (m_secondName == secondName)
        return;
    m_secondName = secondName;
    emit secondNameChanged();
}
