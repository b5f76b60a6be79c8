#pragma once
#include "wire.pb.h"
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <functional>

// Record pushes of a busy meeting, merged. Every push of a record is the whole record to the
// whole audience, so a meeting where people join one after another would send each member
// one full record per join. The first change of a quiet meeting still goes out at once;
// changes within the next window are merged into one push of the newest record to everyone
// they concern, sent when the window closes. Pushes without a key pass unmerged.
class PushBatcher : public QObject
{
    Q_OBJECT
public:
    using Send = std::function<void(const QList<qint64> &recipients, im::wire::PushKind kind,
                                    const QByteArray &payload)>;

    PushBatcher(int windowMs, Send send, QObject *parent = nullptr);

    // An update of the meeting named by `key` waits for its window; a finish sends what
    // waits first and closes the window.
    void push(const QString &key, const QList<qint64> &recipients, im::wire::PushKind kind,
              const QByteArray &payload);

private:
    struct Window
    {
        QList<qint64> recipients;
        QSet<qint64> known;
        QByteArray payload;
    };
    void open(const QString &key);
    void close(const QString &key);
    void flush(Window &w);

    int m_windowMs;
    Send m_send;
    QHash<QString, Window> m_windows;
};
