#include "accountbase.h"
#include "meeting.pb.h"
#include "meetingmodel.h"
#include "testsupport.h"
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <time.h>

// A TLS server on 127.0.0.1 that records request lines and answers each with an empty 200,
// keeping the connection alive so that only the client can close it.
class RingingServer : public QObject
{
public:
    bool start(const QString &dir)
    {
        QProcess openssl;
        openssl.setWorkingDirectory(dir);
        openssl.start(
            QStringLiteral("openssl"),
            QStringLiteral("req -x509 -nodes -newkey rsa:2048 -days 2 -subj /CN=127.0.0.1 "
                           "-addext subjectAltName=IP:127.0.0.1 -keyout key -out cert")
                .split(QLatin1Char(' ')));
        const auto certs = openssl.waitForFinished() && openssl.exitCode() == 0
                               ? QSslCertificate::fromPath(dir + QStringLiteral("/cert"))
                               : QList<QSslCertificate>();
        QFile keyFile(dir + QStringLiteral("/key"));
        if (certs.size() != 1 || !keyFile.open(QIODevice::ReadOnly))
            return false;
        QSslConfiguration serverConfig = QSslConfiguration::defaultConfiguration();
        serverConfig.setLocalCertificate(certs.first());
        serverConfig.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
        m_server.setSslConfiguration(serverConfig);
        // Trusted by this process only.
        QSslConfiguration clientConfig = QSslConfiguration::defaultConfiguration();
        clientConfig.addCaCertificate(certs.first());
        QSslConfiguration::setDefaultConfiguration(clientConfig);
        connect(&m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            auto *socket = qobject_cast<QSslSocket *>(m_server.nextPendingConnection());
            ++openConnections;
            connect(socket, &QSslSocket::disconnected, this, [this] { --openConnections; });
            connect(socket, &QSslSocket::readyRead, this, [this, socket] { read(socket); });
        });
        return m_server.listen(QHostAddress::LocalHost);
    }
    quint16 port() const { return m_server.serverPort(); }

    QStringList requestLines;
    int openConnections = 0;
    bool redirect = false;

private:
    void read(QSslSocket *socket)
    {
        m_buffer += socket->readAll();
        while (m_buffer.contains("\r\n\r\n")) {
            requestLines << QString::fromLatin1(m_buffer.left(m_buffer.indexOf("\r\n")));
            m_buffer.remove(0, m_buffer.indexOf("\r\n\r\n") + 4);
            socket->write(redirect ? "HTTP/1.1 302 Found\r\nLocation: /followed\r\n"
                                     "Content-Length: 0\r\n\r\n"
                                   : "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
        }
    }

    QSslServer m_server;
    QByteArray m_buffer;
};

class TestRingingAndLog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_certDir;
    QTemporaryDir m_dir;
    RingingServer m_server;
    AccountBase m_account{100, 1};

    QString logDir() const { return m_dir.path() + QStringLiteral("/log/meeting/"); }
    static qint64 secondsAgo(const QString &stamp, Qt::TimeSpec zone)
    {
        QDateTime time = QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
        time.setTimeSpec(zone);
        return time.isValid() ? qAbs(time.secsTo(QDateTime::currentDateTime())) : 1 << 30;
    }
    static void writeLog(MeetingModel &model, const QString &log, const QString &url)
    {
        QVERIFY(QMetaObject::invokeMethod(&model, "onWriteLog", Q_ARG(QString, log),
                                          Q_ARG(QString, url)));
    }

private slots:
    void initTestCase()
    {
        // Half-hour-offset local time tells local stamps from UTC ones.
        qputenv("TZ", "XYZ-05:45");
        tzset();
        QVERIFY(m_dir.isValid() && m_certDir.isValid());
        QVERIFY2(m_server.start(m_certDir.path()), "openssl or the TLS server failed");
        AppDirManager::instance()->setCacheDataDir(m_dir.path());
    }

    void reportWaitsForUrl_data()
    {
        QTest::addColumn<bool>("ringing");
        QTest::addColumn<bool>("redirect");
        QTest::addRow("ringing") << true << false;
        QTest::addRow("silent") << false << false;
        QTest::addRow("redirect not followed") << true << true;
    }
    void reportWaitsForUrl()
    {
        QFETCH(bool, ringing);
        QFETCH(bool, redirect);
        m_server.requestLines.clear();
        m_server.redirect = redirect;
        const auto restore = qScopeGuard([this] { m_server.redirect = false; });
        MeetingModel model(&m_account);
        model.reportRinging(ringing);
        testsupport::drainEvents();
        QCOMPARE(m_server.openConnections, 0);

        model.setMeeting(
            im::Meeting(),
            QStringLiteral("wss://127.0.0.1:%1/?roomId=r1&token=t0k").arg(m_server.port()), false);
        QTRY_COMPARE(m_server.requestLines.size(), 1);
        QCOMPARE(m_server.requestLines.first(),
                 QStringLiteral("GET /ringing?roomId=r1&token=t0k&status=%1 HTTP/1.1")
                     .arg(ringing ? QStringLiteral("ringing") : QStringLiteral("silent")));
        QCOMPARE(model.getRinging(), ringing);
        // The kept-alive connection closes only when the request's manager is gone.
        QTRY_COMPARE(m_server.openConnections, 0);
        QCOMPARE(m_server.requestLines.size(), 1);
    }

    void unusableUrlIsRefused_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addRow("no //") << QStringLiteral("127.0.0.1:1/?token=secret");
        QTest::addRow("no /?") << QStringLiteral("wss://127.0.0.1:1/token=secret");
        QTest::addRow("empty host") << QStringLiteral("wss:///?token=secret");
        QTest::addRow("fragment") << QStringLiteral("wss://h/?token=secret#x");
        QTest::addRow("user info") << QStringLiteral("wss://u:p@127.0.0.1:1/?token=secret");
        QTest::addRow("user only") << QStringLiteral("wss://u@127.0.0.1:1/?token=secret");
    }
    void unusableUrlIsRefused()
    {
        QFETCH(QString, url);
        MeetingModel model(&m_account);
        model.setMeeting(im::Meeting(), url, false);
        // Exact text: the query never reaches the log.
        QTest::ignoreMessage(QtWarningMsg, "ringing report not sent: unusable media server URL");
        model.reportRinging(true);
        QVERIFY(model.getRinging());
    }

    void ringingStatus()
    {
        MeetingModel model(&m_account);
        QSignalSpy spy(&model, &MeetingModel::ringingStatusChanged);
        for (const char *text : {"ringing", "ringing", "Ringing", "silent", "", "ringing"})
            QMetaObject::invokeMethod(&model, "onNotifyRinging",
                                      Q_ARG(QString, QString::fromLatin1(text)));
        const QList<QList<QVariant>> expected{{1}, {0}, {2}, {0}, {1}};
        QCOMPARE(spy, expected);
    }

    void logStaysInDirectory_data()
    {
        QTest::addColumn<QString>("meetingId");
        QTest::addColumn<QString>("namePart");
        QTest::addRow("colon") << QStringLiteral("m-1_a:b:c") << QStringLiteral("m-1_a");
        QTest::addRow("parent") << QStringLiteral("../../x") << QStringLiteral("______x");
        QTest::addRow("separators") << QStringLiteral("a/b\\c") << QStringLiteral("a_b_c");
        QTest::addRow("absolute") << QStringLiteral("/etc/passwd") << QStringLiteral("_etc_passwd");
        QTest::addRow("control") << QString(QLatin1String("a\nb\0c", 5)) << QStringLiteral("a_b_c");
        QTest::addRow("non-ascii") << QStringLiteral("r\u00e9union") << QStringLiteral("r_union");
        QTest::addRow("empty before colon") << QStringLiteral(":x") << QString();
        QTest::addRow("long") << QString(300, QLatin1Char('a')) << QString(64, QLatin1Char('a'));
    }
    void logStaysInDirectory()
    {
        QFETCH(QString, meetingId);
        QFETCH(QString, namePart);
        QVERIFY(QDir(m_dir.path() + QStringLiteral("/log")).removeRecursively());
        MeetingInfo info;
        info.meetingId = meetingId;
        {
            MeetingModel model(info, &m_account);
            writeLog(model, QStringLiteral("x"), QString());
        }
        QDirIterator it(m_dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QVERIFY(it.hasNext());
        const QString file = it.next();
        QVERIFY(!it.hasNext());
        const QRegularExpression expected(
            QRegularExpression::escape(logDir() + namePart) +
            QStringLiteral("_[0-9]{4}(-[0-9]{2}){2}(_[0-9]{2})(-[0-9]{2}){2}\\.qt\\.txt"));
        QVERIFY2(expected.match(file).hasMatch(), qPrintable(file));
    }

    void scrubbedEngineText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::addRow("url query")
            << QStringLiteral("connect wss://h:9/ws?roomId=1&token=abc failed")
            << QStringLiteral("connect wss://h:9/ws?*** failed");
        QTest::addRow("url fragment")
            << QStringLiteral("https://h/p#k=1") << QStringLiteral("https://h/p?***");
        QTest::addRow("user info")
            << QStringLiteral("to https://bob:pw@h/x") << QStringLiteral("to https://***@h/x");
        QTest::addRow("token pair")
            << QStringLiteral("access_token=abc&x=1") << QStringLiteral("access_token=***&x=1");
        QTest::addRow("json password") << QStringLiteral("{\"password\": \"s3cret\"}")
                                       << QStringLiteral("{\"password\": \"***\"}");
        QTest::addRow("key with colon")
            << QStringLiteral("Key: 0a1b2c") << QStringLiteral("Key: ***");
        QTest::addRow("bearer") << QStringLiteral("Authorization Bearer xyz.abc")
                                << QStringLiteral("Authorization Bearer ***");
        QTest::addRow("plain text kept") << QStringLiteral("keyboard layout at 12:30, ice restart")
                                         << QStringLiteral("keyboard layout at 12:30, ice restart");
    }
    void scrubbedEngineText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(MeetingModel::scrubbed(text), expected);
    }

    void logUploadOnlyOverHttps_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("uploaded");
        QTest::addRow("https") << QStringLiteral("https://upload.test/1") << true;
        QTest::addRow("http") << QStringLiteral("http://upload.test/1") << false;
        QTest::addRow("file") << QStringLiteral("file:///tmp/x") << false;
        QTest::addRow("no scheme") << QStringLiteral("upload.test/1") << false;
        QTest::addRow("user info") << QStringLiteral("https://u:p@upload.test/1") << false;
    }
    void logUploadOnlyOverHttps()
    {
        QFETCH(QString, url);
        QFETCH(bool, uploaded);
        FileDataMgr *files = m_account.fileManager()->fileDataMgr();
        files->clear();
        {
            MeetingModel model(&m_account);
            if (!uploaded)
                QTest::ignoreMessage(QtWarningMsg,
                                     "meeting log upload address refused: not a plain HTTPS URL");
            writeLog(model, QString(), url);
            writeLog(model, QStringLiteral("line\n"), QString());
        }
        QCOMPARE(files->uploads().size(), 1);
        QCOMPARE(files->uploads().first().second, uploaded ? url : QString());
    }

    void logIsScrubbedCappedAndOwn()
    {
        QVERIFY(QDir(m_dir.path() + QStringLiteral("/log")).removeRecursively());
        MeetingInfo info;
        info.meetingId = QStringLiteral("cap");
        MeetingModel first(info, &m_account);
        MeetingModel second(info, &m_account);
        writeLog(first, QStringLiteral("dial wss://h/?token=T0K password=PW\n"), QString());
        writeLog(second, QStringLiteral("other\n"), QString());
        const QStringList names = QDir(logDir()).entryList({QStringLiteral("cap_*")});
        QCOMPARE(names.size(), 2);

        const QString chunk(1024 * 1024, QLatin1Char('x'));
        QTest::ignoreMessage(QtWarningMsg, "meeting log full; later engine lines are dropped");
        for (int i = 0; i < 25; ++i)
            writeLog(first, chunk, QString());
        QByteArray text;
        for (const QString &name : names) {
            QFile file(logDir() + name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.size() <= MeetingModel::kMaxLogBytes + 100);
            text += file.readAll();
        }
        QVERIFY(text.contains("dial wss://h/?*** password=***"));
        QVERIFY(!text.contains("T0K") && !text.contains("PW"));
        QVERIFY(text.contains("log full, later lines dropped"));
        QVERIFY(text.contains("other"));
    }

    void logEntriesAndUpload()
    {
        QVERIFY(QDir(m_dir.path() + QStringLiteral("/log")).removeRecursively());
        FileDataMgr *files = m_account.fileManager()->fileDataMgr();
        files->clear();
        MeetingInfo info;
        info.meetingId = QStringLiteral("entries");
        QString fileName;
        {
            MeetingModel model(info, &m_account);
            writeLog(model, QString(), QStringLiteral("https://upload/1"));
            QVERIFY(!QDir(logDir()).exists());
            writeLog(model, QStringLiteral("first\n"), QStringLiteral("https://ignored"));
            writeLog(model, QStringLiteral("second \u00e9"), QString());
            const QStringList names = QDir(logDir()).entryList({QStringLiteral("entries_*")});
            QCOMPARE(names.size(), 1);
            fileName = logDir() + names.first();
        }
        QCOMPARE(files->uploads(),
                 (QList<QPair<QString, QString>>{{fileName, QStringLiteral("https://upload/1")}}));
        QVERIFY(secondsAgo(fileName.mid(logDir().size() + 8, 19), Qt::LocalTime) < 60);
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        const auto match =
            QRegularExpression(QStringLiteral("^(.{19}): first\n(.{19}): second \u00e9$"))
                .match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        QVERIFY(secondsAgo(match.captured(1), Qt::UTC) < 60);
        QVERIFY(secondsAgo(match.captured(2), Qt::UTC) < 60);
    }
};

QTEST_GUILESS_MAIN(TestRingingAndLog)
#include "tst_ringinglog.moc"
