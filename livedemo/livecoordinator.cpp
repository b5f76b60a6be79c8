#include "livecoordinator.h"
#include "callparticipant.h"
#include "framestats.h"
#include "janusprocess.h"
#include "latencychart.h"
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

using meetingjanus::CallParticipant;
using meetingjanus::JanusProcess;

namespace {
// TERM, then KILL; a process we started, by its own PID.
void stopByPid(QProcess &p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

QByteArray freshToken()
{
    QByteArray raw(24, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(raw.data()), 6);
    return raw.toHex();
}

const QString kDialog = QStringLiteral("live-room");
constexpr qint64 kFirstUid = 101;
constexpr int kServerStartMs = 20000;
constexpr int kStartUpAllowanceMs = 120000; // Janus, QML and the first key frames, when loaded

QJsonObject readJson(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}
} // namespace

int LiveCoordinator::run()
{
    QString why = JanusProcess::missingReason();
    if (why.isEmpty())
        why = CallParticipant::missingElements();
    if (!why.isEmpty()) {
        std::fprintf(stderr, "live demo: no call possible here: %s\n", qPrintable(why));
        return 77;
    }
    QDir().mkpath(m_options.outDir);
    JanusProcess janus;
    QString error;
    if (!janus.start(&error)) {
        std::fprintf(stderr, "live demo: %s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir serverDir;
    QHash<qint64, QByteArray> tokens;
    const QString config = serverDir.filePath(QStringLiteral("config.json"));
    QProcess server;
    QUrl serverUrl;
    bool ran = false;
    if (!serverDir.isValid() || !writeServerConfig(config, &tokens))
        std::fprintf(stderr, "live demo: cannot write the server's config\n");
    else if (startServer(server, serverDir.path(), janus.url(), &serverUrl))
        ran = runClients(serverUrl, tokens);
    stopByPid(server);
    janus.stop();
    const int status = report();
    return ran ? status : 1;
}

QList<qint64> LiveCoordinator::users() const
{
    QList<qint64> uids;
    for (int i = 0; i < m_options.clients; ++i)
        uids.append(kFirstUid + i);
    return uids;
}

// One account per client, each with a fresh secret, and one conversation of them all.
bool LiveCoordinator::writeServerConfig(const QString &path,
                                        QHash<qint64, QByteArray> *tokens) const
{
    QJsonArray accounts;
    QJsonArray members;
    for (qint64 uid : users()) {
        tokens->insert(uid, freshToken());
        accounts.append(
            QJsonObject{{QStringLiteral("id"), double(uid)},
                        {QStringLiteral("token"), QString::fromLatin1(tokens->value(uid))}});
        members.append(double(uid));
    }
    const QJsonObject conversation{{QStringLiteral("id"), kDialog},
                                   {QStringLiteral("group"), true},
                                   {QStringLiteral("members"), members}};
    const QJsonObject root{{QStringLiteral("accounts"), accounts},
                           {QStringLiteral("conversations"), QJsonArray{conversation}}};
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
           file.write(QJsonDocument(root).toJson()) > 0;
}

// The server on free loopback ports with a database of its own, ready once it says so.
bool LiveCoordinator::startServer(QProcess &server, const QString &dir, const QUrl &janus,
                                  QUrl *url)
{
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(m_options.serverProgram,
                 {QStringLiteral("--db"), dir + QStringLiteral("/server.db"),
                  QStringLiteral("--config"), dir + QStringLiteral("/config.json"),
                  QStringLiteral("--cert-dir"), dir, QStringLiteral("--listen"),
                  QStringLiteral("127.0.0.1"), QStringLiteral("--janus"), janus.toString()});
    QDeadlineTimer deadline(kServerStartMs);
    while (!deadline.hasExpired() && server.state() != QProcess::NotRunning) {
        while (server.canReadLine()) {
            const QByteArray line = server.readLine().trimmed();
            if (line.startsWith("certificate "))
                m_certificate = QString::fromLocal8Bit(line.mid(12));
            if (line.startsWith("listening ")) {
                *url = QUrl(
                    QStringLiteral("ws://127.0.0.1:%1/im").arg(QString::fromLatin1(line.mid(10))));
                return true;
            }
        }
        server.waitForReadyRead(int(std::min<qint64>(200, deadline.remainingTime() + 1)));
    }
    std::fprintf(stderr, "live demo: the meeting server did not start\n");
    return false;
}

bool LiveCoordinator::runClients(const QUrl &server, const QHash<qint64, QByteArray> &tokens)
{
    const QList<qint64> uids = users();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("MEETING_RTC_AUDIO_SINK")))
        env.insert(QStringLiteral("MEETING_RTC_AUDIO_SINK"),
                   QStringLiteral("fakesink sync=false async=false"));
    env.insert(QStringLiteral("MEETING_RTC_SCREEN"), QStringLiteral("synthetic"));
    env.insert(QStringLiteral("MEETING_CLIENT_CA"), m_certificate);

    m_startMs = QDateTime::currentMSecsSinceEpoch();
    std::vector<std::unique_ptr<QProcess>> clients;
    for (qint64 uid : uids) {
        auto p = std::make_unique<QProcess>();
        // The secret travels in the environment, out of sight of other users' process lists.
        QProcessEnvironment own = env;
        own.insert(QStringLiteral("MEETING_CLIENT_TOKEN"), QString::fromLatin1(tokens.value(uid)));
        p->setProcessEnvironment(own);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->setStandardOutputFile(
            QDir(m_options.outDir).filePath(QStringLiteral("client-%1.log").arg(uid)));
        QStringList args{QStringLiteral("--client"),  QString::number(uid),
                         QStringLiteral("--server"),  server.toString(),
                         QStringLiteral("--dialog"),  kDialog,
                         QStringLiteral("--seconds"), QString::number(m_options.seconds),
                         QStringLiteral("--out"),     m_options.outDir};
        if (uid == uids.first())
            args.append(QStringLiteral("--host"));
        // Every other window then shows a mute relayed by the server.
        if (uid == uids.last())
            args.append(QStringLiteral("--mute-halfway"));
        p->start(m_options.clientProgram, args);
        clients.push_back(std::move(p));
    }
    bool ok = true;
    QDeadlineTimer deadline(m_options.seconds * 1000 + kStartUpAllowanceMs);
    for (size_t i = 0; i < clients.size(); ++i) {
        QProcess *p = clients[i].get();
        const bool finished =
            p->waitForFinished(int(std::max<qint64>(1, deadline.remainingTime())));
        if (!finished || p->exitStatus() != QProcess::NormalExit || p->exitCode() != 0) {
            std::fprintf(stderr, "live demo: client %lld %s (see its log)\n", uids.at(qsizetype(i)),
                         finished ? "failed" : "did not finish in time");
            ok = false;
        }
        if (!finished) {
            p->kill();
            p->waitForFinished(3000);
        }
    }
    return ok;
}

int LiveCoordinator::report() const
{
    QList<latencychart::Line> lines;
    int status = 0;
    for (qint64 uid : users()) {
        const QJsonObject client =
            readJson(QDir(m_options.outDir).filePath(QStringLiteral("client-%1.json").arg(uid)));
        if (client.isEmpty()) {
            std::printf("client %lld: no summary\n", uid);
            status = 1;
            continue;
        }
        std::printf("%s\n", qPrintable(summaryLine(client)));
        for (const QJsonValue &s : client.value(QStringLiteral("streams")).toArray()) {
            const QJsonObject stream = s.toObject();
            latencychart::Line line{
                QStringLiteral("%1 to %2")
                    .arg(qint64(stream.value(QStringLiteral("sender")).toDouble()))
                    .arg(uid),
                {}};
            for (const QJsonValue &v : stream.value(QStringLiteral("samples")).toArray()) {
                const QJsonArray sample = v.toArray();
                line.points.append({(sample.at(0).toDouble() - double(m_startMs)) / 1000.0,
                                    sample.at(1).toDouble()});
            }
            lines.append(line);
        }
    }
    const QString chart = QDir(m_options.outDir).filePath(QStringLiteral("latency.png"));
    if (!latencychart::save(lines, QStringLiteral("Capture-to-display latency per stream"),
                            chart)) {
        std::fprintf(stderr, "live demo: cannot write %s\n", qPrintable(chart));
        status = 1;
    }
    return status;
}

// "client 101: 102 at 14.9 fps level 76, ...; latency p50 .. p95 .. max .. ms"
QString LiveCoordinator::summaryLine(const QJsonObject &client)
{
    const QJsonObject levels = client.value(QStringLiteral("peakLevels")).toObject();
    QStringList parts;
    QList<int> all;
    for (const QJsonValue &s : client.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = s.toObject();
        const QJsonArray samples = stream.value(QStringLiteral("samples")).toArray();
        const QString sender =
            QString::number(qint64(stream.value(QStringLiteral("sender")).toDouble()));
        double span = 0;
        if (samples.size() > 1)
            span = (samples.last().toArray().at(0).toDouble() -
                    samples.first().toArray().at(0).toDouble()) /
                   1000.0;
        for (const QJsonValue &v : samples)
            all.append(v.toArray().at(1).toInt());
        parts.append(QStringLiteral("from %1 %2 frames at %3 fps, peak level %4")
                         .arg(sender)
                         .arg(stream.value(QStringLiteral("frames")).toInt())
                         .arg(span > 0 ? (samples.size() - 1) / span : 0.0, 0, 'f', 1)
                         .arg(levels.value(sender).toDouble(), 0, 'f', 0));
    }
    const FrameStats::Percentiles p = FrameStats::percentiles(all);
    return QStringLiteral("client %1: %2; latency p50 %3 ms, p95 %4 ms, max %5 ms")
        .arg(qint64(client.value(QStringLiteral("uid")).toDouble()))
        .arg(parts.isEmpty() ? QStringLiteral("no frames") : parts.join(QStringLiteral("; ")))
        .arg(p.p50)
        .arg(p.p95)
        .arg(p.max);
}
