#include "store.h"
#include "wireformat.h"
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

Q_LOGGING_CATEGORY(lcStore, "im.server.store")

using wire::bytesOf;
using wire::parse;
using wire::str;

namespace {
template <class Message> bool parseInto(Message &m, const QVariant &v)
{
    return parse(m, v.toByteArray());
}

// Each entry brings the schema from its index to the next version; never edit a shipped one.
const char *const kMigrations[] = {
    "CREATE TABLE accounts (id INTEGER PRIMARY KEY, token_hash BLOB NOT NULL);"
    "CREATE TABLE conversations (id TEXT PRIMARY KEY, is_group INTEGER NOT NULL);"
    "CREATE TABLE members (conversation TEXT NOT NULL, user_id INTEGER NOT NULL,"
    " PRIMARY KEY (conversation, user_id));"
    "CREATE TABLE meetings (id TEXT PRIMARY KEY, record BLOB NOT NULL, nonce TEXT NOT NULL,"
    " key BLOB NOT NULL, client_id TEXT NOT NULL, host_id INTEGER NOT NULL,"
    " ended INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE links (id TEXT PRIMARY KEY, record BLOB NOT NULL);"
    "CREATE TABLE ratings (account_id INTEGER NOT NULL, meeting_id TEXT NOT NULL,"
    " score INTEGER, connecting INTEGER, audio INTEGER, video INTEGER, comment TEXT);"
    "CREATE TABLE secrets (name TEXT PRIMARY KEY, value BLOB NOT NULL);",
    "CREATE TABLE logs (account_id INTEGER NOT NULL, name TEXT NOT NULL, data BLOB NOT NULL,"
    " received INTEGER NOT NULL);",
};
} // namespace

Store::Store(const QString &connectionName) : m_name(connectionName) {}

Store::~Store()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool Store::open(const QString &path)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(path);
    if (!m_db.open()) {
        qCWarning(lcStore) << "cannot open the database:" << m_db.lastError().text();
        return false;
    }
    // Answered writes must survive a crash of the process, not only a clean stop. With the
    // write-ahead log a commit is one append and one sync, not a journal file made, synced
    // and deleted each time, which kept every join waiting tens of milliseconds.
    exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    exec(QStringLiteral("PRAGMA synchronous=FULL"));
    return migrate();
}

bool Store::exec(const QString &sql)
{
    QSqlQuery q(m_db);
    if (q.exec(sql))
        return true;
    qCWarning(lcStore) << "statement failed:" << q.lastError().text();
    return false;
}

int Store::schemaVersion() const
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT version FROM schema_version")) || !q.next())
        return 0;
    return q.value(0).toInt();
}

bool Store::migrate()
{
    if (!exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER)")))
        return false;
    const int target = int(std::size(kMigrations));
    for (int v = schemaVersion(); v < target; ++v) {
        m_db.transaction();
        bool ok = true;
        for (const QString &stmt : QString::fromLatin1(kMigrations[v]).split(QLatin1Char(';'))) {
            if (!stmt.trimmed().isEmpty())
                ok = ok && exec(stmt);
        }
        ok = ok && exec(QStringLiteral("DELETE FROM schema_version")) &&
             exec(QStringLiteral("INSERT INTO schema_version VALUES (%1)").arg(v + 1));
        if (!ok) {
            m_db.rollback();
            return false;
        }
        m_db.commit();
    }
    return true;
}

bool Store::upsertAccount(qint64 id, const QByteArray &tokenHash)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO accounts (id, token_hash) VALUES (?, ?)"));
    q.addBindValue(id);
    q.addBindValue(tokenHash);
    return q.exec();
}

std::optional<QByteArray> Store::accountTokenHash(qint64 id) const
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT token_hash FROM accounts WHERE id = ?"));
    q.addBindValue(id);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toByteArray();
}

bool Store::upsertConversation(const StoredConversation &c)
{
    m_db.transaction();
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO conversations (id, is_group) VALUES (?, ?)"));
    q.addBindValue(c.id);
    q.addBindValue(c.isGroup ? 1 : 0);
    bool ok = q.exec();
    for (qint64 uid : c.members) {
        QSqlQuery m(m_db);
        m.prepare(QStringLiteral("INSERT OR IGNORE INTO members (conversation, user_id) "
                                 "VALUES (?, ?)"));
        m.addBindValue(c.id);
        m.addBindValue(uid);
        ok = ok && m.exec();
    }
    if (!ok) {
        m_db.rollback();
        return false;
    }
    return m_db.commit();
}

QList<StoredConversation> Store::conversations() const
{
    QHash<QString, int> index;
    QList<StoredConversation> out;
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("SELECT id, is_group FROM conversations ORDER BY id"));
    while (q.next()) {
        index.insert(q.value(0).toString(), int(out.size()));
        out.append({q.value(0).toString(), q.value(1).toBool(), {}});
    }
    QSqlQuery m(m_db);
    m.exec(QStringLiteral("SELECT conversation, user_id FROM members ORDER BY rowid"));
    while (m.next()) {
        const int i = index.value(m.value(0).toString(), -1);
        if (i >= 0)
            out[i].members.append(m.value(1).toLongLong());
    }
    return out;
}

bool Store::saveMeeting(const StoredMeeting &m)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO meetings "
                             "(id, record, nonce, key, client_id, host_id, ended) "
                             "VALUES (?, ?, ?, ?, ?, ?, 0)"));
    q.addBindValue(str(m.record.id()));
    q.addBindValue(bytesOf(m.record));
    q.addBindValue(m.nonce);
    q.addBindValue(m.key);
    q.addBindValue(m.clientId);
    q.addBindValue(m.hostId);
    return q.exec();
}

bool Store::endMeeting(const QString &meetingId)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE meetings SET ended = 1 WHERE id = ?"));
    q.addBindValue(meetingId);
    return q.exec();
}

QList<StoredMeeting> Store::runningMeetings() const
{
    QList<StoredMeeting> out;
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("SELECT record, nonce, key, client_id, host_id FROM meetings "
                          "WHERE ended = 0 ORDER BY rowid"));
    while (q.next()) {
        StoredMeeting m;
        if (!parseInto(m.record, q.value(0)))
            continue;
        m.nonce = q.value(1).toString();
        m.key = q.value(2).toByteArray();
        m.clientId = q.value(3).toString();
        m.hostId = q.value(4).toLongLong();
        out.append(m);
    }
    return out;
}

bool Store::saveLink(const im::MeetingLink &link)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO links (id, record) VALUES (?, ?)"));
    q.addBindValue(str(link.id()));
    q.addBindValue(bytesOf(link));
    return q.exec();
}

bool Store::deleteLink(const QString &linkId)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("DELETE FROM links WHERE id = ?"));
    q.addBindValue(linkId);
    return q.exec();
}

QList<im::MeetingLink> Store::links() const
{
    QList<im::MeetingLink> out;
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("SELECT record FROM links ORDER BY rowid"));
    while (q.next()) {
        im::MeetingLink l;
        if (parseInto(l, q.value(0)))
            out.append(l);
    }
    return out;
}

bool Store::addRating(const StoredRating &r)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO ratings VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant &v : {QVariant(r.accountId), QVariant(r.meetingId), QVariant(r.score),
                              QVariant(r.connectingIssues), QVariant(r.audioIssues),
                              QVariant(r.videoIssues), QVariant(r.comment)})
        q.addBindValue(v);
    return q.exec();
}

int Store::ratingCount() const
{
    QSqlQuery q(m_db);
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM ratings")) && q.next() ? q.value(0).toInt()
                                                                              : 0;
}

bool Store::addLog(qint64 accountId, const QString &name, const QByteArray &data)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO logs VALUES (?, ?, ?, strftime('%s','now'))"));
    q.addBindValue(accountId);
    q.addBindValue(name);
    q.addBindValue(data);
    return q.exec();
}

qint64 Store::logBytes(qint64 accountId) const
{
    QSqlQuery q(m_db);
    q.prepare(
        QStringLiteral("SELECT COALESCE(SUM(LENGTH(data)), 0) FROM logs WHERE account_id = ?"));
    q.addBindValue(accountId);
    return q.exec() && q.next() ? q.value(0).toLongLong() : 0;
}

QByteArray Store::secret()
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT value FROM secrets WHERE name = 'media'"));
    if (q.exec() && q.next())
        return q.value(0).toByteArray();
    QByteArray value(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(value.data()), 8);
    QSqlQuery w(m_db);
    w.prepare(QStringLiteral("INSERT INTO secrets (name, value) VALUES ('media', ?)"));
    w.addBindValue(value);
    w.exec();
    return value;
}
