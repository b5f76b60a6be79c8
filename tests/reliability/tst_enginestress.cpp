// Engine start, call and each way the engine thread ends, many times over: no deadlock, no
// engine left behind, no thread left running.
#include "accountbase.h"
#include "broadcaster.h"
#include "meetingmodel.h"
#include "testsupport.h"
#include <QAtomicInt>
#include <QScopeGuard>
#include <QThread>
#include <QtTest>
#include <cstdio>
#include <cstdlib>
#include <memory>

using qtwebrtc::Broadcaster;

namespace {

// Aborts the run when a cycle stops making progress, so a deadlock fails instead of hanging.
constexpr int kCycles = 250;

class Watchdog : public QThread
{
public:
    QAtomicInt progress;
    QAtomicInt done;

protected:
    void run() override
    {
        int last = -1, still = 0;
        while (!done.loadRelaxed()) {
            QThread::msleep(100);
            const int now = progress.loadRelaxed();
            still = now == last ? still + 1 : 0;
            last = now;
            if (still > 300) {
                std::fprintf(stderr, "engine stress: no progress in cycle %d\n", now);
                std::abort();
            }
        }
    }
};

MeetingInfo callRecord()
{
    MeetingInfo info;
    info.meetingId = QStringLiteral("m-stress");
    info.dialogId = QStringLiteral("d-stress");
    info.meetingKey = QByteArray(32, 'k');
    info.mediaServerUrl = QStringLiteral("wss://127.0.0.1:9/?token=t");
    return info;
}

enum class Ending { OwnLeave, CallEnded, Destruction };

} // namespace

class EngineStressTest : public QObject
{
    Q_OBJECT
private slots:
    void cycles_data()
    {
        QTest::addColumn<bool>("settle");
        QTest::newRow("engine settled before the end") << true;
        QTest::newRow("end while calls are queued") << false;
    }
    void cycles()
    {
        QFETCH(bool, settle);
        AccountBase account(100, 1);
        Watchdog watchdog;
        watchdog.start();
        // A failing check returns early; the watchdog must still be stopped.
        const auto stop = qScopeGuard([&watchdog] {
            watchdog.done.storeRelaxed(1);
            watchdog.wait();
        });
        for (int i = 0; i < kCycles; ++i) {
            watchdog.progress.storeRelaxed(i);
            const auto ending = Ending(i % 3);
            Broadcaster::clearCalls();
            auto model = std::make_unique<MeetingModel>(callRecord(), &account);
            model->setDevices(QString(), QString(), QString());
            model->createCall(true, false);
            Broadcaster *engine = Broadcaster::last();
            QVERIFY(engine);
            QVERIFY(model->engineThread()->isRunning());
            if (settle) {
                engine->sync();
                QCOMPARE(Broadcaster::calls(QStringLiteral("createCall")).size(), 1);
            }
            switch (ending) {
            case Ending::OwnLeave:
                engine->emitFromOwnThread([](Broadcaster *b) { emit b->sigNotifyLeave(100); });
                break;
            case Ending::CallEnded:
                engine->emitFromOwnThread(
                    [](Broadcaster *b) { emit b->sigNotifyStateChange(qtwebrtc::CALL_ENDED); });
                break;
            case Ending::Destruction:
                break;
            }
            if (ending == Ending::Destruction) {
                const QThread *thread = model->engineThread();
                QVERIFY(thread->isRunning());
                model.reset();
            } else {
                engine->sync();
                QTRY_VERIFY_WITH_TIMEOUT(!model->engineThread()->isRunning(), 10000);
                QVERIFY(!model->hasEngine());
            }
            testsupport::drainEvents();
            QTRY_COMPARE_WITH_TIMEOUT(Broadcaster::aliveCount(), 0, 10000);
            QVERIFY(Broadcaster::last() == nullptr);
        }
        qInfo("%d engine cycles, every engine deleted", kCycles);
    }
};

QTEST_MAIN(EngineStressTest)
#include "tst_enginestress.moc"
