#pragma once
#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QSet>

class Cast;
class MeetingAttendeeList;
class MeetingAttendeeUser;
class MeetingLinkList;
class MeetingList;
class MeetingManager;
class MeetingModel;

// A readable account of what the module's models did, written from their signals: meetings
// appearing, state changes, attendees joining, speaking, muting, raising hands, shares. Printed
// as it happens when echo is on, and listed for the UI. Never shows keys, nonces, passwords,
// tokens or media server addresses.
class Timeline : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum Role { TimeRole = Qt::UserRole + 1, SourceRole, TextRole };

    Timeline(const Cast &cast, QObject *parent = nullptr);

    void setEcho(bool echo) { m_echo = echo; }
    void watch(MeetingManager *manager);
    void add(const QString &source, const QString &text);
    QStringList lines() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return int(m_entries.size()); }

signals:
    void countChanged();

private:
    struct Entry
    {
        qint64 ms;
        QString source;
        QString text;
    };
    void watchList(MeetingList *list);
    void watchModel(MeetingModel *model);
    void watchAttendees(MeetingModel *model, MeetingAttendeeList *list, bool pending);
    void watchUser(MeetingModel *model, MeetingAttendeeUser *user);
    void watchLinks(MeetingLinkList *links);
    void onAccountCall(const QString &name, const QVariantList &args);
    QString who(MeetingAttendeeUser *user) const;
    static QString label(MeetingModel *model);

    const Cast &m_cast;
    QElapsedTimer m_clock;
    QList<Entry> m_entries;
    QSet<const QObject *> m_watched;
    bool m_echo = false;
};
