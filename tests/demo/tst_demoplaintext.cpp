// Names, meeting names, link names and error texts come from other people and servers; a Text
// that interprets markup would render their tags and fetch their images. Every Text of the
// demo therefore shows plain text.
#include <QDir>
#include <QRegularExpression>
#include <QtTest>

class DemoPlainTextTest : public QObject
{
    Q_OBJECT
private slots:
    void everyTextIsPlain_data();
    void everyTextIsPlain();
};

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

QTEST_GUILESS_MAIN(DemoPlainTextTest)
#include "tst_demoplaintext.moc"
