#include "pushbatcher.h"
#include <QTest>

namespace {
constexpr int kWindowMs = 40;

// A push written as "<U|F> <key or -> <recipients> <payload>", e.g. "U m 1,2 r1"; what was
// sent is written the same way.
struct Push
{
    QString key;
    QList<qint64> to;
    im::wire::PushKind kind = im::wire::MEETING_UPDATED;
    QByteArray payload;
};

Push parsePush(const QString &text)
{
    const QStringList f = text.split(QLatin1Char(' '));
    Push p;
    p.kind = f[0] == QLatin1String("F") ? im::wire::MEETING_FINISHED : im::wire::MEETING_UPDATED;
    p.key = f[1] == QLatin1String("-") ? QString() : f[1];
    for (const QString &uid : f[2].split(QLatin1Char(',')))
        p.to.append(uid.toLongLong());
    p.payload = f[3].toUtf8();
    return p;
}

QStringList steps(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char('|'));
}

QString sentText(const QList<qint64> &to, im::wire::PushKind kind, const QByteArray &payload)
{
    QStringList ids;
    for (qint64 uid : to)
        ids.append(QString::number(uid));
    return QStringLiteral("%1 %2 %3")
        .arg(kind == im::wire::MEETING_FINISHED ? QStringLiteral("F") : QStringLiteral("U"),
             ids.join(QLatin1Char(',')), QString::fromUtf8(payload));
}
} // namespace

class tst_ServerPushBatcher : public QObject
{
    Q_OBJECT
private slots:
    void merging_data();
    void merging();
    void quietMeetingSendsAtOnceAgain();
};

void tst_ServerPushBatcher::merging_data()
{
    QTest::addColumn<QStringList>("pushes");
    QTest::addColumn<QStringList>("atOnce");
    QTest::addColumn<QStringList>("afterWindow");
    QTest::addRow("first update at once, later ones merged to the newest")
        << steps("U m 1,2 r1|U m 2,3 r2|U m 1 r3") << steps("U 1,2 r1") << steps("U 2,3,1 r3");
    QTest::addRow("a finish sends what waits first")
        << steps("U m 1 r1|U m 2 r2|F m 1,2 end") << steps("U 1 r1|U 2 r2|F 1,2 end")
        << QStringList{};
    QTest::addRow("pushes without a key are never merged")
        << steps("U - 1 i1|U - 1 i2") << steps("U 1 i1|U 1 i2") << QStringList{};
    QTest::addRow("meetings do not share a window")
        << steps("U a 1 a1|U b 1 b1|U a 1 a2") << steps("U 1 a1|U 1 b1") << steps("U 1 a2");
}

void tst_ServerPushBatcher::merging()
{
    QFETCH(QStringList, pushes);
    QFETCH(QStringList, atOnce);
    QFETCH(QStringList, afterWindow);
    QStringList sent;
    PushBatcher batcher(kWindowMs, [&](const auto &to, auto kind, const auto &payload) {
        sent.append(sentText(to, kind, payload));
    });
    for (const QString &text : std::as_const(pushes)) {
        const Push p = parsePush(text);
        batcher.push(p.key, p.to, p.kind, p.payload);
    }
    QCOMPARE(sent, atOnce);
    QTest::qWait(kWindowMs * 3);
    QCOMPARE(sent, atOnce + afterWindow);
}

void tst_ServerPushBatcher::quietMeetingSendsAtOnceAgain()
{
    QStringList sent;
    PushBatcher batcher(kWindowMs, [&](const auto &to, auto kind, const auto &payload) {
        sent.append(sentText(to, kind, payload));
    });
    batcher.push(QStringLiteral("m"), {1}, im::wire::MEETING_UPDATED, "r1");
    batcher.push(QStringLiteral("m"), {1}, im::wire::MEETING_UPDATED, "r2");
    // The merged push opens a window of its own; once that passes quietly, the next change
    // is sent without waiting.
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 2, kWindowMs * 10);
    QTest::qWait(kWindowMs * 3);
    batcher.push(QStringLiteral("m"), {1}, im::wire::MEETING_UPDATED, "r3");
    QCOMPARE(sent, (steps("U 1 r1|U 1 r2|U 1 r3")));
}

QTEST_GUILESS_MAIN(tst_ServerPushBatcher)
#include "tst_serverpushbatcher.moc"
