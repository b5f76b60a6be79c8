#pragma once
#include <QAbstractListModel>
#include <QPointer>

class Cast;
class MeetingList;
class MeetingManager;

// The conversations the client shows, each with the meeting list the manager keeps for it.
class ConversationModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum Role {
        DialogIdRole = Qt::UserRole + 1,
        TitleRole,
        IsGroupRole,
        SubtitleRole,
        MeetingsRole
    };

    ConversationModel(const Cast &cast, MeetingManager *manager, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return int(m_rows.size()); }

    Q_INVOKABLE QString title(const QString &dialogId) const;
    // A conversation the account learns about later, such as the one behind a meeting link.
    void add(const QString &dialogId, const QString &title);

signals:
    void countChanged();

private:
    struct Row
    {
        QString dialogId;
        QString title;
        bool isGroup = true;
        QString subtitle;
        QPointer<MeetingList> meetings;
    };
    void onListChanged(const QString &dialogId, MeetingList *list);
    int rowOf(const QString &dialogId) const;

    MeetingManager *m_manager;
    QList<Row> m_rows;
};
