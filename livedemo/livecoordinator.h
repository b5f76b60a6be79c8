#pragma once
#include <QJsonObject>
#include <QList>
#include <QString>

// Runs the live demo: a private Janus with one room, one client process per user in it, then a
// summary line per client and a chart of every stream's delay.
class LiveCoordinator
{
public:
    struct Options
    {
        int clients = 3;
        int seconds = 10;
        QString outDir;
        QString clientProgram;
    };

    explicit LiveCoordinator(Options options) : m_options(std::move(options)) {}

    // 0 when every client ran and reported, 1 on a failure, 77 when this machine cannot run a
    // call (no Janus or GStreamer elements).
    int run();

private:
    QList<qint64> users() const;
    bool runClients(const QString &janusUrl, quint64 room, const QString &secret);
    int report() const;
    static QString summaryLine(const QJsonObject &client);

    Options m_options;
    qint64 m_startMs = 0;
};
