#include "mediaroom.h"
#include <accountbase.h>
#include <broadcaster.h>
#include <im.pb.h>
#include <meeting.pb.h>
#include <optional>

using qtwebrtc::Broadcaster;

namespace {

constexpr int kJoinMeeting = 234;

// The room as the media server describes it: the host shares a screen and one attendee's
// microphone is off.
QByteArray roomInfo(qint64 me)
{
    return QStringLiteral(
               R"({"attendees":[)"
               R"({"id":200,"inviter":200,"status":"ACTIVE","role":"speaker","raiseHand":0,)"
               R"("invitingSpeak":0,"host":true,"share":[{"type":"screen","id":"screen-1"}]},)"
               R"({"id":300,"inviter":200,"status":"ACTIVE","role":"speaker","raiseHand":0,)"
               R"("invitingSpeak":0,"mute":{"audio":1,"video":1}},)"
               R"({"id":%1,"inviter":200,"status":"ACTIVE","role":"speaker","raiseHand":0,)"
               R"("invitingSpeak":0}]})")
        .arg(me)
        .toUtf8();
}

std::optional<AccountBase::Answer> answerJoin(const QByteArray &payload, qint64 me)
{
    im::meeting::JoinMeetingReq req;
    if (!req.ParseFromArray(payload.constData(), int(payload.size())))
        return AccountBase::Answer{400, {}, 0};
    im::meeting::JoinMeetingResp resp;
    resp.set_media_server_url("wss://127.0.0.1:4443/room/?token=example");
    im::Meeting *meeting = resp.mutable_meeting();
    meeting->set_id(req.meeting_id());
    meeting->set_dialog_id("team-chat");
    meeting->set_name("Daily stand-up");
    meeting->set_version(2);
    for (qint64 uid : {qint64(200), qint64(300), me}) {
        im::MeetingAttendeeEntry *entry = meeting->add_attendees();
        entry->set_user_id(uid);
        entry->set_inviter_id(200);
        entry->set_status(uid == me ? 1 : 3);
    }
    return AccountBase::Answer{0, QByteArray::fromStdString(resp.SerializeAsString()), 20};
}

// Runs on the engine's thread, as a real engine's reports would start.
void playEngine(Broadcaster *engine, const Broadcaster::Call &call)
{
    const qint64 me = engine->userId();
    if (call.name == QLatin1String("createCall")) {
        emit engine->sigNotifyReady(me, roomInfo(me));
        emit engine->sigNotifyJoin(me, 200, roomInfo(me));
        emit engine->sigNotifyStateChange(qtwebrtc::CALL_CONNECTED);
        emit engine->sigNotifyDecibel(200, qtwebrtc::CONSUMER_VIDEO, 30.0, 42.0, {});
    } else if (call.name == QLatin1String("leave")) {
        emit engine->sigNotifyLeave(me);
    }
}

} // namespace

MediaRoom::MediaRoom(AccountBase *account) : m_account(account)
{
    const qint64 me = account->accountId();
    account->setServer([me](int commandId, const QByteArray &payload) {
        return commandId == kJoinMeeting ? answerJoin(payload, me)
                                         : std::optional<AccountBase::Answer>();
    });
    Broadcaster::setHook(&playEngine);
}

MediaRoom::~MediaRoom()
{
    Broadcaster::setHook({});
    m_account->setServer({});
}

int MediaRoom::callsStarted()
{
    return int(Broadcaster::calls(QStringLiteral("createCall")).size());
}
