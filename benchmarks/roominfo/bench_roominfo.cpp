// Applying the engine's room information, against parsing the same text with nlohmann alone.
#include "accountbase.h"
#include "meetingmodel.h"
#include "meetingmodel_p.h"
#include "roominfo.h"
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace {
void apply(MeetingModel &model, const QByteArray &text)
{
    MeetingModelPrivate::get(&model)->parseRoomInfo(text);
}

constexpr qint64 kSelf = 1001;

// The own entry and n - 1 others with varied states; every tenth shares its screen.
QByteArray roomWith(int n)
{
    QByteArrayList entries;
    for (int i = 0; i < n; ++i) {
        const qint64 id = i == 0 ? kSelf : 5000 + i;
        QByteArray e = "{\"id\":" + QByteArray::number(id) + ",\"inviter\":1001,\"status\":\"" +
                       (i % 7 == 3 ? "CALLING" : "ACTIVE") + "\",\"role\":\"" +
                       (i % 3 ? "listener" : "speaker") +
                       "\",\"raiseHand\":" + (i % 11 == 5 ? "1" : "0") +
                       ",\"invitingSpeak\":0,\"score\":" + QByteArray::number(i % 5) +
                       ",\"mute\":{\"audio\":" + QByteArray::number(i % 2) +
                       ",\"video\":" + QByteArray::number(i % 4 ? 1 : 0) + ",\"screen\":0}";
        if (i % 10 == 9)
            e += ",\"share\":[{\"type\":\"screen\",\"id\":\"s" + QByteArray::number(i) + "\"}]";
        entries << e + "}";
    }
    return "{\"muteAll\":{\"themselves_operation_audio\":true,\"themselves_operation_video\":true,"
           "\"audio\":false,\"video\":false},\"permissions\":{\"whoCanShare\":\"all\"},"
           "\"attendees\":[" +
           entries.join(',') + "]}";
}

MeetingInfo meeting()
{
    MeetingInfo info;
    info.meetingId = QStringLiteral("bench");
    info.dialogId = QStringLiteral("d");
    return info;
}

volatile std::size_t g_sink = 0;

template <typename F> double nsPerRun(int runs, F &&run)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        run();
    return double(timer.nsecsElapsed()) / runs;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    AccountBase account(kSelf, 7);

    std::printf("room information: time per apply as a multiple of parsing the text with nlohmann "
                "alone;\nper attendee: cost of one attendee as a multiple of its cost at 1000\n"
                "%6s %14s %10s %10s %10s %12s %12s\n",
                "size", "nlohmann (us)", "validate", "first", "re-apply", "first/att", "again/att");
    double firstPerAttendee1000 = 0, againPerAttendee1000 = 0;
    for (int n : {16, 100, 1000, 10000, 50000}) {
        const QByteArray text = roomWith(n);
        const int runs = n < 1000 ? 300 : n <= 1000 ? 30 : n <= 10000 ? 5 : 2;
        const auto nlohmannOnly = [&] {
            g_sink =
                g_sink + nlohmann::json::parse(text.cbegin(), text.cend(), nullptr, false).size();
        };
        const auto validate = [&] {
            g_sink = g_sink + RoomInfo::parse(text)->attendees.size();
        };
        nsPerRun(runs / 10 + 1, nlohmannOnly); // warm up
        const double base = nsPerRun(runs, nlohmannOnly);
        const double checked = nsPerRun(runs, validate);

        qint64 firstNs = 0;
        for (int i = 0; i < runs; ++i) {
            MeetingModel model(meeting(), &account);
            QElapsedTimer timer;
            timer.start();
            apply(model, text);
            firstNs += timer.nsecsElapsed();
        }
        MeetingModel model(meeting(), &account);
        apply(model, text);
        const double again = nsPerRun(runs, [&] { apply(model, text); });

        // Per attendee, against the same figure at 1000: flat means linear.
        const double firstPerAttendee = double(firstNs) / runs / n;
        const double againPerAttendee = again / n;
        if (n == 1000) {
            firstPerAttendee1000 = firstPerAttendee;
            againPerAttendee1000 = againPerAttendee;
        }
        std::printf("%6d %14.1f %9.2fx %9.2fx %9.2fx", n, base / 1000, checked / base,
                    double(firstNs) / runs / base, again / base);
        if (n >= 1000)
            std::printf(" %11.2fx %11.2fx\n", firstPerAttendee / firstPerAttendee1000,
                        againPerAttendee / againPerAttendee1000);
        else
            std::printf(" %12s %12s\n", "-", "-");
        std::fflush(stdout);
    }
    return 0;
}
