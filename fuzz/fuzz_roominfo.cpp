// Room information from the engine, through every handler that reads it.
#include "accountbase.h"
#include "broadcaster.h"
#include "fuzzcommon.h"
#include "meetingmodel.h"

namespace {
MeetingInfo baseInfo()
{
    MeetingInfo info;
    info.meetingId = QStringLiteral("m-fuzz");
    info.dialogId = QStringLiteral("d-fuzz");
    info.meetingKey = QByteArray(32, 'k');
    info.attendees = {MeetingAttendee(100, 1, 3, 0, 0, true), MeetingAttendee(200, 0, 3, 100, 0, true),
                      MeetingAttendee(300, 0, 1, 100, 1, true)};
    return info;
}

void call(MeetingModel *m, const char *slot, QGenericArgument a, QGenericArgument b = {},
          QGenericArgument c = {})
{
    QMetaObject::invokeMethod(m, slot, Qt::DirectConnection, a, b, c);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    AccountBase *account = fuzz::account();
    if (size == 0)
        return 0;
    const int pick = data[0];
    const QByteArray room = fuzz::bytes(data + 1, size - 1);
    const qlonglong self = 100, other = 200, host = 100;
    qtwebrtc::Broadcaster::clearCalls();
    {
        MeetingModel model(baseInfo(), account);
        if (pick & 1)
            model.setDevices(QString(), QString(), QString());
        call(&model, "notifyJoin", Q_ARG(qlonglong, self), Q_ARG(qlonglong, host),
             Q_ARG(QByteArray, room));
        call(&model, "notifyJoin", Q_ARG(qlonglong, other), Q_ARG(qlonglong, host),
             Q_ARG(QByteArray, room));
        call(&model, "notifyReady", Q_ARG(qlonglong, (pick & 2) ? self : other),
             Q_ARG(QByteArray, room));
        call(&model, "notifyReconnect", Q_ARG(qlonglong, (pick & 4) ? self : other),
             Q_ARG(qlonglong, host), Q_ARG(QByteArray, room));
        call(&model, "onNotifyRoleChange", Q_ARG(qlonglong, (pick & 8) ? self : other),
             Q_ARG(QString, (pick & 16) ? QStringLiteral("speaker") : QStringLiteral("listener")),
             Q_ARG(QByteArray, room));
        call(&model, "notifySharePremission",
             Q_ARG(QString, (pick & 32) ? QStringLiteral("host") : QStringLiteral("all")),
             Q_ARG(bool, pick & 64), Q_ARG(QByteArray, room));
        fuzz::drain();
    }
    fuzz::drain();
    return 0;
}
