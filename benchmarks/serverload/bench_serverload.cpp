// Load on the meeting server: N bots (one process, one event loop) sign in, join one meeting
// through the request and media channels, send paced audio mute changes and leave. For every
// (change, receiver) pair it measures the time from the sender's send to the receiver's
// arrival, and reads the server's peak memory. Growth is printed against the smallest size.
#include "../procstat.h"
#include "loadbot.h"
#include "serverrun.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslCertificate>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr qint64 kFirstUid = 100001;
const QString kDialog = QStringLiteral("grp-load");

struct Settings
{
    QList<int> sizes;
    int rounds = 5;
    int senders = 20;
    int gapMs = 40;
    int timeoutMs = 120000;
};

struct Percentiles
{
    double p50 = 0, p99 = 0, max = 0; // ms
};

struct Result
{
    int bots = 0;
    Percentiles join, change;
    qsizetype samples = 0;
    double signInS = 0, joinS = 0, leaveS = 0;
    double serverCpuS = 0;
    // CPU time per change during the change rounds: the server's fan-out, the bots' reading.
    double serverMsPerChange = 0, botsMsPerChange = 0;
    double peakMiB = 0;
};

Percentiles percentiles(std::vector<qint64> ns)
{
    Percentiles p;
    if (ns.empty())
        return p;
    std::sort(ns.begin(), ns.end());
    const auto at = [&](double q) {
        return double(ns[size_t(q * double(ns.size() - 1))]) / 1e6;
    };
    p.p50 = at(0.5);
    p.p99 = at(0.99);
    p.max = at(1.0);
    return p;
}

// Runs the event loop until `done` holds or the time is up; says which.
bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QDeadlineTimer deadline(timeoutMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    // Only the driver waits for this; arrivals are stamped as their sockets are read.
    poll.start(10);
    if (!done())
        loop.exec();
    return done();
}

using Bots = std::vector<std::unique_ptr<LoadBot>>;

bool anyFailed(const Bots &bots)
{
    return std::any_of(bots.begin(), bots.end(),
                       [](const auto &b) { return b->stage() == LoadBot::Stage::Failed; });
}

// Starts `step` on every bot, at most `inFlight` at once, until each reached `reached`.
bool inWaves(const Bots &bots, int inFlight, const std::function<void(LoadBot &)> &step,
             LoadBot::Stage reached, int timeoutMs)
{
    size_t next = 0;
    const auto busy = [&] {
        return std::count_if(bots.begin(), bots.begin() + qsizetype(next),
                             [&](const auto &b) { return b->stage() != reached; });
    };
    const auto refill = [&] {
        for (auto free = inFlight - busy(); free > 0 && next < bots.size(); --free)
            step(*bots[next++]);
        return next == bots.size() && busy() == 0;
    };
    return runUntil([&] { return anyFailed(bots) || refill(); }, timeoutMs) && !anyFailed(bots);
}

QByteArray configFor(int n)
{
    QJsonArray accounts, members;
    for (qint64 uid = kFirstUid; uid < kFirstUid + n; ++uid) {
        accounts.append(QJsonObject{{QStringLiteral("id"), double(uid)},
                                    {QStringLiteral("token"), QStringLiteral("bot-%1").arg(uid)}});
        members.append(double(uid));
    }
    const QJsonObject dialog{{QStringLiteral("id"), kDialog},
                             {QStringLiteral("group"), true},
                             {QStringLiteral("members"), members}};
    return QJsonDocument(QJsonObject{{QStringLiteral("accounts"), accounts},
                                     {QStringLiteral("conversations"), QJsonArray{dialog}}})
        .toJson(QJsonDocument::Compact);
}

// What the changes of a run are waiting for: each sender's change in flight, and the
// latency of every arrival at a member other than the sender.
class ChangeLog
{
public:
    void sent(qint64 uid, int status)
    {
        m_inFlight.insert(uid, {nowNs(), status});
        ++m_changes;
    }
    void seen(qint64 receiver, qint64 uid, int status, qint64 atNs)
    {
        const auto it = m_inFlight.constFind(uid);
        if (receiver == uid || it == m_inFlight.constEnd())
            return;
        if (it->status == status)
            m_latencies.push_back(atNs - it->sentNs);
        else
            ++m_stray;
    }
    qsizetype arrivals() const { return qsizetype(m_latencies.size()); }
    qsizetype changes() const { return m_changes; }
    qsizetype stray() const { return m_stray; }
    const std::vector<qint64> &latencies() const { return m_latencies; }

private:
    struct InFlight
    {
        qint64 sentNs = 0;
        int status = 0;
    };
    QHash<qint64, InFlight> m_inFlight;
    std::vector<qint64> m_latencies;
    qsizetype m_changes = 0;
    qsizetype m_stray = 0;
};

// Each round, `senders` bots spread over the meeting toggle their microphone, one change
// every `gapMs`; a round ends when every other member has heard all of its changes.
bool changeRounds(const Bots &bots, const Settings &s, ChangeLog &log)
{
    const int n = int(bots.size());
    const int senders = std::min(n, s.senders);
    std::vector<bool> muted(size_t(n), false);
    for (int round = 0; round < s.rounds; ++round) {
        int k = 0;
        QTimer pace;
        QObject::connect(&pace, &QTimer::timeout, [&] {
            if (k == senders)
                return pace.stop();
            const int i = (k++ * n / senders + round * 7) % n;
            muted[size_t(i)] = !muted[size_t(i)];
            log.sent(bots[size_t(i)]->uid(), muted[size_t(i)] ? 1 : 0);
            bots[size_t(i)]->setAudioMuted(muted[size_t(i)]);
        });
        pace.start(s.gapMs);
        const qsizetype expected = log.changes() + senders;
        const bool heard = runUntil(
            [&] {
                return anyFailed(bots) ||
                       (log.changes() == expected &&
                        log.arrivals() + log.stray() >= qsizetype(log.changes()) * (n - 1));
            },
            s.timeoutMs);
        if (!heard || anyFailed(bots) || log.stray() > 0)
            return false;
    }
    return true;
}

bool measure(const QString &serverPath, int n, const Settings &s, Result *r)
{
    ServerRun server;
    QString error;
    if (!server.start(serverPath, configFor(n), 30000, &error)) {
        std::fprintf(stderr, "%d bots: %s\n", n, qPrintable(error));
        return false;
    }
    const auto phase = [](const char *name, bool ok) {
        if (!ok)
            std::fprintf(stderr, "phase \"%s\" did not complete\n", name);
        return ok;
    };
    Bots bots;
    ChangeLog log;
    for (int i = 0; i < n; ++i) {
        bots.push_back(std::make_unique<LoadBot>(
            kFirstUid + i, QStringLiteral("bot-%1").arg(kFirstUid + i).toUtf8()));
        bots.back()->setMuteSeen([&log](qint64 receiver, qint64 uid, int status, qint64 at) {
            log.seen(receiver, uid, status, at);
        });
    }
    const QUrl im(QStringLiteral("ws://127.0.0.1:%1/im").arg(server.port()));
    qint64 t0 = nowNs();
    if (!phase("sign in", inWaves(
                              bots, 32, [&](LoadBot &b) { b.signIn(im); }, LoadBot::Stage::SignedIn,
                              s.timeoutMs)))
        return false;
    r->signInS = double(nowNs() - t0) / 1e9;

    QString meetingId, nonce;
    bots.front()->createMeeting(kDialog, [&](const QString &id, const QString &n) {
        meetingId = id;
        nonce = n;
    });
    if (!phase("create",
               runUntil([&] { return !meetingId.isEmpty() || anyFailed(bots); }, s.timeoutMs) &&
                   !anyFailed(bots)))
        return false;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates(QSslCertificate::fromPath(server.certificate()));
    t0 = nowNs();
    if (!phase("join", inWaves(
                           bots, 8, [&](LoadBot &b) { b.join(meetingId, nonce, tls); },
                           LoadBot::Stage::Joined, s.timeoutMs)))
        return false;
    r->joinS = double(nowNs() - t0) / 1e9;
    std::vector<qint64> joins;
    for (const auto &b : bots)
        joins.push_back(b->joinNs());
    r->join = percentiles(joins);

    const double serverCpu0 = server.cpuSeconds();
    const double botsCpu0 = procstat::cpuSeconds(QCoreApplication::applicationPid());
    if (!phase("changes", changeRounds(bots, s, log)))
        return false;
    const double changes = double(qMax<qsizetype>(1, log.changes()));
    r->serverMsPerChange = (server.cpuSeconds() - serverCpu0) * 1e3 / changes;
    r->botsMsPerChange =
        (procstat::cpuSeconds(QCoreApplication::applicationPid()) - botsCpu0) * 1e3 / changes;
    r->change = percentiles(log.latencies());
    r->samples = log.arrivals();

    t0 = nowNs();
    if (!phase("leave",
               inWaves(
                   bots, 8, [](LoadBot &b) { b.leave(); }, LoadBot::Stage::Left, s.timeoutMs)))
        return false;
    r->leaveS = double(nowNs() - t0) / 1e9;
    r->bots = n;
    r->serverCpuS = server.cpuSeconds();
    r->peakMiB = double(server.peakMemoryKiB()) / 1024.0;
    return true;
}

QList<int> parseSizes(const QString &text)
{
    QList<int> sizes;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int n = part.trimmed().toInt();
        if (n >= 2)
            sizes.append(n);
    }
    return sizes;
}

} // namespace

int main(int argc, char **argv)
{
    // The bots' loop, like the server's, is Qt's own: GLib's costs time linear in the open
    // sockets for every write, which would measure the bots rather than the server.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Load benchmark of the meeting server."));
    parser.addHelpOption();
    const QCommandLineOption sizes(QStringLiteral("sizes"), QStringLiteral("Bots per run."),
                                   QStringLiteral("list"), QStringLiteral("50,100,200,500"));
    const QCommandLineOption rounds(QStringLiteral("rounds"),
                                    QStringLiteral("Rounds of mute changes."), QStringLiteral("n"),
                                    QStringLiteral("5"));
    const QCommandLineOption senders(QStringLiteral("senders"),
                                     QStringLiteral("Bots that change per round."),
                                     QStringLiteral("n"), QStringLiteral("20"));
    const QCommandLineOption gap(QStringLiteral("gap-ms"),
                                 QStringLiteral("Time between two changes."), QStringLiteral("ms"),
                                 QStringLiteral("40"));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("The meeting server program."),
                                    QStringLiteral("path"), QStringLiteral(MEETINGSERVER_PATH));
    parser.addOptions({sizes, rounds, senders, gap, server});
    parser.process(app);
    Settings s;
    s.sizes = parseSizes(parser.value(sizes));
    s.rounds = qMax(1, parser.value(rounds).toInt());
    s.senders = qMax(1, parser.value(senders).toInt());
    s.gapMs = qMax(1, parser.value(gap).toInt());
    if (s.sizes.isEmpty()) {
        std::fprintf(stderr, "--sizes needs sizes of 2 or more\n");
        return 2;
    }

    std::printf("%d rounds of %d audio mute changes, one every %d ms; joins 8 at a time\n",
                s.rounds, s.senders, s.gapMs);
    std::printf("bots  join p50/p99 ms  change p50/p99/max ms  samples  CPU ms/change server/bots"
                "  sign-in/join/leave s  server CPU s  server peak MiB\n");
    std::vector<Result> results;
    for (int n : std::as_const(s.sizes)) {
        Result r;
        if (!measure(parser.value(server), n, s, &r)) {
            std::fprintf(stderr, "the run with %d bots did not complete\n", n);
            return 1;
        }
        results.push_back(r);
        std::printf("%4d  %6.1f/%6.1f    %6.1f/%6.1f/%6.1f   %7lld  %12.2f/%5.2f        "
                    "%5.2f/%5.2f/%5.2f    %9.2f  %15.1f\n",
                    r.bots, r.join.p50, r.join.p99, r.change.p50, r.change.p99, r.change.max,
                    static_cast<long long>(r.samples), r.serverMsPerChange, r.botsMsPerChange,
                    r.signInS, r.joinS, r.leaveS, r.serverCpuS, r.peakMiB);
        std::fflush(stdout);
    }
    const Result &base = results.front();
    std::printf("\nGrowth against the %d-bot meeting of this run:\n", base.bots);
    for (const Result &r : results) {
        std::printf("%d bots: receivers per change x%.1f, change p99 x%.2f, join p99 x%.2f, "
                    "server peak memory x%.2f\n",
                    r.bots, double(r.bots - 1) / double(base.bots - 1),
                    r.change.p99 / qMax(0.01, base.change.p99),
                    r.join.p99 / qMax(0.01, base.join.p99), r.peakMiB / qMax(0.01, base.peakMiB));
    }
    return 0;
}
