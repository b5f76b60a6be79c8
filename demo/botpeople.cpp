#include "botpeople.h"
#include "cast.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <utility>

namespace {
constexpr int kQuitWaitMs = 3000;
} // namespace

BotPeople::BotPeople(const Cast &cast, Setup setup, QObject *parent)
    : QObject(parent), m_cast(cast), m_setup(std::move(setup))
{}

BotPeople::~BotPeople()
{
    for (const Bot &bot : std::as_const(m_bots)) {
        bot.process->write("quit\n");
        bot.process->closeWriteChannel();
    }
    for (const Bot &bot : std::as_const(m_bots)) {
        if (!bot.process->waitForFinished(kQuitWaitMs)) {
            bot.process->kill();
            bot.process->waitForFinished(kQuitWaitMs);
        }
    }
    for (auto it = m_bots.cbegin(); it != m_bots.cend(); ++it)
        QFile::remove(linkFile(it.key()));
}

QString BotPeople::linkFile(qint64 uid) const
{
    return QDir(m_setup.workDir).filePath(QStringLiteral("link-%1").arg(uid));
}

bool BotPeople::start()
{
    const QDir logs(QDir(m_setup.workDir).filePath(QStringLiteral("people")));
    QDir().mkpath(logs.path());
    for (const Person &p : m_cast.people()) {
        if (p.id == m_cast.selfId() || !m_setup.tokens.contains(p.id))
            continue;
        auto *process = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The secret travels in the environment only, never on a command line.
        env.insert(QStringLiteral("MEETING_CLIENT_TOKEN"), QString::fromUtf8(m_setup.tokens[p.id]));
        env.insert(QStringLiteral("MEETING_CLIENT_CA"), m_setup.caFile);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::MergedChannels);
        Bot bot;
        bot.process = process;
        m_bots.insert(p.id, bot);
        connect(process, &QProcess::readyReadStandardOutput, this,
                [this, uid = p.id] { onOutput(uid); });
        process->start(m_setup.program, {QStringLiteral("--server"), m_setup.server.toString(),
                                         QStringLiteral("--account"), QString::number(p.id)});
        if (!process->waitForStarted())
            return false;
        QFile log(logs.filePath(QStringLiteral("%1.log").arg(p.id)));
        if (log.open(QIODevice::WriteOnly | QIODevice::Truncate))
            log.write(QStringLiteral("%1\n").arg(p.name).toUtf8());
    }
    return !m_bots.isEmpty();
}

bool BotPeople::ready() const
{
    return std::all_of(m_bots.cbegin(), m_bots.cend(), [](const Bot &b) { return b.signedIn; });
}

void BotPeople::onOutput(qint64 uid)
{
    Bot &bot = m_bots[uid];
    QFile log(QDir(m_setup.workDir).filePath(QStringLiteral("people/%1.log").arg(uid)));
    const bool logged = log.open(QIODevice::Append);
    while (bot.process->canReadLine()) {
        const QByteArray line = bot.process->readLine();
        if (logged)
            log.write(line);
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.value(0) == "ready")
            bot.signedIn = true;
        if (words.value(0) == "link")
            QFile::remove(linkFile(uid)); // read by now
        if (words.value(0) != "room")
            continue;
        bot.inCall = words.value(2) == "state" && words.value(3) == "2";
        if (bot.inCall) {
            for (const QString &command : std::exchange(bot.afterConnect, {}))
                give(uid, command);
        }
    }
}

void BotPeople::give(qint64 uid, const QString &command)
{
    const Bot bot = m_bots.value(uid);
    if (!bot.process)
        return;
    bot.process->write((command + QLatin1Char('\n')).toUtf8());
    // The verb only: a link command names a file with secrets.
    emit note(QStringLiteral("%1's client: %2")
                  .arg(m_cast.name(uid), command.section(QLatin1Char(' '), 0, 0)));
}

void BotPeople::giveInCall(qint64 uid, const QString &command)
{
    Bot &bot = m_bots[uid];
    if (bot.inCall)
        give(uid, command);
    else
        bot.afterConnect.append(command);
}

void BotPeople::startMeeting(qint64 host, const QString &dialogId, const QString &name,
                             const QList<qint64> &inRoom, const QList<qint64> &)
{
    // The server calls every member of the conversation; those already "in the room" answer.
    give(host, QStringLiteral("call %1 %2").arg(dialogId, name));
    for (qint64 uid : inRoom)
        join(uid);
}

void BotPeople::join(qint64 uid)
{
    give(uid, QStringLiteral("accept"));
    giveInCall(uid, QStringLiteral("camera on"));
    const Person *p = m_cast.person(uid);
    if (p && p->listener)
        giveInCall(uid, QStringLiteral("listener"));
}

void BotPeople::decline(qint64 uid)
{
    give(uid, QStringLiteral("decline"));
}

void BotPeople::setMic(qint64 uid, bool on)
{
    giveInCall(uid, on ? QStringLiteral("mute off") : QStringLiteral("mute on"));
}

void BotPeople::raiseHand(qint64 uid, bool up)
{
    giveInCall(uid, up ? QStringLiteral("hand up") : QStringLiteral("hand down"));
}

void BotPeople::transferHost(qint64 from, qint64 to)
{
    giveInCall(from, QStringLiteral("transfer %1").arg(to));
}

void BotPeople::startScreenShare(qint64 uid)
{
    giveInCall(uid, QStringLiteral("share screen"));
}

void BotPeople::openWhiteboard(qint64 uid)
{
    giveInCall(uid, QStringLiteral("share board"));
}

void BotPeople::stopShare(qint64 uid)
{
    giveInCall(uid, QStringLiteral("unshare"));
}

void BotPeople::applyByLink(qint64 uid, const Link &link)
{
    // The link's secrets reach the client the way a chat message would: in a file of its own.
    QFile file(linkFile(uid));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QStringList{link.id, link.token, link.password}.join(QLatin1Char('\n')).toUtf8());
    file.close();
    give(uid, QStringLiteral("joinlink %1").arg(file.fileName()));
    // Once let in, the call rings and is answered.
    join(uid);
}
