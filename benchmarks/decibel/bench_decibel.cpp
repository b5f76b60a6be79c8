// Cost of one engine decibel report, as a multiple of the transport every report pays anyway:
// a queued signal delivered to an empty slot, measured in the same run.
#include "accountbase.h"
#include "broadcaster.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include "meetingmodel.h"
#include <QElapsedTimer>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

class Relay : public QObject
{
    Q_OBJECT
signals:
    void report(qint64 uid, int consumerType, double averageDecibel, double peakDecibel,
                QVariantList decibels);
};

class EmptySink : public QObject
{
    Q_OBJECT
public slots:
    void onReport(qint64, int, double, double, QVariantList) {}
};

constexpr int kReports = 20000;
constexpr int kRounds = 7;

// Every attendee in turn; whole passes alternate loud and quiet so speakers come and go.
qint64 runRound(Relay &relay, const QList<qint64> &uids, const QList<QVariantList> &levels)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kReports; ++i) {
        const qsizetype n = uids.size();
        const double peak = (i / n) % 2 ? 30.0 + i % 7 : 10.0 + i % 7;
        emit relay.report(uids[i % n], qtwebrtc::CONSUMER_VIDEO, peak / 2, peak,
                          levels[i % levels.size()]);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    return timer.nsecsElapsed();
}

double perReport(qint64 bestNs)
{
    return double(bestNs) / kReports;
}

void measure(int attendees)
{
    AccountBase account(1, 1);
    MeetingInfo info;
    info.meetingId = QStringLiteral("bench");
    info.dialogId = QStringLiteral("bench");
    QList<qint64> uids;
    for (int i = 0; i < attendees; ++i) {
        const qint64 uid = 1 + i;
        uids.append(uid);
        account.userManager()->addContact(uid, QStringLiteral("User %1").arg(uid));
        info.attendees.append(
            MeetingAttendee(uid, 1, MeetingDefines::ACTIVE, 1, MeetingDefines::SPEAKER, false));
    }
    MeetingModel model(info, &account);
    model.setDevices(QString(), QString(), QString());
    QList<QVariantList> levels;
    for (int i = 0; i < 16; ++i)
        levels.append(QVariantList{i, i + 1, i + 2, i + 3, i + 4, i + 5, i + 6, i + 7});

    Relay toModel, toSink;
    EmptySink sink;
    QObject::connect(&toModel, SIGNAL(report(qint64, int, double, double, QVariantList)), &model,
                     SLOT(notifyDecibel(qlonglong, int, double, double, QVariantList)),
                     Qt::QueuedConnection);
    QObject::connect(&toSink, &Relay::report, &sink, &EmptySink::onReport, Qt::QueuedConnection);

    qint64 floorNs = std::numeric_limits<qint64>::max();
    qint64 handlerNs = floorNs;
    for (int round = 0; round < kRounds; ++round) {
        floorNs = std::min(floorNs, runRound(toSink, uids, levels));
        handlerNs = std::min(handlerNs, runRound(toModel, uids, levels));
    }
    const auto *first = qobject_cast<MeetingAttendeeUser *>(
        model.attendeeList()->getAttendeeInfoByUid(uids.first()));
    if (!first || first->decibel() == 0.0)
        qFatal("the reports never reached the model");
    std::printf("%10d %14.1f %16.1f %8.2f\n", attendees, perReport(floorNs), perReport(handlerNs),
                double(handlerNs) / double(floorNs));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::printf("decibel report: handler vs queued delivery to an empty slot (best of %d)\n",
                kRounds);
    std::printf("%10s %14s %16s %8s\n", "attendees", "floor ns/rep", "handler ns/rep", "ratio");
    for (int attendees : {16, 100, 1000})
        measure(attendees);
    return 0;
}

#include "bench_decibel.moc"
