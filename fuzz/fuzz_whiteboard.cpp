// Whiteboard messages, received from the engine and handed to it.
#include "accountbase.h"
#include "broadcaster.h"
#include "fuzzcommon.h"
#include "meetingmodel.h"
#include "whiteboard.pb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    AccountBase *account = fuzz::account();
    if (size == 0)
        return 0;
    qtwebrtc::Broadcaster::clearCalls();
    MeetingInfo info;
    info.meetingId = QStringLiteral("m-wb");
    MeetingModel model(info, account);
    QObject::connect(&model, &MeetingModel::sigRecvData,
                     [](im::whiteboard::TransferData *d, const QString &) { delete d; });
    QObject::connect(&model, &MeetingModel::sigRecvUserJoinData,
                     [](im::whiteboard::TransferData *d, const QString &) { delete d; });
    if (data[0] & 1)
        model.setDevices(QString(), QString(), QString());
    QMetaObject::invokeMethod(&model, "notifyCreateShare", Qt::DirectConnection,
                              Q_ARG(qlonglong, 200), Q_ARG(QString, QStringLiteral("wb-1")),
                              Q_ARG(int, 1));

    auto *in = new im::whiteboard::TransferData;
    if (!in->ParseFromArray(data + 1, int(size - 1))) {
        delete in;
        return 0;
    }
    auto *out = new im::whiteboard::TransferData(*in);
    QMetaObject::invokeMethod(&model, "recvData", Qt::DirectConnection,
                              Q_ARG(im::whiteboard::TransferData *, in));
    model.sendData(out, QStringLiteral("wb-1"));
    model.sendUserAction(data[0] & 2, QStringLiteral("wb-1"));
    fuzz::drain();
    return 0;
}
