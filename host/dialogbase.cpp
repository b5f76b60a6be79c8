#include "dialogbase.h"

DialogBase::DialogBase(const QString &dialogId, bool isGroup, qint64 ownUserId, QObject *parent)
    : QObject(parent), m_dialogId(dialogId), m_isGroup(isGroup), m_ownUserId(ownUserId),
      m_group(isGroup ? QSharedPointer<GroupModel>::create() : QSharedPointer<GroupModel>())
{
}
