#pragma once
#include "groupmodel.h"
#include <QObject>
#include <QSharedPointer>

// A conversation.
class IMHOST_EXPORT DialogBase : public QObject
{
    Q_OBJECT
public:
    DialogBase(const QString &dialogId, bool isGroup, qint64 ownUserId, QObject *parent = nullptr);
    QString dialogId() const { return m_dialogId; }
    bool isGroup() const { return m_isGroup; }
    // "Me" in this conversation.
    qint64 ownUserId() const { return m_ownUserId; }
    QSharedPointer<GroupModel> groupModel() const { return m_group; }

private:
    QString m_dialogId;
    bool m_isGroup;
    qint64 m_ownUserId;
    QSharedPointer<GroupModel> m_group;
};
