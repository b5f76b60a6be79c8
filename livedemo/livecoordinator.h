#pragma once
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>

class QProcess;

// Runs the live demo: a private Janus, a meeting server that makes its rooms there, one client
// process per user in one meeting, then a summary line per client and a chart of every stream's
// delay.
class LiveCoordinator
{
public:
    struct Options
    {
        int clients = 3;
        int seconds = 10;
        QString outDir;
        QString clientProgram;
        QString serverProgram;
    };

    explicit LiveCoordinator(Options options) : m_options(std::move(options)) {}

    // 0 when every client ran and reported, 1 on a failure, 77 when this machine cannot run a
    // call (no Janus or GStreamer elements).
    int run();

private:
    QList<qint64> users() const;
    bool writeServerConfig(const QString &path, QHash<qint64, QByteArray> *tokens) const;
    bool startServer(QProcess &server, const QString &dir, const QUrl &janus, QUrl *url);
    bool runClients(const QUrl &server, const QHash<qint64, QByteArray> &tokens);
    int report() const;
    static QString summaryLine(const QJsonObject &client);

    Options m_options;
    qint64 m_startMs = 0;
    QString m_certificate; // the server's media certificate, the one the clients trust
};
