// Names, meeting names, link names and error texts come from other people and servers; a Text
// that interprets markup would render their tags and fetch their images. Every Text of the
// demo therefore shows plain text.
#include "icon.h"
#include "meetingmanager.h"
#include "meetingmodel.h"
#include "whiteboardstore.h"
#include <QNetworkAccessManager>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlNetworkAccessManagerFactory>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QtTest>
#include <atomic>

using namespace Qt::StringLiterals;

static const QString markup = QStringLiteral("<img src=\"http://127.0.0.1:1/x.png\"><b>bold</b>");

// Just what the components read from the application's client object.
class StandInDemo : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qlonglong selfId MEMBER selfId CONSTANT)
    // No meeting running and no link offered.
    Q_PROPERTY(QObject *current MEMBER current CONSTANT)
    Q_PROPERTY(QObject *linkOffer MEMBER current CONSTANT)
    Q_PROPERTY(QStandardItemModel *links READ links CONSTANT)
    Q_PROPERTY(QString receivedLinkName MEMBER name CONSTANT)
public:
    StandInDemo()
    {
        m_links.setItemRoleNames({{Qt::UserRole, QByteArrayLiteral("meetingLink")}});
        auto *row = new QStandardItem;
        row->setData(QVariantMap{{u"name"_s, name}, {u"dialogId"_s, u"d1"_s}}, Qt::UserRole);
        m_links.appendRow(row);
    }
    QStandardItemModel *links() { return &m_links; }
    Q_INVOKABLE QString nameOf(qlonglong) const { return name; }
    Q_INVOKABLE QColor colourOf(qlonglong) const { return Qt::gray; }
    Q_INVOKABLE QString conversationTitle(const QString &) const { return name; }
    qlonglong selfId = 1;
    QObject *current = nullptr;
    QString name = markup;
signals:
    void notice(const QString &text);

private:
    QStandardItemModel m_links;
};

// Counts every request the engine makes, images included, whichever thread makes it.
class CountingFactory : public QQmlNetworkAccessManagerFactory
{
public:
    std::atomic<int> requests{0};
    QNetworkAccessManager *create(QObject *parent) override
    {
        return new Manager(&requests, parent);
    }

private:
    struct Manager : QNetworkAccessManager
    {
        Manager(std::atomic<int> *count, QObject *parent)
            : QNetworkAccessManager(parent), count(count)
        {}
        QNetworkReply *createRequest(Operation op, const QNetworkRequest &request,
                                     QIODevice *data) override
        {
            ++*count;
            return QNetworkAccessManager::createRequest(op, request, data);
        }
        std::atomic<int> *count;
    };
};

static void collectTexts(QQuickItem *item, QList<QQuickItem *> &texts)
{
    if (qstrcmp(item->metaObject()->className(), "QQuickText") == 0)
        texts << item;
    for (QQuickItem *child : item->childItems())
        collectTexts(child, texts);
}

class DemoPlainTextTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void everyTextIsPlain_data();
    void everyTextIsPlain();
    void outsideTextShowsLiterally_data();
    void outsideTextShowsLiterally();
};

void DemoPlainTextTest::initTestCase()
{
    MeetingManager::registerMetaType("Im.Meeting");
    qmlRegisterType<Icon>("MeetingDemo", 1, 0, "Icon");
    qmlRegisterType<WhiteboardCanvas>("MeetingDemo", 1, 0, "WhiteboardCanvas");
}

void DemoPlainTextTest::everyTextIsPlain_data()
{
    QTest::addColumn<QString>("path");
    const QDir dir(QFINDTESTDATA("../../demo/qml"));
    const QStringList files = dir.entryList({QStringLiteral("*.qml")}, QDir::Files, QDir::Name);
    QVERIFY(!files.isEmpty());
    for (const QString &file : files)
        QTest::addRow("%s", qPrintable(file)) << dir.filePath(file);
}

void DemoPlainTextTest::everyTextIsPlain()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString qml = QString::fromUtf8(file.readAll());
    // "Text {" as an element of its own, not TextField or Text.ElideRight.
    static const QRegularExpression element(QStringLiteral("(?<![\\w.])Text\\s*\\{"));
    for (auto it = element.globalMatch(qml); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        int depth = 0;
        int end = int(match.capturedEnd()) - 1;
        for (; end < qml.size(); ++end) {
            depth += qml.at(end) == QLatin1Char('{') ? 1 : qml.at(end) == QLatin1Char('}') ? -1 : 0;
            if (depth == 0)
                break;
        }
        const QString block = qml.mid(match.capturedStart(), end - match.capturedStart() + 1);
        const int line = int(qml.left(match.capturedStart()).count(QLatin1Char('\n'))) + 1;
        QVERIFY2(block.contains(QLatin1String("textFormat: Text.PlainText")),
                 qPrintable(QStringLiteral("line %1 shows markup").arg(line)));
    }
}

void DemoPlainTextTest::outsideTextShowsLiterally_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QVariantMap>("properties");
    const QVariantMap person{
        {u"type"_s, 0},         {u"muteVoice"_s, 0},
        {u"muteVideo"_s, 1},    {u"isSpeaking"_s, false},
        {u"networkScore"_s, 5}, {u"userInfo"_s, QVariantMap{{u"name"_s, markup}, {u"uid"_s, 7}}}};
    QTest::newRow("attendee row") << u"AttendeeRow.qml"_s << QVariantMap{{u"user"_s, person}};
    QTest::newRow("video tile") << u"VideoTile.qml"_s << QVariantMap{{u"user"_s, person}};
    QTest::newRow("links") << u"LinksPanel.qml"_s << QVariantMap();
    QTest::newRow("notices") << u"Toasts.qml"_s << QVariantMap();
    QTest::newRow("prompts") << u"Prompts.qml"_s << QVariantMap{{u"inviteFrom"_s, markup}};
}

void DemoPlainTextTest::outsideTextShowsLiterally()
{
    QFETCH(QString, file);
    QFETCH(QVariantMap, properties);
    CountingFactory factory;
    StandInDemo demo;
    QQuickWindow window;
    window.resize(800, 600);
    QQmlEngine engine;
    engine.setNetworkAccessManagerFactory(&factory);
    engine.rootContext()->setContextProperty(QStringLiteral("demo"), &demo);
    QQmlComponent component(&engine,
                            QUrl::fromLocalFile(QFINDTESTDATA(u"../../demo/qml/"_s + file)));
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    // Set once loaded, as the application does, so no handler resets them at start.
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        QVERIFY(object->setProperty(qPrintable(it.key()), it.value()));
    auto *root = qobject_cast<QQuickItem *>(object.get());
    QVERIFY(root);
    root->setParentItem(window.contentItem());
    window.show();
    emit demo.notice(markup);
    QTest::qWait(200);
    QCOMPARE(factory.requests.load(), 0);

    QList<QQuickItem *> texts;
    collectTexts(root, texts);
    int literal = 0;
    for (QQuickItem *text : std::as_const(texts)) {
        QCOMPARE(text->property("textFormat").toInt(), int(Qt::PlainText));
        literal += text->property("text").toString().contains(markup);
    }
    QVERIFY2(literal > 0, "no Text shows the outside string");
}

QTEST_MAIN(DemoPlainTextTest)
#include "tst_demoplaintext.moc"
