// The demo's whiteboards hold what other participants draw; a hostile one must not be able to
// grow them without bound.
#include "accountbase.h"
#include "meetingmodel.h"
#include "whiteboardcontent.pb.h"
#include "whiteboardstore.h"
#include <QtTest>

namespace {
const QString kBoard = QStringLiteral("wb1");

// One message with `strokes` strokes of `points` points each.
im::whiteboard::TransferData *message(int strokes, int points)
{
    demo::whiteboard::WhiteboardItem item;
    item.set_kind(2);
    for (int i = 0; i < 2 * points; ++i)
        item.mutable_stroke()->add_points(0.5f);
    const std::string bytes = item.SerializeAsString();
    auto *data = new im::whiteboard::TransferData;
    for (int i = 0; i < strokes; ++i)
        data->mutable_multi()->add_whiteboarddatalist()->set_data(bytes);
    return data;
}
} // namespace

class WhiteboardStoreTest : public QObject
{
    Q_OBJECT
private slots:
    void hostileMessagesStayBounded_data();
    void hostileMessagesStayBounded();
};

void WhiteboardStoreTest::hostileMessagesStayBounded_data()
{
    QTest::addColumn<QString>("board");
    QTest::addColumn<int>("strokes");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("keptStrokes");
    QTest::addColumn<int>("keptPoints");
    QTest::addRow("an ordinary stroke") << kBoard << 1 << 3 << 1 << 3;
    QTest::addRow("a board never opened") << QStringLiteral("other") << 1 << 3 << 0 << 0;
    QTest::addRow("too many points") << kBoard << 1 << 5000 << 1 << 2000;
    QTest::addRow("too many strokes") << kBoard << 6000 << 1 << 5000 << 1;
    QTest::addRow("a message too large") << kBoard << 2 << 100000 << 0 << 0;
}

void WhiteboardStoreTest::hostileMessagesStayBounded()
{
    QFETCH(QString, board);
    QFETCH(int, strokes);
    QFETCH(int, points);
    QFETCH(int, keptStrokes);
    QFETCH(int, keptPoints);
    AccountBase account(100, 1);
    MeetingModel model(&account);
    WhiteboardStore store;
    store.watch(&model);
    emit model.createShareSuccess(MeetingDefines::WHITEBOARD_SHARE, 200, kBoard);

    emit model.sigRecvData(message(strokes, points), board);
    const QList<WhiteboardStore::Stroke> kept = store.strokes(board);
    QCOMPARE(kept.size(), keptStrokes);
    if (keptStrokes > 0)
        QCOMPARE(kept.first().points.size(), keptPoints);
}

QTEST_MAIN(WhiteboardStoreTest)
#include "tst_whiteboardstore.moc"
