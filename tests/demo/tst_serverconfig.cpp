// The demo's server config carries every account's secret: it must be private to its owner,
// fresh on every write, and read back exactly.
#include "cast.h"
#include "serverconfig.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

class ServerConfigTest : public QObject
{
    Q_OBJECT
private slots:
    void writesPrivateFreshTokens();
    void everyConversationHasTheAccount();
    void unreadableFileHasNoTokens_data();
    void unreadableFileHasNoTokens();

private:
    QTemporaryDir m_dir;
    const Cast m_cast;
};

void ServerConfigTest::writesPrivateFreshTokens()
{
    const QString path = m_dir.filePath(QStringLiteral("a.json"));
    QString error;
    QVERIFY(ServerConfig::write(m_cast, path, &error));
    QCOMPARE(QFile(path).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
             QFile::ReadOwner | QFile::WriteOwner);
    const QHash<qint64, QByteArray> first = ServerConfig::tokens(path);
    QCOMPARE(first.size(), m_cast.people().size());
    QCOMPARE(QSet<QByteArray>(first.cbegin(), first.cend()).size(), first.size());

    QVERIFY(ServerConfig::write(m_cast, path, &error));
    const QHash<qint64, QByteArray> second = ServerConfig::tokens(path);
    for (auto it = first.cbegin(); it != first.cend(); ++it)
        QVERIFY(second.value(it.key()) != it.value());
}

void ServerConfigTest::everyConversationHasTheAccount()
{
    const QString path = m_dir.filePath(QStringLiteral("b.json"));
    QString error;
    QVERIFY(ServerConfig::write(m_cast, path, &error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray conversations = QJsonDocument::fromJson(file.readAll())
                                         .object()
                                         .value(QStringLiteral("conversations"))
                                         .toArray();
    QCOMPARE(conversations.size(), m_cast.conversations().size());
    for (const QJsonValue &v : conversations) {
        const QJsonObject c = v.toObject();
        const Conversation *known = m_cast.conversation(c.value(QStringLiteral("id")).toString());
        QVERIFY(known);
        QCOMPARE(c.value(QStringLiteral("group")).toBool(), known->isGroup);
        const QJsonArray members = c.value(QStringLiteral("members")).toArray();
        QCOMPARE(members.size(), known->members.size() + 1);
        QVERIFY(members.contains(double(m_cast.selfId())));
    }
}

void ServerConfigTest::unreadableFileHasNoTokens_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addRow("missing") << QByteArray();
    QTest::addRow("not json") << QByteArrayLiteral("accounts: 1001");
    QTest::addRow("empty token") << QByteArrayLiteral(R"({"accounts":[{"id":1001,"token":""}]})");
    QTest::addRow("accounts not a list") << QByteArrayLiteral(R"({"accounts":{"id":1001}})");
}

void ServerConfigTest::unreadableFileHasNoTokens()
{
    QFETCH(QByteArray, content);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QVERIFY(ServerConfig::tokens(path).isEmpty());
}

QTEST_GUILESS_MAIN(ServerConfigTest)
#include "tst_serverconfig.moc"
