#include "meetingmanager.h"
#include "whiteboard.h"
#include <QAssociativeIterable>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>

class TestQmlRegistration : public QObject
{
    Q_OBJECT
    QQmlEngine m_engine;

    QObject *create(const QByteArray &body, QQmlComponent &component)
    {
        component.setData("import QtQml 2.15\nimport Test.Meeting 1.0\n" + body, QUrl());
        return component.isReady() ? component.create() : nullptr;
    }

private slots:
    void initTestCase() { MeetingManager::registerMetaType("Test.Meeting"); }

    void creation_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QString>("error");
        QTest::addRow("EventDispatcher") << QByteArray("EventDispatcher") << QString();
        QTest::addRow("MeetingList")
            << QByteArray("MeetingList") << QStringLiteral("MeetingListis uncreatable");
        QTest::addRow("MeetingLinkItem")
            << QByteArray("MeetingLinkItem") << QStringLiteral("MeetingLinkItemis uncreatable");
        QTest::addRow("MeetingDefines")
            << QByteArray("MeetingDefines")
            << QStringLiteral("MeetingDefinesaccess to enums & flags only");
    }
    void creation()
    {
        QFETCH(QByteArray, type);
        QFETCH(QString, error);
        QQmlComponent component(&m_engine);
        std::unique_ptr<QObject> object(create(type + " {}", component));
        if (error.isEmpty()) {
            QVERIFY2(qobject_cast<Whiteboard::EventDispatcher *>(object.get()),
                     qPrintable(component.errorString()));
            return;
        }
        QVERIFY(!object);
        QCOMPARE(component.errors().size(), 1);
        QCOMPARE(component.errors().first().description(), error);
    }

    void enumeratorsAreReadable()
    {
        QQmlComponent component(&m_engine);
        std::unique_ptr<QObject> object(create("QtObject { property var v: [MeetingDefines.SILENT,"
                                               " MeetingDefines.BUSY, MeetingDefines.LOW_VIDEO] }",
                                               component));
        QVERIFY2(object, qPrintable(component.errorString()));
        QCOMPARE(object->property("v").toList(), (QVariantList{2, 8, 16}));
    }

    void hashIteratesAsAssociativeContainer()
    {
        MeetingInfoHash hash;
        hash[QStringLiteral("a")].meetingName = QStringLiteral("first");
        hash[QStringLiteral("b")].meetingName = QStringLiteral("second");
        QVariant variant = QVariant::fromValue(hash);
        QVERIFY(variant.canConvert<QAssociativeIterable>());
        QMap<QString, QString> seen;
        const QAssociativeIterable iterable = variant.value<QAssociativeIterable>();
        for (auto it = iterable.begin(); it != iterable.end(); ++it)
            seen.insert(it.key().toString(), it.value().value<MeetingInfo>().meetingName);
        QCOMPARE(seen, (QMap<QString, QString>{{QStringLiteral("a"), QStringLiteral("first")},
                                               {QStringLiteral("b"), QStringLiteral("second")}}));
        // The mutable view writes through to the held hash.
        QAssociativeIterable view;
        QVERIFY(QMetaType::view(variant.metaType(), variant.data(),
                                QMetaType::fromType<QIterable<QMetaAssociation>>(), &view));
        view.removeKey(QStringLiteral("a"));
        QCOMPARE(variant.value<MeetingInfoHash>().keys(), QStringList{QStringLiteral("b")});
    }
};

QTEST_MAIN(TestQmlRegistration)
#include "tst_qmlregistration.moc"
