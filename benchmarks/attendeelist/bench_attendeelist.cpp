// Costs of the attendee list at growing meeting sizes. Every figure is printed per attendee
// and as a multiple of a baseline measured in the same run at the same size: one walk over
// the rows that reads each live object once. A figure whose multiple stays flat as the size
// grows scales linearly.
#include "accountbase.h"
#include "meetingattendeelist.h"
#include "meetingattendeeuser.h"
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace MeetingDefines;

namespace {

constexpr qint64 kSelf = 1; // not among the attendees, so no row is reserved for self
constexpr qint64 kMinNs = 40'000'000;

// Mean nanoseconds of `op`; `setup` runs before each repetition and is not timed.
double measure(const std::function<void()> &op, const std::function<void()> &setup = {})
{
    qint64 spent = 0;
    int reps = 0;
    QElapsedTimer timer;
    while (reps < 3 || spent < kMinNs) {
        if (setup)
            setup();
        timer.start();
        op();
        spent += timer.nsecsElapsed();
        ++reps;
    }
    return double(spent) / reps;
}

// Half the attendees with video on, half off: active speakers, sorted.
QList<MeetingAttendee> serverSet(int n)
{
    QList<MeetingAttendee> list;
    for (int i = 0; i < n; ++i)
        list.append(MeetingAttendee(100 + i, 0, ACTIVE, 0, SPEAKER, false));
    return list;
}

void turnHalfVideoOn(MeetingAttendeeList &list)
{
    for (int i = 0; i < list.count() / 2; ++i)
        list.rows().at(i).user->setMute(0, 0, 1);
}

// One real move each time: the last row turns its video on and rises to the end of the
// video group, then the first row turns it off and sinks below that group.
void toggleOneRow(MeetingAttendeeList &list, bool &up)
{
    const MeetingAttendee &a = up ? list.rows().constLast() : list.rows().constFirst();
    list.updateAttendee(a.userId, 0, up ? 0 : 1, ACTIVE, SPEAKER, -1);
    up = !up;
}

// The same change, repaired by a full sort instead of a move.
void toggleAndSort(MeetingAttendeeList &list, bool &up)
{
    const MeetingAttendee &a = up ? list.rows().constLast() : list.rows().constFirst();
    a.user->setMute(up ? 0 : 1, 0, 1);
    list.sortAttendee();
    up = !up;
}

struct Row
{
    const char *name;
    double ns;
};

void print(int n, double baseline, const QList<Row> &rows)
{
    std::printf("\n%d attendees (baseline %.1f ns per attendee)\n", n, baseline / n);
    std::printf("  %-34s %14s %16s %12s\n", "operation", "us per call", "ns per attendee",
                "x baseline");
    for (const Row &r : rows)
        std::printf("  %-34s %14.1f %16.2f %12.1f\n", r.name, r.ns / 1000.0, r.ns / n,
                    r.ns / baseline);
}

void runSize(AccountBase &account, int n)
{
    const QList<MeetingAttendee> set = serverSet(n);
    MeetingAttendeeList owner(&account, nullptr);
    owner.setUserId(kSelf);
    bool added = false;
    owner.initAttendees(set, added);
    turnHalfVideoOn(owner);

    const double baseline = measure([&] {
        int on = 0;
        for (const MeetingAttendee &a : owner.rows())
            on += a.user->muteVideo() == 0;
        asm volatile("" : : "g"(on) : "memory"); // keep the walk
    });

    std::unique_ptr<MeetingAttendeeList> fresh;
    const double firstFill =
        measure([&] { fresh->initAttendees(set, added); },
                [&] {
                    fresh = std::make_unique<MeetingAttendeeList>(&account, nullptr);
                    fresh->setUserId(kSelf);
                });
    fresh.reset();
    const double reapply = measure([&] { owner.initAttendees(set, added); });

    MeetingAttendeeList derived(&account, nullptr);
    const QList<MeetingAttendee> rows = owner.rows();
    QList<MeetingAttendee> reversed = rows;
    std::reverse(reversed.begin(), reversed.end());
    QList<MeetingAttendee> oneLess = rows;
    oneLess.removeAt(n / 2);
    derived.setDifferentAttendees(rows);
    const double unchanged = measure([&] { derived.setDifferentAttendees(rows); });
    bool flip = false;
    const double reverse =
        measure([&] { derived.setDifferentAttendees((flip = !flip) ? reversed : rows); });
    derived.setDifferentAttendees(rows);
    const double oneRow =
        measure([&] { derived.setDifferentAttendees((flip = !flip) ? oneLess : rows); });

    bool up = true;
    const double move = measure([&] { toggleOneRow(owner, up); });
    const double sort = measure([&] { toggleAndSort(owner, up); });

    print(n, baseline,
          {{"initAttendees, first fill", firstFill},
           {"initAttendees, same set again", reapply},
           {"setDifferentAttendees, unchanged", unchanged},
           {"setDifferentAttendees, reversed", reverse},
           {"setDifferentAttendees, one row", oneRow},
           {"updateAttendee moving one row", move},
           {"sortAttendee after one change", sort}});
    std::printf("  one-row move / full sort: %.3f\n", move / sort);
}

// What a bound view pays: the same two repairs with a ListView whose delegates all exist.
void runWithView(AccountBase &account, int n)
{
    MeetingAttendeeList list(&account, nullptr);
    list.setUserId(kSelf);
    bool added = false;
    list.initAttendees(serverSet(n), added);
    turnHalfVideoOn(list);

    QQmlEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("attendees"), &list);
    QQmlComponent component(&engine);
    component.setData(QByteArrayLiteral(R"(
        import QtQuick
        ListView {
            width: 200; height: count * 10; cacheBuffer: 0
            model: attendees
            delegate: Text {
                height: 10
                text: user ? user.state + " " + user.participationStatus + " " + user.muteVideo
                           : ""
            }
        })"),
                      QUrl());
    std::unique_ptr<QObject> view(component.create());
    if (!view) {
        std::printf("\nview: %s\n", qPrintable(component.errorString()));
        return;
    }
    const auto layout = [&view] {
        QMetaObject::invokeMethod(view.get(), "forceLayout");
    };
    layout();
    const auto *content = view->property("contentItem").value<QQuickItem *>();
    bool up = true;
    const double move = measure([&] {
        toggleOneRow(list, up);
        layout();
    });
    const double sort = measure([&] {
        toggleAndSort(list, up);
        layout();
    });
    const double bare = measure([&] { toggleOneRow(list, up); });
    std::printf("\n%d attendees in a ListView (%lld delegates)\n", n,
                qlonglong(content ? content->childItems().size() : 0));
    std::printf("  one-row move with the view:  %10.1f us  (%.1f x the move without it)\n",
                move / 1000.0, move / bare);
    std::printf("  full sort with the view:     %10.1f us\n", sort / 1000.0);
    std::printf("  one-row move / full sort:    %10.4f\n", move / sort);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    AccountBase account(kSelf, 1);
    for (int n : {10, 100, 1000, 5000})
        runSize(account, n);
    runWithView(account, 1000);
    return 0;
}
