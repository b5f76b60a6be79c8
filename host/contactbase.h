#pragma once
#include "host_global.h"
#include <QObject>
#include <QVariantMap>

// A contact record: a person as the contacts library knows them.
class IMHOST_EXPORT ContactBase : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qint64 uid READ uid CONSTANT)
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    Q_PROPERTY(QString secondName READ secondName NOTIFY secondNameChanged)
public:
    explicit ContactBase(qint64 uid = 0, const QString &name = {}, const QString &secondName = {},
                         QObject *parent = nullptr);
    qint64 uid() const { return m_uid; }
    QString name() const { return m_name; }
    QString secondName() const { return m_secondName; }
    void setName(const QString &name);
    void setSecondName(const QString &secondName);

signals:
    void nameChanged();
    void secondNameChanged();

private:
    qint64 m_uid;
    QString m_name;
    QString m_secondName;
};

// A contact of the account's address book.
class IMHOST_EXPORT ContactItem : public ContactBase
{
    Q_OBJECT
public:
    using ContactBase::ContactBase;
    QVariantMap userStatus() const { return m_userStatus; }
    void setUserStatus(const QVariantMap &status) { m_userStatus = status; }

private:
    QVariantMap m_userStatus;
};

// A member of a group conversation.
class IMHOST_EXPORT GroupMemItem : public ContactBase
{
    Q_OBJECT
public:
    using ContactBase::ContactBase;
};
