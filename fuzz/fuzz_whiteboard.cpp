// Whiteboard traffic for several share ids: shares opening and closing, messages received from
// the engine and handed to it. Input: records of an operation byte, and for the two that carry
// a message, a length byte and that many bytes of a serialised transfer message.
#include "fuzzcommon.h"
#include "meetingmodel.h"
#include "roomfixture.h"
#include "whiteboard.pb.h"

namespace {

constexpr qlonglong kUsers[] = {fuzz::RoomFixture::kSelf, 200, 300, 400};
const QString kShareIds[] = {QStringLiteral("wb-1"), QStringLiteral("wb-2"), QStringLiteral("wb-3"),
                             QString()};

class Reader
{
public:
    Reader(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    int byte() { return atEnd() ? 0 : m_data[m_pos++]; }
    // Null when the bytes are not a transfer message.
    im::whiteboard::TransferData *message()
    {
        const size_t length = std::min<size_t>(size_t(byte()), m_size - m_pos);
        auto *out = new im::whiteboard::TransferData;
        const bool ok = out->ParseFromArray(m_data + m_pos, int(length));
        m_pos += length;
        if (ok)
            return out;
        delete out;
        return nullptr;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// The low three bits pick the operation, the others its share id, user and flag.
void operate(MeetingModel *m, int code, Reader &in)
{
    const QString &id = kShareIds[(code >> 3) & 3];
    const qlonglong uid = kUsers[(code >> 5) & 3];
    const bool flag = code & 0x80;
    switch ((code & 7) % 6) {
    case 0:
        return fuzz::call(m, "notifyCreateShare", Q_ARG(qlonglong, uid), Q_ARG(QString, id),
                          Q_ARG(int, 1));
    case 1:
        return fuzz::call(m, "notifyCloseShare", Q_ARG(qlonglong, uid), Q_ARG(QString, id));
    case 2:
        if (im::whiteboard::TransferData *d = in.message()) {
            if (flag)
                d->set_share_id(id.toStdString());
            fuzz::call(m, "recvData", Q_ARG(im::whiteboard::TransferData *, d));
        }
        return;
    case 3:
        if (im::whiteboard::TransferData *d = in.message())
            m->sendData(d, id);
        return;
    case 4:
        return m->sendUserAction(flag, id);
    default:
        return fuzz::call(m, "notifySetAllowDraw", Q_ARG(qlonglong, uid), Q_ARG(QString, id),
                          Q_ARG(bool, flag));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::RoomFixture &fixture = fuzz::room();
    if (size == 0)
        return 0;
    fixture.reset();
    Reader in(data, size);
    while (!in.atEnd()) {
        operate(fixture.model(), in.byte(), in);
        fixture.check("a whiteboard operation");
    }
    fuzz::drain();
    fixture.check("the posted events", true);
    return 0;
}
