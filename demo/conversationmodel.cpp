#include "conversationmodel.h"
#include "cast.h"
#include "meetinglist.h"
#include "meetingmanager.h"
#include <QTimer>

ConversationModel::ConversationModel(const Cast &cast, MeetingManager *manager, QObject *parent)
    : QAbstractListModel(parent), m_manager(manager)
{
    for (const Conversation &c : cast.conversations()) {
        QStringList names;
        for (qint64 uid : c.members)
            names.append(cast.name(uid).section(QLatin1Char(' '), 0, 0));
        m_rows.append({c.dialogId, c.title, c.isGroup,
                       c.isGroup ? names.join(QStringLiteral(", ")) : QStringLiteral("Direct"),
                       nullptr});
    }
    connect(manager, &MeetingManager::meetingListChanged, this, &ConversationModel::onListChanged);
    // The host takes the lists of the conversations it shows.
    for (const Row &row : std::as_const(m_rows))
        manager->meetingList(row.dialogId, true);
}

int ConversationModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ConversationModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case DialogIdRole:
        return row.dialogId;
    case TitleRole:
        return row.title;
    case IsGroupRole:
        return row.isGroup;
    case SubtitleRole:
        return row.subtitle;
    case MeetingsRole:
        return QVariant::fromValue(row.meetings.data());
    default:
        return {};
    }
}

QHash<int, QByteArray> ConversationModel::roleNames() const
{
    return {{DialogIdRole, "dialogId"},
            {TitleRole, "title"},
            {IsGroupRole, "isGroup"},
            {SubtitleRole, "subtitle"},
            {MeetingsRole, "meetings"}};
}

QString ConversationModel::title(const QString &dialogId) const
{
    const int row = rowOf(dialogId);
    return row < 0 ? dialogId : m_rows.at(row).title;
}

void ConversationModel::add(const QString &dialogId, const QString &title)
{
    if (rowOf(dialogId) >= 0)
        return;
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append({dialogId, title, true, QStringLiteral("Through a meeting link"),
                   m_manager->meetingList(dialogId, false)});
    endInsertRows();
    emit countChanged();
}

void ConversationModel::onListChanged(const QString &dialogId, MeetingList *list)
{
    const int row = rowOf(dialogId);
    if (row < 0)
        return;
    m_rows[row].meetings = list;
    emit dataChanged(index(row), index(row), {MeetingsRole});
    if (!list) {
        // A conversation always has a list to show, even when its last meeting has gone.
        QTimer::singleShot(0, this, [this, dialogId] {
            if (!m_manager->meetingList(dialogId, false))
                m_manager->meetingList(dialogId, true);
        });
    }
}

int ConversationModel::rowOf(const QString &dialogId) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).dialogId == dialogId)
            return i;
    }
    return -1;
}
