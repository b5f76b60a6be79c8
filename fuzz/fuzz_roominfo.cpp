// Sequences of engine reports carrying room information, against one model whose lists are
// checked after every report. Input: a count byte, one code byte per report, then the room
// information texts, separated by NUL bytes and used in turn.
#include "fuzzcommon.h"
#include "meetingmodel.h"
#include "roomfixture.h"

namespace {

constexpr int kMaxReports = 8;
constexpr qlonglong kUsers[] = {fuzz::RoomFixture::kSelf, 200, 300, 400};

class Rooms
{
public:
    explicit Rooms(const QByteArray &text) : m_texts(text.split('\0')) {}
    QByteArray next() { return m_texts.at(m_next++ % m_texts.size()); }

private:
    QList<QByteArray> m_texts;
    int m_next = 0;
};

// Unique per user and kind, as the media server makes them.
QString shareId(qlonglong uid, int code)
{
    return QStringLiteral("%1%2-%3")
        .arg(code & 0x40 ? QLatin1Char('w') : QLatin1Char('s'))
        .arg(uid)
        .arg(code >> 7);
}

// The low nibble picks the report, the upper bits its user and flags.
const char *report(MeetingModel *m, int code, Rooms &rooms)
{
    const qlonglong uid = kUsers[(code >> 4) & 3];
    const qlonglong host = kUsers[(code >> 5) & 3];
    const bool flag = code & 0x80;
    switch ((code & 0xf) % 9) {
    case 0:
        fuzz::call(m, "notifyJoin", Q_ARG(qlonglong, fuzz::RoomFixture::kSelf),
                   Q_ARG(qlonglong, host), Q_ARG(QByteArray, rooms.next()));
        return "own join";
    case 1:
        fuzz::call(m, "notifyJoin", Q_ARG(qlonglong, uid), Q_ARG(qlonglong, host),
                   Q_ARG(QByteArray, rooms.next()));
        return "join";
    case 2:
        fuzz::call(m, "notifyReconnect", Q_ARG(qlonglong, uid), Q_ARG(qlonglong, host),
                   Q_ARG(QByteArray, rooms.next()));
        return "reconnect";
    case 3:
        fuzz::call(m, "notifyReady", Q_ARG(qlonglong, uid), Q_ARG(QByteArray, rooms.next()));
        return "ready";
    case 4:
        fuzz::call(m, "notifyCreateShare", Q_ARG(qlonglong, uid),
                   Q_ARG(QString, shareId(uid, code)), Q_ARG(int, code & 0x40 ? 1 : 2));
        return "share create";
    case 5:
        fuzz::call(m, "notifyCloseShare", Q_ARG(qlonglong, uid),
                   Q_ARG(QString, shareId(uid, code)));
        return "share close";
    case 6:
        fuzz::call(m, "onNotifyRoleChange", Q_ARG(qlonglong, uid),
                   Q_ARG(QString, flag ? QStringLiteral("listener") : QStringLiteral("speaker")),
                   Q_ARG(QByteArray, rooms.next()));
        return "role change";
    case 7:
        fuzz::call(m, "notifySharePremission",
                   Q_ARG(QString, flag ? QStringLiteral("host") : QStringLiteral("all")),
                   Q_ARG(bool, code & 0x40), Q_ARG(QByteArray, rooms.next()));
        return "share permission";
    default:
        fuzz::call(m, "notifyLeave", Q_ARG(qlonglong, uid));
        return "leave";
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::RoomFixture &fixture = fuzz::room();
    if (size < 2)
        return 0;
    const size_t count = data[0] % kMaxReports + 1;
    if (size < 1 + count)
        return 0;
    Rooms rooms(fuzz::bytes(data + 1 + count, size - 1 - count));
    fixture.reset();
    for (size_t i = 0; i < count; ++i)
        fixture.check(report(fixture.model(), data[1 + i], rooms));
    fuzz::drain();
    fixture.check("the posted events", true);
    return 0;
}
